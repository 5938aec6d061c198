# Variable-star fields and light curves: usage errors and bad input.
orva lightcurve
orva field
orva field m51_iraf_devpix.fits -o c.orva --var 1,2,3,4,5
orva lightcurve c.orva --extinction mucha
printf 'no es un campo\n' > malo.txt
orva lightcurve malo.txt m51_iraf_devpix.fits
printf 'ORVA CAMPO\nESTRELLA=V,1,1,,V\n' > sinc.txt
orva field sinc.txt
printf 'ORVA CAMPO\nESTRELLA=V,1,1,,V\nESTRELLA=C,9,x,,C\n' > malc.txt
orva field malc.txt
orva field m51_iraf_devpix.fits -o c.orva --var 5000,5000 --comp 10,10
ls c.orva 2>&1 | sed 's/.*No such.*/no field written/'
