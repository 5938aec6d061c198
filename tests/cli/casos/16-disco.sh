# The planet's disc of a synthetic Jupiter (orva-disco: centre 160.3,158.6, radius 130, pole
# angle 15, sub-Earth latitude 3, central meridian 120): the limb fit, positions, maps, cuts.
G="--pole 15 --de 3 --cm 120 --body JUPITER"
orva limb planeta_jupiter.fits $G
orva lonlat planeta_jupiter.fits 160.3,158.6 100,120 5,5 $G --csv --save
orva features planeta_jupiter.fits
orva features m51_iraf_devpix.fits
grep -E '^(TIPOOBJ|PLANDISCO|PLANDET[0-9]+)=' planeta_jupiter.fits.dat | tr -d '\r'
orva planisphere planeta_jupiter.fits plan.fits $G --res 1 --minnaert 0.8
orva info plan.fits | grep -E '^(ANCHO|ALTO|TIPOOBJ)='
orva polar planeta_jupiter.fits pol.fits $G --south --size 200
orva info pol.fits | grep -E '^(ANCHO|ALTO|TIPOOBJ)='
orva cut planeta_jupiter.fits meridian $G | sed -n '1p;100p'
orva cut planeta_jupiter.fits 10,10,300,300 $G --minnaert 0.8 | wc -l
# Bad input: no orientation on an image without a date, a disc cut by the edge, too small.
orva limb planeta_jupiter.fits
orva limb planeta_jupiter.fits --pole 15 --de 3
orva apply planeta_jupiter.fits trozo.fits -e "CORTAR 0 0 200 320"
orva limb trozo.fits $G --body JUPITER
orva limb planeta_jupiter.fits $G --centre 160,158 --radius 6
orva planisphere planeta_jupiter.fits x.fits $G --res 0
orva limb planeta_jupiter.fits $G --body SOL
# The orientation from the ephemeris of the image's date and time, geocentric without an
# observatory, the options overriding it; Jupiter's System III asked for.
sed -i 's|^FECHAOBS=$|FECHAOBS=03/11/2023|; s|^HORAOBS=$|HORAOBS=04:00:00|' planeta_jupiter.fits.dat
orva limb planeta_jupiter.fits --pole 15 --de 3
orva lonlat planeta_jupiter.fits 160.3,158.6 --pole 15 --de 3 --system 3 --csv
orva limb planeta_jupiter.fits --pole 15 --de 3 --system 4
sed -i 's|^HORAOBS=.*$|HORAOBS=|' planeta_jupiter.fits.dat
orva limb planeta_jupiter.fits --pole 15 --de 3
