# The real frames: sizes, statistics, observation data, data-pane lines; JSON form.
orva info m51_iraf_devpix.fits
orva info --json eyuma_r90s_cutout.fits
