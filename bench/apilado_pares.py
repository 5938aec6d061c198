#!/usr/bin/python3
"""The stacking benchmark's Python half (bench/apilado.sh runs it).

  apilado_pares.py noche DIR FRAMES SIZE     a synthetic night with its truth (fixed seed)
  apilado_pares.py ccdproc DIR OUT           the ccdproc + astroalign pipeline on DIR/raw
  apilado_pares.py orva-reg CSV OUT          ORVA's register report as ref -> frame matrices
  apilado_pares.py siril-reg LOG OUT SIZE    siril-cli's printed transforms as ref -> frame matrices
  apilado_pares.py tabla DIR FRAMES          the side-by-side table from DIR/{orva,ccdproc,siril}

Pixel positions are 0-based (x = column, y = row of the FITS array as numpy reads it). A
frame's true transform maps a reference pixel to the frame's: p = R(a) (p0 - c) + c + t with c
the image centre; the first light is the reference (identity).
"""
import json
import math
import os
import sys
import time

import numpy as np
from astropy.io import fits

SEMILLA = 20261208
N_BIAS, N_DARK, N_FLAT = 8, 8, 8
BIAS, LECTURA = 1000.0, 6.0          # bias level (ADU) and read noise (ADU), gain 1 e-/ADU
CORRIENTE, EXPOSICION = 0.1, 60.0    # dark current (e-/s) and light/dark exposure (s)
CALIENTES = 5e-4                     # fraction of hot pixels
CIELO = 300.0                        # sky (e-) per light
NIVEL_FLAT = 20000.0                 # flat level (e-)
SIGMA_ESTRELLA = 1.3                 # px, FWHM about 3 px
DESPLAZA_MAX, GIRO_MAX = 12.0, 0.4   # px, degrees
HUECO = (0.55, 0.70)                 # star-free box (fraction of the side) for the noise
MARGEN_HUECO = 30                    # px kept free of stars around the box
BORDE_RUIDO, RADIO_ESTRELLA = 40, 12  # px left out of the noise measure: edges, around stars
LAGS_RUIDO = 2                       # px: autocovariance lags summed by the noise measure


def escribe(ruta, datos, exptime, tipo):
    cab = fits.Header()
    cab["EXPTIME"] = exptime
    cab["IMAGETYP"] = tipo
    cab["BITPIX"] = 16
    d = np.clip(np.round(datos), 0, 65535).astype(np.uint16)
    fits.PrimaryHDU(d, header=cab).writeto(ruta, overwrite=True)


def transformacion(a_grados, tx, ty, lado):
    a = math.radians(a_grados)
    c = (lado - 1) / 2.0
    ca, sa = math.cos(a), math.sin(a)
    # p = R (p0 - c) + c + t
    return [[ca, -sa, c - ca * c + sa * c + tx], [sa, ca, c - sa * c - ca * c + ty], [0, 0, 1]]


def aplica(m, x, y):
    m = np.asarray(m)
    w = m[2, 0] * x + m[2, 1] * y + m[2, 2]
    return (m[0, 0] * x + m[0, 1] * y + m[0, 2]) / w, (m[1, 0] * x + m[1, 1] * y + m[1, 2]) / w


def pinta_estrellas(im, xs, ys, flujos):
    alto, ancho = im.shape
    r = int(math.ceil(5 * SIGMA_ESTRELLA))
    for x, y, f in zip(xs, ys, flujos):
        x0, y0 = int(round(x)), int(round(y))
        if x0 < -r or y0 < -r or x0 >= ancho + r or y0 >= alto + r:
            continue
        ya, yb = max(0, y0 - r), min(alto, y0 + r + 1)
        xa, xb = max(0, x0 - r), min(ancho, x0 + r + 1)
        if ya >= yb or xa >= xb:
            continue
        gy = np.arange(ya, yb)[:, None] - y
        gx = np.arange(xa, xb)[None, :] - x
        im[ya:yb, xa:xb] += f / (2 * math.pi * SIGMA_ESTRELLA ** 2) * np.exp(
            -(gx * gx + gy * gy) / (2 * SIGMA_ESTRELLA ** 2))


def noche(dir_, n, lado):
    gen = np.random.default_rng(SEMILLA)
    raw = os.path.join(dir_, "raw")
    os.makedirs(raw, exist_ok=True)
    yy, xx = np.mgrid[0:lado, 0:lado].astype(np.float64)
    c = (lado - 1) / 2.0
    r2 = ((xx - c) ** 2 + (yy - c) ** 2) / (2 * c * c)
    flat = (1.0 - 0.35 * r2) * (1.0 + 0.005 * gen.standard_normal((lado, lado)))
    columnas = 3.0 * gen.standard_normal(lado)[None, :]      # fixed bias pattern
    corriente = np.full((lado, lado), CORRIENTE)
    calientes = gen.random((lado, lado)) < CALIENTES
    corriente[calientes] = gen.uniform(5.0, 100.0, calientes.sum())

    def lectura():
        return BIAS + columnas + LECTURA * gen.standard_normal((lado, lado))

    for i in range(N_BIAS):
        escribe(f"{raw}/bias_{i + 1:02d}.fits", lectura(), 0.0, "BIAS")
    for i in range(N_DARK):
        escribe(f"{raw}/dark_{i + 1:02d}.fits",
                gen.poisson(corriente * EXPOSICION) + lectura(), EXPOSICION, "DARK")
    for i in range(N_FLAT):
        escribe(f"{raw}/flat_{i + 1:02d}.fits",
                gen.poisson(NIVEL_FLAT * flat + corriente * 1.0) + lectura(), 1.0, "FLAT")

    # The stars in the reference frame, over a field a little larger than the frame.
    n_estrellas = max(120, int(round(300 * (lado / 2048.0) ** 2)))
    borde = 30
    h0, h1 = HUECO[0] * lado - MARGEN_HUECO, HUECO[1] * lado + MARGEN_HUECO
    xs, ys = [], []
    while len(xs) < n_estrellas:
        x, y = gen.uniform(-borde, lado + borde, 2)
        if h0 <= x <= h1 and h0 <= y <= h1:
            continue
        xs.append(x)
        ys.append(y)
    xs, ys = np.array(xs), np.array(ys)
    flujos = np.exp(gen.uniform(math.log(1e3), math.log(3e5), n_estrellas))

    verdad = {"lado": lado, "frames": n, "hueco": [HUECO[0] * lado, HUECO[1] * lado],
              "estrellas": [[float(x), float(y)] for x, y in zip(xs, ys)
                            if 0 <= x < lado and 0 <= y < lado], "transformaciones": []}
    for i in range(n):
        if i == 0:
            a, tx, ty = 0.0, 0.0, 0.0
        else:
            a = float(gen.uniform(-GIRO_MAX, GIRO_MAX))
            tx, ty = (float(v) for v in gen.uniform(-DESPLAZA_MAX, DESPLAZA_MAX, 2))
        m = transformacion(a, tx, ty, lado)
        verdad["transformaciones"].append({"giro": a, "tx": tx, "ty": ty, "matriz": m})
        px, py = aplica(m, xs, ys)
        escena = np.full((lado, lado), CIELO)
        pinta_estrellas(escena, px, py, flujos)
        if i == min(2, n - 1):
            # A satellite trail across the frame and cosmic-ray hits.
            d = np.abs((yy - 0.2 * lado) - 0.35 * (xx - 0.1 * lado)) / math.hypot(1, 0.35)
            escena += 3000.0 * np.exp(-d * d / 2.0)
            for _ in range(max(20, lado * lado // 40000)):
                x, y = gen.integers(0, lado - 2, 2)
                escena[y, x] += gen.uniform(3000, 30000)
                if gen.random() < 0.5:
                    escena[y, x + 1] += gen.uniform(1000, 10000)
        luz = gen.poisson(escena * flat + corriente * EXPOSICION) + lectura()
        escribe(f"{raw}/light_{i + 1:02d}.fits", luz, EXPOSICION, "LIGHT")
    with open(os.path.join(dir_, "verdad.json"), "w") as f:
        json.dump(verdad, f)


def lee(ruta):
    return fits.getdata(ruta).astype(np.float64)


def ccdproc_pares(dir_, out):
    import warnings
    warnings.filterwarnings("ignore")
    import astroalign
    import ccdproc
    from astropy import units as u
    from astropy.nddata import CCDData
    raw = os.path.join(dir_, "raw")
    os.makedirs(out, exist_ok=True)
    nombres = sorted(n for n in os.listdir(raw) if n.endswith(".fits"))

    def ccd(n):
        return CCDData.read(os.path.join(raw, n), unit="adu")

    def mediana_inversa(a):
        return 1.0 / np.median(a)

    clip = dict(method="average", sigma_clip=True, sigma_clip_low_thresh=3,
                sigma_clip_high_thresh=3, sigma_clip_func=np.ma.median,
                sigma_clip_dev_func=np.ma.std, mem_limit=1.5e9)
    tiempos = {}
    t = time.perf_counter()
    bias = ccdproc.combine([ccd(n) for n in nombres if n.startswith("bias")], **clip)
    darks = [ccdproc.subtract_bias(ccd(n), bias) for n in nombres if n.startswith("dark")]
    dark = ccdproc.combine(darks, **clip)
    flats = [ccdproc.ccd_process(ccd(n), master_bias=bias, dark_frame=dark,
                                 exposure_key="EXPTIME", exposure_unit=u.s, dark_scale=True)
             for n in nombres if n.startswith("flat")]
    flat = ccdproc.combine(flats, scale=mediana_inversa, **clip)
    tiempos["maestros"] = time.perf_counter() - t

    t = time.perf_counter()
    luces = []
    for n in nombres:
        if n.startswith("light"):
            c = ccdproc.ccd_process(ccd(n), master_bias=bias, dark_frame=dark, master_flat=flat,
                                    exposure_key="EXPTIME", exposure_unit=u.s, dark_scale=True)
            luces.append(c)
    tiempos["calibracion"] = time.perf_counter() - t
    fits.PrimaryHDU(np.asarray(luces[0].data, dtype=np.float32)).writeto(
        os.path.join(out, "calibrada_ref.fits"), overwrite=True)

    t = time.perf_counter()
    ref = np.asarray(luces[0].data, dtype=np.float64)
    alineadas = [luces[0]]
    matrices = {}
    for i, c in enumerate(luces[1:], start=2):
        datos = np.asarray(c.data, dtype=np.float64)
        try:
            # T takes the frame's pixels to the reference's; its inverse is ref -> frame.
            tr, _ = astroalign.find_transform(datos, ref)
            reg, huella = astroalign.apply_transform(tr, datos, ref, fill_value=np.nan)
            matrices[i] = np.linalg.inv(tr.params).tolist()
            alineadas.append(CCDData(reg, unit="adu", mask=np.isnan(reg) | huella))
        except Exception as e:  # a frame astroalign cannot register stays out of the stack
            print(f"astroalign: light {i}: {e}", file=sys.stderr)
    tiempos["registro"] = time.perf_counter() - t

    t = time.perf_counter()
    pila = ccdproc.combine(alineadas, **clip)
    tiempos["apilado"] = time.perf_counter() - t
    tiempos["total"] = sum(tiempos.values())
    fits.PrimaryHDU(np.asarray(pila.data, dtype=np.float32)).writeto(
        os.path.join(out, "pila.fits"), overwrite=True)
    with open(os.path.join(out, "registro.json"), "w") as f:
        json.dump(matrices, f)
    with open(os.path.join(out, "tiempos.json"), "w") as f:
        json.dump(tiempos, f)


def orva_reg(csv, out):
    import csv as csvmod
    matrices = {}
    with open(csv) as f:
        for fila in csvmod.DictReader(f):
            if fila["status"] != "ok":
                continue
            i = int(os.path.basename(fila["file"]).split("_")[1].split(".")[0])
            h = [float(v) for v in fila["matrix"].split()]
            matrices[i] = [h[0:3], h[3:6], h[6:9]]
    with open(out, "w") as f:
        json.dump(matrices, f)


def siril_reg(log, out, lado):
    # siril-cli prints each frame's "Transformation Matrix:" (three rows, five decimals) before
    # "Matching stars in image N: done" (N counted from 1); on one thread they come in order.
    # The matrix maps the frame's pixels to the reference's with rows counted from the bottom of
    # Siril's own display, the FITS array flipped: y_siril = lado - 1 - y.
    volteo = np.array([[1, 0, 0], [0, -1, lado - 1], [0, 0, 1]], dtype=float)
    lineas = [l.strip() for l in open(log, errors="replace")]
    matrices, h = {}, None
    for k, l in enumerate(lineas):
        if l.startswith("Transformation Matrix:"):
            h = np.array([[float(v) for v in lineas[k + j].split()] for j in (1, 2, 3)])
        elif "Matching stars in image" in l and h is not None:
            i = int(l.split("Matching stars in image")[1].split(":")[0])
            m = volteo @ np.linalg.inv(h) @ volteo
            matrices[i] = (m / m[2, 2]).tolist()
            h = None
    with open(out, "w") as f:
        json.dump(matrices, f)


def error_registro(verdad, ruta):
    """rms of the recovered transform's error at the true stars and at the frame corners."""
    if not os.path.exists(ruta):
        return None
    with open(ruta) as f:
        matrices = {int(k): v for k, v in json.load(f).items()}
    lado = verdad["lado"]
    est = np.array(verdad["estrellas"])
    esquinas = np.array([[0, 0], [lado - 1, 0], [0, lado - 1], [lado - 1, lado - 1]], float)
    e_est, e_esq, faltan = [], [], 0
    for i in range(2, verdad["frames"] + 1):
        if i not in matrices:
            faltan += 1
            continue
        m_v = verdad["transformaciones"][i - 1]["matriz"]
        for puntos, lista in ((est, e_est), (esquinas, e_esq)):
            xv, yv = aplica(m_v, puntos[:, 0], puntos[:, 1])
            xm, ym = aplica(matrices[i], puntos[:, 0], puntos[:, 1])
            lista.extend(((xv - xm) ** 2 + (yv - ym) ** 2).tolist())
    if not e_est:
        return None
    return math.sqrt(np.mean(e_est)), math.sqrt(np.mean(e_esq)), faltan


def mascara_cielo(verdad):
    """The pixels of sky: away from the frame's edges and from every true star."""
    lado = verdad["lado"]
    m = np.ones((lado, lado), bool)
    m[:BORDE_RUIDO] = m[-BORDE_RUIDO:] = False
    m[:, :BORDE_RUIDO] = m[:, -BORDE_RUIDO:] = False
    for x, y in verdad["estrellas"]:
        x0, y0 = int(round(x)), int(round(y))
        m[max(0, y0 - RADIO_ESTRELLA):y0 + RADIO_ESTRELLA + 1,
          max(0, x0 - RADIO_ESTRELLA):x0 + RADIO_ESTRELLA + 1] = False
    return m


def ruido(ruta, mascara):
    """The sky noise of an image that counts for sums over areas (aperture photometry).

    Resampling a frame smooths its noise: neighbouring pixels become correlated and the pixel
    standard deviation of a stack of resampled frames falls faster than 1/sqrt(N), although
    photometry over an aperture gains nothing from it. The noise that an aperture sees is the
    square root of the sum of the noise's autocovariance over all lags (its power at zero
    frequency); the sum is taken over lags up to LAGS_RUIDO pixels, beyond the reach of bilinear
    and bicubic kernels. Outliers (hot pixels, cosmic rays) beyond 5 sigma count as sky level.
    """
    from astropy.stats import sigma_clipped_stats
    d = lee(ruta)
    ok = mascara & np.isfinite(d)
    media, _, sigma = sigma_clipped_stats(d[ok], sigma=3.0, maxiters=5)
    ok &= np.abs(d - media) < 5 * sigma
    r = np.where(ok, d - media, 0.0)
    w = ok.astype(np.float64)
    alto, ancho = r.shape
    total = 0.0
    for dy in range(-LAGS_RUIDO, LAGS_RUIDO + 1):
        for dx in range(-LAGS_RUIDO, LAGS_RUIDO + 1):
            a = (slice(max(0, dy), alto + min(0, dy)), slice(max(0, dx), ancho + min(0, dx)))
            b = (slice(max(0, -dy), alto + min(0, -dy)), slice(max(0, -dx), ancho + min(0, -dx)))
            total += np.sum(r[a] * r[b]) / np.sum(w[a] * w[b])
    return math.sqrt(max(total, 0.0))


def tabla(dir_, n):
    with open(os.path.join(dir_, "verdad.json")) as f:
        verdad = json.load(f)
    herramientas = [("ORVA", "orva"), ("ccdproc+astroalign", "ccdproc"), ("siril-cli 1.0.6", "siril")]
    cols = []
    mascara = None
    for nombre, sub in herramientas:
        d = os.path.join(dir_, sub)
        col = {"nombre": nombre}
        tiempos = os.path.join(d, "tiempos.json")
        if os.path.exists(tiempos):
            with open(tiempos) as f:
                col["t"] = json.load(f)
        col["reg"] = error_registro(verdad, os.path.join(d, "registro.json"))
        cal, pila = os.path.join(d, "calibrada_ref.fits"), os.path.join(d, "pila.fits")
        if os.path.exists(cal) and os.path.exists(pila):
            if mascara is None:
                mascara = mascara_cielo(verdad)
            s1, sn = ruido(cal, mascara), ruido(pila, mascara)
            col["ruido"] = (s1, sn, s1 / sn / math.sqrt(n))
        nota = os.path.join(d, "nota.txt")
        if os.path.exists(nota):
            col["nota"] = open(nota).read().strip()
        cols.append(col)

    def celda(col, f):
        try:
            v = f(col)
        except (KeyError, TypeError):
            return "n/a"
        return "n/a" if v is None else v

    filas = [("masters (s)", lambda c: f"{c['t']['maestros']:.1f}"),
             ("calibration (s)", lambda c: f"{c['t']['calibracion']:.1f}"),
             ("registration (s)", lambda c: f"{c['t']['registro']:.1f}"),
             ("stacking (s)", lambda c: f"{c['t']['apilado']:.1f}"),
             ("total (s)", lambda c: f"{c['t']['total']:.1f}"),
             ("reg. error rms at stars (px)", lambda c: f"{c['reg'][0]:.4f}"),
             ("reg. error rms at corners (px)", lambda c: f"{c['reg'][1]:.4f}"),
             ("frames not registered", lambda c: f"{c['reg'][2]}"),
             ("sky noise over areas: 1 frame / stack",
              lambda c: f"{c['ruido'][0]:.4g} / {c['ruido'][1]:.4g}"),
             (f"noise gain / sqrt({n})", lambda c: f"{c['ruido'][2]:.3f}")]
    ancho0 = max(len(f[0]) for f in filas) + 2
    anchos = [max(len(c["nombre"]), 20) + 3 for c in cols]
    print(f"Stacking pipeline, {n} lights of {verdad['lado']} x {verdad['lado']} "
          f"({N_BIAS} bias, {N_DARK} darks, {N_FLAT} flats)")
    print("".ljust(ancho0) + "".join(c["nombre"].rjust(w) for c, w in zip(cols, anchos)))
    for titulo, f in filas:
        print(titulo.ljust(ancho0) + "".join(celda(c, f).rjust(w) for c, w in zip(cols, anchos)))

    # Goals, stated and checked against what was measured.
    o, a, s = cols
    print()
    if o.get("reg") and a.get("reg"):
        ok = o["reg"][1] <= 0.5 * a["reg"][1]
        print(f"goal: ORVA registration error <= half of astroalign's (corners): "
              f"{o['reg'][1]:.4f} vs {0.5 * a['reg'][1]:.4f} -> {'met' if ok else 'NOT met'}")
    else:
        print("goal: ORVA registration error <= half of astroalign's: n/a")
    if o.get("ruido"):
        ok = abs(o["ruido"][2] - 1) <= 0.03
        print(f"goal: ORVA noise gain within 3 % of sqrt(N): {o['ruido'][2]:.3f} -> "
              f"{'met' if ok else 'NOT met'}")
    if o.get("t") and s.get("t"):
        ok = o["t"]["total"] < s["t"]["total"]
        print(f"goal: ORVA whole pipeline faster than siril-cli: {o['t']['total']:.1f} s vs "
              f"{s['t']['total']:.1f} s -> {'met' if ok else 'NOT met'}")
    else:
        print("goal: ORVA whole pipeline faster than siril-cli: n/a (no Siril timing)")
    print("The noise is the one an aperture sees (the autocovariance summed over lags up to "
          f"{LAGS_RUIDO} px), so the smoothing of resampled frames does not pass for a gain.")
    for c in cols:
        if c.get("nota"):
            print(f"note ({c['nombre']}): {c['nota']}")


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    orden = sys.argv[1]
    if orden == "noche":
        noche(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]))
    elif orden == "ccdproc":
        ccdproc_pares(sys.argv[2], sys.argv[3])
    elif orden == "orva-reg":
        orva_reg(sys.argv[2], sys.argv[3])
    elif orden == "siril-reg":
        siril_reg(sys.argv[2], sys.argv[3], int(sys.argv[4]))
    elif orden == "tabla":
        tabla(sys.argv[2], int(sys.argv[3]))
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
