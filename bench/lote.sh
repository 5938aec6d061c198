#!/usr/bin/env bash
# A batch of frames on one machine and on Dask: `orva macro -j 1`, `-j 2` and the Dask example
# with two workers over the same frames, timed side by side, the outputs compared file for file.
# Usage: bench/lote.sh BUILD_DIR [FRAMES] [SIZE]   (defaults 200 frames of 1024 x 1024)
set -euo pipefail
build=$(cd "${1:?usage: bench/lote.sh BUILD_DIR [FRAMES] [SIZE]}" && pwd)
n=${2:-200}
lado=${3:-1024}
raiz=$(cd "$(dirname "$0")/.." && pwd)
orva="$build/bin/orva"
export PYTHONPATH="$build/python${PYTHONPATH:+:$PYTHONPATH}"
py=/usr/bin/python3

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
mkdir -p "$tmp/in" "$tmp/j1" "$tmp/j2" "$tmp/dask"
cat > "$tmp/lote.orv" <<'ORV'
ORVA V2.0 MACRO
FILTRO GAUS 1 3
ROTAR 7.5
ESCALGRIS LOG_10 5000
ORV

# Deterministic frames: a sky with noise and a few hundred stars, each frame shifted a little.
"$py" - "$tmp/in" "$n" "$lado" <<'PY'
import sys
import numpy as np
import orva
carpeta, n, lado = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
azar = np.random.default_rng(2026)
yy, xx = np.mgrid[0:lado, 0:lado]
estrellas = azar.uniform(8, lado - 8, size=(300, 2))
flujos = azar.uniform(200, 8000, size=300)
for i in range(n):
    im = np.full((lado, lado), 1000.0) + azar.normal(0, 20, size=(lado, lado))
    d = azar.normal(0, 2, size=2)
    for (x, y), f in zip(estrellas[:40], flujos[:40]):
        x0, y0 = int(x + d[0]), int(y + d[1])
        sl = np.s_[max(0, y0 - 6):y0 + 7, max(0, x0 - 6):x0 + 7]
        im[sl] += f * np.exp(-((xx[sl] - x - d[0]) ** 2 + (yy[sl] - y - d[1]) ** 2) / 4.5)
    orva.write(f"{carpeta}/f{i:04d}.fits", np.clip(im, 0, 32767).astype(np.int16))
PY

tiempo() {  # seconds of wall clock of a command, to the millisecond
  local t0 t1
  t0=$(date +%s.%N)
  "$@" > /dev/null
  t1=$(date +%s.%N)
  "$py" -c "print(f'{$t1 - $t0:.2f}')"
}

ls "$tmp"/in/*.fits > "$tmp/lista"
[ "$(wc -l < "$tmp/lista")" -eq "$n" ] || { echo "lote: frames not written" >&2; exit 1; }
mkdir -p "$tmp/j1t"
t1=$(tiempo "$orva" /D --threads 1 macro "$tmp/lote.orv" "$tmp"/in/*.fits -o "$tmp/j1" -j 1)
tt=$(tiempo "$orva" /D macro "$tmp/lote.orv" "$tmp"/in/*.fits -o "$tmp/j1t" -j 1)
t2=$(tiempo "$orva" /D macro "$tmp/lote.orv" "$tmp"/in/*.fits -o "$tmp/j2" -j 2)
td=$(tiempo "$py" "$raiz/examples/dask_macro.py" "$tmp/lote.orv" "$tmp"/in/*.fits -o "$tmp/dask")
[ "$(ls "$tmp/j1" | wc -l)" -ge "$n" ] || { echo "lote: outputs missing" >&2; exit 1; }
diff -r "$tmp/j1" "$tmp/j1t" > /dev/null || { echo "lote: threads change the outputs" >&2; exit 1; }
diff -r "$tmp/j1" "$tmp/j2" > /dev/null || { echo "lote: -j 2 differs from -j 1" >&2; exit 1; }
diff -r "$tmp/j1" "$tmp/dask" > /dev/null || { echo "lote: Dask differs from -j 1" >&2; exit 1; }

echo "batch of $n frames of ${lado} x ${lado}: $(sed -n '2,$p' "$tmp/lote.orv" | paste -sd ';')"
printf '%-28s %10s %10s\n' "run" "seconds" "speed-up"
printf '%-28s %10s %10s\n' "orva --threads 1 macro -j 1" "$t1" "1.00"
printf '%-28s %10s %10s\n' "orva macro -j 1 (all cores)" "$tt" "$("$py" -c "print(f'{$t1/$tt:.2f}')")"
printf '%-28s %10s %10s\n' "orva macro -j 2" "$t2" "$("$py" -c "print(f'{$t1/$t2:.2f}')")"
printf '%-28s %10s %10s\n' "Dask, 2 workers x 1 thread" "$td" "$("$py" -c "print(f'{$t1/$td:.2f}')")"
echo "outputs identical in all three runs"
