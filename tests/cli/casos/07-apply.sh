# apply: lines and macro files in order; a failing line writes nothing.
printf 'ORVA V2.0 MACRO\r\nZOOM A 2\r\nMOSTRAR HISTO\r\n' > vista.orv
orva apply m51_iraf_devpix.fits salida.qor -e INVERTIR -m vista.orv
orva info salida.qor | grep -E '^(ANCHO|MINIMO|MAXIMO)='
orva apply m51_iraf_devpix.fits mal.qor -e INVERTIR -e "USAR 9"
ls mal.qor 2>&1 | sed 's/.*: //'
orva apply m51_iraf_devpix.fits mal.qor -m no_hay.orv
orva /D apply m51_iraf_devpix.fits copia.fits -e "COPIAR 1 2" -e "USAR 2" -e "USAR 1"
orva detect copia.fits
