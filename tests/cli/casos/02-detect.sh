# One line per file; a missing file is an error line and exit 1, the others still print.
printf 'ORVA DATOS\n' > lado.dat
printf 'GIF89a' > poco.gif
: > vacio.bin
orva detect m51_iraf_devpix.fits eyuma_r90s_cutout.fits lado.dat poco.gif vacio.bin
orva detect m51_iraf_devpix.fits no_existe.fits
