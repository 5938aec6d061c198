# FITS out keeps what FITS in held: unsigned values come back through the mapping, the cards
# ORVA does not map survive, the WCS follows a crop, each line leaves its HISTORY card, and a
# header without observation fields gains none.
orva --set TipoArch_FITS.LEEVALUNSIG=2 apply eyuma_r90s_cutout.fits recorte.fits \
  -e 'CORTAR 10 20 50 40' -e 'ZOOM AUMENTA 2'
orva --set TipoArch_FITS.LEEVALUNSIG=2 info recorte.fits | grep -E '^(ANCHO|ALTO|MINIMO|MAXIMO)='
cabecera() { head -c 28800 "$1" | fold -w 80 | sed -n '/^END *$/q;p' | sed 's/ *$//'; }
cabecera recorte.fits | grep -E '^(BZERO|BSCALE|CRPIX|BIASSEC|HISTORY ORVA)|ZOOM'
printf 'SIMPLE  =                    T%50s' '' > vacio.fits
printf 'BITPIX  =                   16%50s' '' >> vacio.fits
printf 'NAXIS   =                    2%50s' '' >> vacio.fits
printf 'NAXIS1  =                    2%50s' '' >> vacio.fits
printf 'NAXIS2  =                    2%50s' '' >> vacio.fits
printf 'END%77s' '' >> vacio.fits
head -c 2480 /dev/zero | tr '\0' ' ' >> vacio.fits
head -c 2880 /dev/zero >> vacio.fits
orva convert vacio.fits copia.fits
cabecera copia.fits
