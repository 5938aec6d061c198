# Usage errors exit 2; --help and --version succeed.
orva --help
orva
orva render m51_iraf_devpix.fits out.png
orva stars
orva frobnicate
orva info
orva info m51_iraf_devpix.fits --bogus
orva convert m51_iraf_devpix.fits x.qor --type NOPE
orva --set BAD info m51_iraf_devpix.fits
