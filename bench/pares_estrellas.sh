#!/usr/bin/env bash
# Star detection quality and speed beside peer detectors, on the same synthetic fields:
# ORVA's PCVISTA and TASS (through `orva stars`), SExtractor with its default configuration
# (Debian package source-extractor) and, when python3-photutils is installed, photutils'
# DAOStarFinder (FWHM 3.5, threshold 5 sigma of the clipped sky). For each field and detector:
# the wall time of the detection, the stars found, recall and precision against the true stars
# (a match within 1.5 px) and the rms magnitude error of the isolated stars (25 - 2.5 log10 of
# the flux each detector measures, against the true flux).
# Usage: bench/pares_estrellas.sh BUILD_DIR   (built with -DORVA_BUILD_BENCH=ON; the peers are
# installed by scripts/install-deps.sh --peers)
set -eu
BIN=$(cd "$1/bin" && pwd)
TRABAJO=$(mktemp -d)
trap 'rm -rf "$TRABAJO"' EXIT
"$BIN/bench_estrellas" --escribe "$TRABAJO"
SEX=$(command -v source-extractor || command -v sex || true)
PY=/usr/bin/python3
[ -x "$PY" ] || PY=python3
cd "$TRABAJO"
export XDG_CONFIG_HOME="$TRABAJO/config"
mkdir -p config/orva
if [ -n "$SEX" ]; then
  "$SEX" -d > default.sex
  cp /usr/share/source-extractor/default.conv . 2>/dev/null || printf 'CONV NORM\n1 2 1\n2 4 2\n1 2 1\n' > default.conv
  printf 'X_IMAGE\nY_IMAGE\nFLUX_AUTO\n' > default.param
fi
ORVA="$BIN/orva" SEX="$SEX" "$PY" - <<'PY'
import math, os, subprocess, time

def lee_verdad(n):
    v = []
    for l in open(f"verdad{n}.txt"):
        x, y, f, a = l.split()
        v.append((float(x), float(y), float(f), a == "1"))
    return v

def calidad(verdad, det):
    # det: (x, y, flux or None), 0-based pixel centres
    celda = {}
    for i, (x, y, _) in enumerate(det):
        celda.setdefault((int(x // 2), int(y // 2)), []).append(i)
    buena = [False] * len(det)
    halladas, errores = 0, []
    for x, y, f, aislada in verdad:
        mejor = None
        for cx in range(int(x // 2) - 1, int(x // 2) + 2):
            for cy in range(int(y // 2) - 1, int(y // 2) + 2):
                for i in celda.get((cx, cy), []):
                    dx, dy = det[i][0] - x, det[i][1] - y
                    if dx * dx + dy * dy <= 1.5 * 1.5:
                        buena[i] = True
                        mejor = i
        if mejor is None:
            continue
        halladas += 1
        fm = det[mejor][2]
        if aislada and fm is not None and fm > 0:
            errores.append(2.5 * math.log10(f / fm))
    rms = math.sqrt(sum(e * e for e in errores) / len(errores)) if errores else float("nan")
    return (halladas / len(verdad), sum(buena) / len(det) if det else 0.0, rms)

def orva(n, metodo):
    t = time.perf_counter()
    out = subprocess.run([os.environ["ORVA"], "/D", "stars", "--csv", "--method", metodo,
                          f"campo{n}.fits"], check=True, capture_output=True, text=True).stdout
    t = time.perf_counter() - t
    det = []
    for l in out.splitlines()[1:]:
        c = l.split(",")
        det.append((float(c[1]), float(c[2]), float(c[7])))
    return t, det

def sextractor(n):
    t = time.perf_counter()
    subprocess.run([os.environ["SEX"], f"campo{n}.fits", "-c", "default.sex", "-CATALOG_NAME",
                    "sex.cat", "-VERBOSE_TYPE", "QUIET"], check=True)
    t = time.perf_counter() - t
    det = []
    for l in open("sex.cat"):
        if l.startswith("#"):
            continue
        x, y, f = map(float, l.split())
        det.append((x - 1.0, y - 1.0, f))  # 1-based pixel centres
    return t, det

def daofind(n):
    from astropy.io import fits
    from astropy.stats import sigma_clipped_stats
    from photutils.aperture import CircularAnnulus, CircularAperture, aperture_photometry
    from photutils.detection import DAOStarFinder
    import numpy as np
    data = fits.getdata(f"campo{n}.fits").astype(float)
    t = time.perf_counter()
    _, mediana, sd = sigma_clipped_stats(data, sigma=3.0)
    tabla = DAOStarFinder(fwhm=3.5, threshold=5.0 * sd)(data - mediana)
    t = time.perf_counter() - t
    if tabla is None:
        return t, []
    pos = np.transpose((tabla["xcentroid"], tabla["ycentroid"]))
    # Fluxes for the error column only (not timed): aperture 7, sky from the 15-20 ring median.
    ap = aperture_photometry(data, CircularAperture(pos, r=7.0))
    anillo = CircularAnnulus(pos, r_in=15.0, r_out=20.0).to_mask(method="center")
    cielo = np.array([np.median(m.get_values(data)) for m in anillo])
    flujo = ap["aperture_sum"] - cielo * math.pi * 49.0
    return t, [(p[0], p[1], f) for p, f in zip(pos, flujo)]

detectores = [("orva PCVISTA", lambda n: orva(n, "pcvista")),
              ("orva TASS", lambda n: orva(n, "tass"))]
if os.environ.get("SEX"):
    detectores.append(("SExtractor default", sextractor))
try:
    import photutils  # noqa: F401
    detectores.append(("photutils DAOStarFinder", daofind))
except ImportError:
    print("(photutils not installed: DAOStarFinder left out)")

print(f"{'field':>9} {'detector':<24} {'time s':>8} {'found':>6} {'true':>6} "
      f"{'recall':>7} {'precision':>9} {'rms mag':>8}")
for n in (1024, 4096):
    verdad = lee_verdad(n)
    for nombre, f in detectores:
        t, det = f(n)
        r, p, rms = calidad(verdad, det)
        print(f"{n:>4}x{n:<4} {nombre:<24} {t:8.3f} {len(det):6d} {len(verdad):6d} "
              f"{r:7.3f} {p:9.3f} {rms:8.3f}", flush=True)
PY
