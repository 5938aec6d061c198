# Several files at once (-j): the results and the report equal those of the serial run, file by
# file in input order, with an unreadable file in the middle reported in its place; the refusals
# still come before any file is written; -j takes a count.
for i in 01 02 03 04 05 06 07 08 09 10 11 12; do
  orva apply eyuma_r90s_cutout.fits f$i.fits -e "DESPLAZA $i -$i 7" -e "REDIM 0 0 64 64 96 80" \
    > /dev/null
done
printf 'not an image' > f06.fits
printf 'ORVA V2.0 MACRO\r\nFILTRO GAUS 1.5 4\r\nROTAR 30\r\nESCALGRIS LOG_10 100\r\n' > m.orv
mkdir s1 s3 s0
orva macro m.orv f*.fits -o s1 > informe1.txt 2>&1
orva macro m.orv f*.fits -o s3 -j 3 > informe3.txt 2>&1
orva --threads 2 macro m.orv f*.fits -o s0 -j 0 > informe0.txt 2>&1
cat informe3.txt
sed 's#s3/#s1/#' informe3.txt | cmp - informe1.txt && echo same report
sed 's#s0/#s1/#' informe0.txt | cmp - informe1.txt && echo same report
ls s1 | wc -l
for f in s1/*; do cmp "$f" "s3/${f#s1/}" && cmp "$f" "s0/${f#s1/}" || echo "differs: $f"; done
# Two inputs, one output: refused before anything is written.
mkdir d1 d2 s4
cp f01.fits d1/a.fits
cp f02.fits d2/a.fits
orva macro m.orv f03.fits d1/a.fits d2/a.fits -o s4 -j 3
ls s4 | wc -l
orva macro m.orv f01.fits -j -1
orva macro m.orv f01.fits -j x
