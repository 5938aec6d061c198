# Star detection, photometry at a point and a double-star measurement on the M51 frame; usage
# errors of the three commands.
orva stars --csv m51_iraf_devpix.fits
orva stars --method tass m51_iraf_devpix.fits | head -3
orva --set AnaVariables.VARVALSATUR=1000 phot m51_iraf_devpix.fits 464.9 61.1
orva phot m51_iraf_devpix.fits 464.9 61.1
orva double m51_iraf_devpix.fits --a 465,61 --b 441,409
orva double m51_iraf_devpix.fits --a 3,3 --b 441,409
orva stars --method foo m51_iraf_devpix.fits
orva phot m51_iraf_devpix.fits x 3
orva double m51_iraf_devpix.fits --a 465
