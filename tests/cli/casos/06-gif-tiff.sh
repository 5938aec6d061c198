# GIF is the palette image (no gray statistics); TIFF keeps 16-bit pixels.
orva convert m51_iraf_devpix.fits m51.gif
orva info m51.gif | grep -E '^(TIPO|CLAVETIPO|ANCHO|ALTO|BITS|PALETA|MINIMO)='
orva convert m51_iraf_devpix.fits m51.tif
orva info m51.tif | grep -E '^(TIPO|CLAVETIPO|BITS|PALETA|MINIMO|MAXIMO|MEDIA)='
orva convert m51_iraf_devpix.fits m51.out --type tiff
orva detect m51.out
