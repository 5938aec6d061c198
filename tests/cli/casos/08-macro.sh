# Batch processing: every file read, processed and saved; a failing file is reported and the
# batch goes on; --type changes the written type and its extension.
printf 'ORVA V2.0 MACRO\r\nINVERTIR\r\n' > m.orv
mkdir sal
printf 'no image' > roto.fits
orva macro m.orv m51_iraf_devpix.fits roto.fits eyuma_r90s_cutout.fits -o sal
orva macro m.orv m51_iraf_devpix.fits -o sal --type QOR
ls sal
orva macro m.orv m51_iraf_devpix.fits -o no_dir
