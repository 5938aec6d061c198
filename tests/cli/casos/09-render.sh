# The image as displayed: zoom by sampling, the PNG header with the zoomed sizes; the overlay of
# stars kept by stars --save.
orva render m51_iraf_devpix.fits m51.png
head -c 24 m51.png | od -An -tx1
orva render m51_iraf_devpix.fits m51_2.png --zoom 0.5
head -c 24 m51_2.png | od -An -tx1
orva render m51_iraf_devpix.fits x.png --zoom 0
orva render no_existe.fits x.png
orva stars m51_iraf_devpix.fits --save > /dev/null
orva render m51_iraf_devpix.fits m51_marcas.png --marks
cmp -s m51.png m51_marcas.png && echo "same picture" || echo "overlay drawn"
# Levels chosen from the pixels; a bad choice is a usage error.
orva render m51_iraf_devpix.fits m51_p.png --levels percentile 1 99.5
orva render m51_iraf_devpix.fits m51_z.png --levels zscale --zoom 0.5
cmp -s m51.png m51_p.png && echo "same levels" || echo "levels changed"
orva render m51_iraf_devpix.fits x.png --levels percentile 99 1
