# Spacecraft frames: the marks searched on a frame without a reseau (none found, all listed, the
# correction refused), the limb giving the pointing offset, the CSV table, and the refusals.
orva reseau planeta_jupiter.fits --csv r.csv --correct c.fits
head -2 r.csv
orva reseau planeta_jupiter.fits --remove-marks
orva reseau planeta_jupiter.fits --grid nada.txt
orva reseau planeta_jupiter.fits --grid VGR1_NA
orva reseau
