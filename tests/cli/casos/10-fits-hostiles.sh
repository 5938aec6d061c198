# Hostile FITS files: each refused with its message and exit status 1, nothing allocated for
# sizes the file cannot hold.
for f in hostil_naxis_enorme hostil_naxis_negativo hostil_truncado hostil_bitpix64 hostil_cubo \
         hostil_nan hostil_sin_end; do
  orva info $f.fits
done
orva convert hostil_cubo.fits cubo.qor
ls cubo.qor 2>&1 | sed 's/^ls: //'
