# Registration: frames made from a real one by a shift and a rotation are registered back on it
# and written onto its grid; a frame of another field fails with its reason while the others are
# done; outputs never replace an input or the reference.
orva apply m51_iraf_devpix.fits movida.fits -e "DESPLAZA 12 -7 0"
orva apply m51_iraf_devpix.fits girada.fits -e "ROTAR 30"
mkdir alineadas
orva register m51_iraf_devpix.fits movida.fits eyuma_r90s_cutout.fits girada.fits -o alineadas --csv informe.csv
cat informe.csv
orva info alineadas/girada.fits | grep -E '^(ANCHO|ALTO)='
orva register --affine m51_iraf_devpix.fits movida.fits
orva register --method tass m51_iraf_devpix.fits girada.fits
# The recorded point transform line takes the shifted frame back onto the original's grid.
orva apply movida.fits vuelta.fits -e "TRANSGENERAL 1 0 12 0 1 -7 0 0 512 512"
orva register m51_iraf_devpix.fits vuelta.fits
orva apply movida.fits mal.fits -e "TRANSGENERAL 1 0 12 0 1 -7 0 0 512"
orva register m51_iraf_devpix.fits movida.fits -o .
orva register m51_iraf_devpix.fits alineadas/movida.fits -o alineadas
orva register m51_iraf_devpix.fits movida.fits --method otro
orva register m51_iraf_devpix.fits
# A stack aligned by the stars: the frame of another field is reported and left out.
orva stack m51_iraf_devpix.fits movida.fits girada.fits eyuma_r90s_cutout.fits -o apilada.fits --align stars --method mean
orva info apilada.fits | grep -E '^(ANCHO|ALTO|TIEMPOEXP)='
