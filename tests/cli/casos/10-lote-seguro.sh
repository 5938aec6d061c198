# A batch never writes over its inputs unless --in-place is given, and two inputs never share one
# output; both are refused before any file is processed. The settings' extension change and
# --type take part in the names.
printf 'ORVA V2.0 MACRO\r\nDESPLAZA 3 4 -5\r\n' > m.orv
cksum m51_iraf_devpix.fits > antes.txt
orva macro m.orv m51_iraf_devpix.fits
orva macro m.orv eyuma_r90s_cutout.fits ./m51_iraf_devpix.fits
cksum m51_iraf_devpix.fits | cmp -s - antes.txt && echo unchanged
# The same file under another name: a symbolic link and a hard link in the output folder.
mkdir sal
ln -s ../m51_iraf_devpix.fits sal/m51_iraf_devpix.fits
orva macro m.orv m51_iraf_devpix.fits -o sal
rm sal/m51_iraf_devpix.fits
ln m51_iraf_devpix.fits sal/m51_iraf_devpix.fits
orva macro m.orv m51_iraf_devpix.fits -o sal
rm sal/m51_iraf_devpix.fits
cksum m51_iraf_devpix.fits | cmp -s - antes.txt && echo unchanged
# Two inputs, one output: the same name from two folders, the same file twice, and the
# extension change making two names coincide.
mkdir d1 d2
cp eyuma_r90s_cutout.fits d1/a.fits
cp eyuma_r90s_cutout.fits d2/a.fits
orva macro m.orv d1/a.fits d2/a.fits -o sal
orva macro m.orv m51_iraf_devpix.fits ./m51_iraf_devpix.fits -o sal
orva convert d1/a.fits d1/a.qor
orva macro m.orv d1/a.fits d1/a.qor -o sal --type QOR
orva --set Archivos.CAMBEXTEN=1 --set Archivos.EXTENTRAT=trt macro m.orv d1/a.fits d1/a.qor -o sal
ls sal | wc -l
# What the plan allows runs: the extension change, --type beside the input, --in-place.
orva --set Archivos.CAMBEXTEN=1 --set Archivos.EXTENTRAT=trt macro m.orv d1/a.fits
orva macro m.orv d2/a.fits --type QOR
orva macro m.orv m51_iraf_devpix.fits --in-place
cksum m51_iraf_devpix.fits | cmp -s - antes.txt || echo replaced
orva info m51_iraf_devpix.fits | grep -e ^MINIMO -e ^MAXIMO
ls d1 d2
# A macro file that does not exist is an error, not a batch of unchanged copies.
orva macro nada.orv d1/a.fits -o sal
# A missing input has nothing to lose: it is reported as that file's failure.
orva macro m.orv falta.fits d1/a.fits -o sal
