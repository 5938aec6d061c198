# Spectra: the lines along a band of a real frame, the one-row image of the macro line with its
# calibration, and the refusals (a band leaving the frame, a malformed line, a bad degree).
orva spectrum m51_iraf_devpix.fits --line 10,100,200,100 --width 5 --sky 10 --lines
orva apply m51_iraf_devpix.fits s.fits -e "ESPECTRO 10 100 200 100 5 10"
orva spectrum s.fits --calib 98:5000,120:5200,129:5300 --degree 1
orva spectrum s.fits --csv t.csv
head -3 t.csv
orva spectrum m51_iraf_devpix.fits --line 10,100,2000,100
orva spectrum m51_iraf_devpix.fits --line 10,100
orva spectrum s.fits --calib 98:5000 --degree 4
orva spectrum s.fits --calib 98:5000 --degree 2
