# calibrate and stack on a synthetic night: masters from list files, lights pretreated, a
# sigma-clipped stack aligned by reference points, groups, and inputs that write nothing.
/usr/bin/python3 "$(dirname "$0")/../../../scripts/serie_sintetica.py" noche
cd noche
mkdir cal
for k in bias dark flat; do ls ${k}_*.fits > $k.txt; done
orva calibrate --bias @bias.txt --dark @dark.txt --flat @flat.txt light_0*.fits -o cal
orva info cal/flat.fits | grep -E '^(ANCHO|ALTO|MEDIA)='
orva info cal/dark.fits | grep -E '^TIEMPOEXP='
cd cal
orva stack light_*.fits -o apilada.fits --align ref --csv informe.csv --rejmap rechazos.fits
head -4 informe.csv
orva info apilada.fits | grep -E '^(TIEMPOEXP|FECHAOBS|MINIMO|MAXIMO)='
orva stack light_*.fits -o suma.fits --method sum --align ref --group 3
orva info suma_003.fits | grep -E '^TIEMPOEXP='
# The macro line does the same on one image as calibrate did.
orva apply ../light_01.fits una.fits -e "PRETRATAR BIAS bias.fits DARK dark.fits FLAT flat.fits"
orva info una.fits | grep -E '^(MINIMO|MAXIMO)='
orva info light_01.fits | grep -E '^(MINIMO|MAXIMO)='
orva apply ../light_01.fits una.fits -e "PRETRATAR BIAS"
# Sizes that differ, an empty list, a flat of negative mean, an output over an input.
orva stack light_01.fits ../../m51_iraf_devpix.fits -o mal.fits
: > vacia.txt
orva stack @vacia.txt -o mal.fits
mkdir neg
orva calibrate --bias ../dark_01.fits --flat @../bias.txt --masters neg
orva stack light_01.fits light_02.fits -o light_02.fits
ls mal.fits neg/* 2>&1 | sed 's/.*: //'
orva stack light_01.fits -o x.fits --method avg
