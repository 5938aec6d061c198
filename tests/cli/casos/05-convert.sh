# Conversions keep pixels and data: FITS -> QOR (and its side data file) -> FITS -> RICE_1 FITS.
orva convert m51_iraf_devpix.fits m51.qor
orva detect m51.qor m51.qor.dat
orva info m51.qor > qor.txt
orva convert m51.qor vuelta.fits
orva info vuelta.fits > fits.txt
orva --set TipoArch_FITS.COMPRIMIR=RICE_1 convert m51.qor comprimido.fz
orva info comprimido.fz > fz.txt
diff <(grep -v -e ^ARCHIVO -e ^TIPO -e ^CLAVETIPO qor.txt) <(grep -v -e ^ARCHIVO -e ^TIPO -e ^CLAVETIPO fits.txt) && echo qor=fits
diff <(grep -v -e ^ARCHIVO -e ^TIPO -e ^CLAVETIPO qor.txt) <(grep -v -e ^ARCHIVO -e ^TIPO -e ^CLAVETIPO fz.txt) && echo qor=fz
[ "$(stat -c %s comprimido.fz)" -lt "$(stat -c %s vuelta.fits)" ] && echo rice-smaller
orva --set TipoArch_FITS.COMPRIMIR=LZW convert m51.qor malo.fits
ls malo.fits 2>&1 | sed 's/.*: //'
