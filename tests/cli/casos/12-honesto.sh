# Honest answers: failed photometry exits 1 with its reason, unknown settings and missing /C=
# files are errors, a file of no known type says so; JSON gives numbers as numbers.
orva phot m51_iraf_devpix.fits 3 3
orva phot m51_iraf_devpix.fits 510 200
orva phot m51_iraf_devpix.fits 600 3
orva --set AnaVariables.VARRADCIELINT=900 --set AnaVariables.VARRADCIELEXT=901 phot m51_iraf_devpix.fits 200 200
orva phot m51_iraf_devpix.fits 100 100
orva stars --json m51_iraf_devpix.fits
orva --set Archivos.NOEXISTE=1 info m51_iraf_devpix.fits
orva --set NoSeccion.TIPOAUTO=0 info m51_iraf_devpix.fits
orva --set TipoArch_FITS.LEERPRIM=1 --set TipoArch_QOR.COMPRESION=DIFF8 --set BuscaEstPCVista.NumSigmas=3 --set AnaDobles.DISTCALIB=5 --set PREFANASOL.TamVenus=3 detect m51_iraf_devpix.fits
orva /C=NADA info m51_iraf_devpix.fits 2>&1 | sed "s|$PWD|.|"
printf 'no image here\n' > texto.fits
: > vacio.fits
orva info texto.fits
orva info vacio.fits
orva --set Archivos.TIPOAUTO=0 info vacio.fits
orva info --json m51_iraf_devpix.fits
