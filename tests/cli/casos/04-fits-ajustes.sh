# FITS settings from --set, "/C=" and --config: unsigned data halved (default), shifted, mapped.
orva info eyuma_r90s_cutout.fits | grep -E '^(MINIMO|MAXIMO)='
orva --set TipoArch_FITS.LEEVALUNSIG=2 info eyuma_r90s_cutout.fits | grep -E '^(MINIMO|MAXIMO)='
printf '[TipoArch_FITS]\nLEEVALUNSIG=0\n' > "$XDG_CONFIG_HOME/orva/CERO.INI"
orva /C=CERO.X info eyuma_r90s_cutout.fits | grep -E '^(MINIMO|MAXIMO)='
printf '[TipoArch_FITS]\nLEEVALUNSIG=2\n' > otro.ini
orva --config otro.ini info eyuma_r90s_cutout.fits | grep -E '^(MINIMO|MAXIMO)='
orva --config falta.ini info eyuma_r90s_cutout.fits
