# Safe writing: through a symbolic link the target is written and the link kept; a path that is
# no regular file is refused and left alone; a missing folder is named; output that cannot be
# written is an error.
mkdir destino
orva convert m51_iraf_devpix.fits destino/real.fits
ln -s destino/real.fits enlace.fits
orva convert eyuma_r90s_cutout.fits enlace.fits
[ -L enlace.fits ] && echo link kept
orva info destino/real.fits | grep -e ^ANCHO -e ^NOMOBJ
ls enlace.fits.dat 2>&1 | sed "s/.*: //"
ls destino
ln -s destino/nuevo.fits colgante.fits
orva convert eyuma_r90s_cutout.fits colgante.fits
[ -L colgante.fits ] && [ -f destino/nuevo.fits ] && echo dangling link filled
orva convert eyuma_r90s_cutout.fits /dev/null --type FITS
[ -c /dev/null ] && echo /dev/null still a device
orva convert eyuma_r90s_cutout.fits destino --type FITS
mkfifo tubo.fits
orva convert eyuma_r90s_cutout.fits tubo.fits
[ -p tubo.fits ] && echo fifo kept
orva convert eyuma_r90s_cutout.fits no_hay/x.fits
orva convert eyuma_r90s_cutout.fits m51_iraf_devpix.fits/x.fits
"$ORVA" info m51_iraf_devpix.fits > /dev/full; echo "[exit $?]"
"$ORVA" detect m51_iraf_devpix.fits > /dev/full; echo "[exit $?]"
"$ORVA" stars --csv m51_iraf_devpix.fits > /dev/full; echo "[exit $?]"
