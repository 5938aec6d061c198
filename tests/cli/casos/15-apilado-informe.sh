# A stack aligned by a register report: the same bytes as a stack that registers the frames
# itself; frames the report leaves unregistered or does not name are reported and left out;
# a report without its columns or with a bad matrix writes nothing.
orva apply m51_iraf_devpix.fits movida.fits -e "DESPLAZA 12 -7 0"
orva apply m51_iraf_devpix.fits girada.fits -e "ROTAR 30"
orva register m51_iraf_devpix.fits movida.fits eyuma_r90s_cutout.fits girada.fits --csv informe.csv > /dev/null 2>&1
orva stack m51_iraf_devpix.fits movida.fits girada.fits -o estrellas.fits --align stars --method mean > /dev/null 2>&1
orva stack m51_iraf_devpix.fits movida.fits girada.fits eyuma_r90s_cutout.fits -o informe.fits --transforms informe.csv --method mean
cmp estrellas.fits informe.fits && cmp estrellas.fits.dat informe.fits.dat && echo "same stack"
# Names are matched as files: another spelling of the same path is found (the same pixels; the
# record names the files as given).
orva stack ./m51_iraf_devpix.fits ./movida.fits ../"$(basename "$PWD")"/girada.fits -o otra.fits --transforms informe.csv --method mean
estadistica() { orva info "$1" | grep -E '^(MINIMO|MAXIMO|MEDIA|DESVIACION|MODA|NUMMODA)='; }
diff <(estadistica estrellas.fits) <(estadistica otra.fits) && echo "same pixels"
# A quoted name (a comma in it) is read back whole.
cp movida.fits 'con,coma.fits'
orva register m51_iraf_devpix.fits 'con,coma.fits' --csv comillas.csv > /dev/null 2>&1
orva stack m51_iraf_devpix.fits 'con,coma.fits' -o comillas.fits --transforms comillas.csv --method mean
# A frame the report does not name (not the first: that one is the reference).
cp movida.fits otra_movida.fits
orva stack m51_iraf_devpix.fits otra_movida.fits movida.fits -o falta.fits --transforms informe.csv
orva info falta.fits | grep -E '^TIEMPOEXP='
# Malformed reports and options that clash.
printf 'file,status\nmovida.fits,ok\n' > sin_matriz.csv
orva stack m51_iraf_devpix.fits movida.fits -o mal.fits --transforms sin_matriz.csv
sed 's/,ok,\([0-9]*\),\([^,]*\),\([^,]*\),\([^,]*\),\([^,]*\),\([^,]*\),[^,]*,/,ok,\1,\2,\3,\4,\5,\6,1 0 x 0 1 0 0 0 1,/' informe.csv > matriz_mala.csv
orva stack m51_iraf_devpix.fits movida.fits -o mal.fits --transforms matriz_mala.csv
orva stack m51_iraf_devpix.fits movida.fits -o mal.fits --transforms falta.csv
orva stack m51_iraf_devpix.fits movida.fits -o mal.fits --transforms informe.csv --align stars
orva stack m51_iraf_devpix.fits movida.fits -o informe.csv --transforms informe.csv
ls mal.fits 2>&1 | sed 's/.*: //'
