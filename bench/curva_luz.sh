#!/usr/bin/env bash
# A light curve beside photutils, on the synthetic night of the stellar tests (60 frames of an
# eclipsing variable, three comparison stars, a check star, shifts up to a quarter of the frame,
# rotations up to 1.5 degrees, air mass 1.1 to 2.2, Poisson and read noise), written as FITS by
# bench_curva_luz. ORVA identifies every frame on its field and measures it (`orva field`, then
# `orva lightcurve`, timed as a whole: reading, star detection, identification, photometry);
# photutils measures aperture photometry at the true positions it is given (reading and
# photometry timed). Both light curves are the variable against the ensemble of the comparison
# stars' catalogue magnitudes; the rms is around the true light curve.
# Usage: bench/curva_luz.sh BUILD_DIR   (built with -DORVA_BUILD_BENCH=ON; photutils is
# installed by scripts/install-deps.sh --peers)
set -eu
BIN=$(cd "$1/bin" && pwd)
FUENTE=$(cd "$(dirname "$0")" && pwd)
TRABAJO=$(mktemp -d)
trap 'rm -rf "$TRABAJO"' EXIT
"$BIN/bench_curva_luz" --escribe "$TRABAJO"
PY=/usr/bin/python3
[ -x "$PY" ] || PY=python3
cd "$TRABAJO"
export XDG_CONFIG_HOME="$TRABAJO/config"
mkdir -p config/orva
# shellcheck disable=SC2046
"$BIN/orva" field f01.fits -o campo.orva $(cat campo.txt) --aperture 6,12,18 > /dev/null
inicio=$(date +%s.%N)
"$BIN/orva" lightcurve campo.orva f*.fits --csv orva.csv --extinction fit --gain 2 \
  --read-noise 8 --sky mean > orva.txt 2> orva.err
fin=$(date +%s.%N)
n=$(ls f*.fits | wc -l)
awk -v a="$inicio" -v b="$fin" -v n="$n" \
  'BEGIN { printf "orva       frames %d  ms/frame %.1f  (identification included)\n", n, 1000 * (b - a) / n }'
grep '^extinction' orva.txt
"$PY" "$FUENTE/curva_luz_photutils.py" "$TRABAJO" orva.csv
