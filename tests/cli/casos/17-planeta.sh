# Planetary ephemerides: for a date and time (geocentric, or topocentric at a site), Saturn's
# rings, a file's own date with the planet given; missing or bad data are refused clearly.
orva planet --date 01/01/2000 --time 12:00:00 --body JUPITER
orva planet --date 28/08/2003 --time 00:00:00 --body marte --site 3.7,40.4,650
orva planet --date 08/09/2026 --time 21:00:00 --body SATURNO --lon -2.5 --lat 37.2
orva planet m51_iraf_devpix.fits --body NEPTUNO | head -3
orva planet m51_iraf_devpix.fits
orva planet --body URANO --date 01/01/2000
orva planet --body PLUTON --date 01/01/2000 --time 00:00:00
orva planet --body JUPITER --date 01/01/5000 --time 00:00:00
orva planet --body JUPITER --lon 3
orva planet --body JUPITER --date 01/01/2000 --time 00:00:00 --lat 95 --lon 0
