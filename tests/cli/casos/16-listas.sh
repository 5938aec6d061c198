# The object and observatory lists of the settings folder, applied by apply and convert.
orva sites
orva sites --add 'Calar Alto;02g32m46s.500;37g13m25s.000;2168'
orva objects --add 'RZ Cas;02h48m55s.500;69g38m03s.400;2000;EA;1.1952499;2443200.3063' --add 'V566 Oph;17h56m52s.300;04g59m15s.000;2000;EW'
orva objects --add 'rz cas;00h00m00s.000;00g00m00s.000;2000;EA'
orva objects --add 'X;25h00m00s.000;00g00m00s.000;2000;EA'
orva objects --remove 'V566 OPH'
cat config/orva/OBJETOS.TXT
orva convert m51_iraf_devpix.fits rz.fits --object 'rz cas' --site 'calar alto'
orva info rz.fits | grep -e OBJ -e OBS
orva apply m51_iraf_devpix.fits rz.qor --object 'SZ Cam' 2>&1 | sed "s|$PWD/||"
ls rz.qor 2>&1 | sed 's/.*: //'
printf 'Calar Alto;02g32m46s.500;37g13m25s.000;2168\nBad;200g00m00s.000;00g00m00s.000;0\n' > config/orva/OBSERVATORIOS.TXT
orva sites 2>&1 | sed "s|$PWD/||"
