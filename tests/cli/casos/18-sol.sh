# The Sun: the disc, its limb-darkening laws, the zone table and Venus on a synthetic transit;
# a frame without a disc and bad settings are refused.
orva sun sol_transito.fits --venus --csv sol.csv
head -4 sol.csv
grep -c '^disco,' sol.csv
orva --set PREFANASOL.NumZonasSol=4 --set PREFANASOL.NumZonasCorona=0 sun sol_transito.fits --at 120,130 --csv sol.csv
grep -c '^corona,' sol.csv
orva --set PREFANASOL.NumZonasSol=0 sun sol_transito.fits
orva sun m51_iraf_devpix.fits --venus
orva sun sol_transito.fits --at 1
orva sun
