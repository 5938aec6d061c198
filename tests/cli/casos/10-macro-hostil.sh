# Hostile macro lines: a radius that overflowed the kernel size, and a resize larger than any
# machine's memory (8 PB, so the case does not depend on the machine; the unit tests hold the
# 24 GB resize to a set limit).
# Each is refused with the line, its number and the reason, and nothing is written.
orva apply m51_iraf_devpix.fits o.qor -e 'FILTRO GAUS 1 2147483647'
orva apply m51_iraf_devpix.fits o.qor -e INVERTIR -e 'FILTRO RCONT LAP_GENE 1 1073741824 2'
orva apply m51_iraf_devpix.fits o.qor -e 'REDIM 0 0 512 512 2000000000 2000000'
printf 'ORVA V2.0 MACRO\r\nINVERTIR\r\nROTAR abc\r\n' > m.orv
mkdir -p sal
orva macro m.orv m51_iraf_devpix.fits -o sal
ls o.qor 2>&1 | sed 's/.*: //'
