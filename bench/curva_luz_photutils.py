#!/usr/bin/python3
"""The synthetic night of bench_curva_luz measured with photutils at the true positions, beside
ORVA's light curve of the same frames.

Usage: curva_luz_photutils.py DIR [ORVA_CSV]
DIR holds the frames, verdad.csv and campo.txt written by `bench_curva_luz --escribe DIR`.
Prints, for photutils (and for ORVA when its CSV is given), the time per frame and the rms of the
variable's magnitude against the ensemble around the true light curve.
"""
import csv
import math
import sys
import time

import numpy as np
from astropy.io import fits
from astropy.stats import sigma_clipped_stats
from photutils.aperture import CircularAnnulus, CircularAperture, aperture_photometry

RADIO, RADIO_INT, RADIO_EXT = 6.0, 12.0, 18.0  # as the benchmark's field
GANANCIA = 2.0  # e- per ADU, as the generator
CERO = 24.25


def estrellas_campo(carpeta):
    """Names and catalogue magnitudes (None for the variable) of the field, in order."""
    r = []
    with open(f"{carpeta}/campo.txt") as f:
        for linea in f:
            opcion, valor = linea.split()
            partes = valor.split(",")
            r.append((opcion, partes[2], float(partes[3]) if len(partes) > 3 else None))
    return r


def rms_centrada(d):
    d = np.asarray(d)
    return float(np.sqrt(np.mean((d - d.mean()) ** 2)))


def mide_photutils(carpeta, campo, filas):
    nombres = [n for _, n, _ in campo]
    residuos, tiempo = [], 0.0
    for fila in filas:
        t0 = time.perf_counter()
        datos = fits.getdata(f"{carpeta}/{fila['file']}").astype(float)
        pos = [(float(fila[f"{n}_x"]), float(fila[f"{n}_y"])) for n in nombres]
        ap = CircularAperture(pos, r=RADIO)
        anillo = CircularAnnulus(pos, r_in=RADIO_INT, r_out=RADIO_EXT)
        tabla = aperture_photometry(datos, ap)
        mascaras = anillo.to_mask(method="center")
        mags, errs = [], []
        for i, m in enumerate(mascaras):
            valores = m.get_values(datos)
            _, mediana, desv = sigma_clipped_stats(valores, sigma=3.0)
            flujo = float(tabla["aperture_sum"][i]) - mediana * ap.area
            var = max(flujo, 0.0) / GANANCIA + ap.area * desv**2 * (1 + ap.area / len(valores))
            mags.append(CERO - 2.5 * math.log10(flujo))
            errs.append(1.0857 * math.sqrt(var) / flujo)
        tiempo += time.perf_counter() - t0
        # V against the ensemble of catalogue magnitudes, inverse-variance weighted.
        peso = suma = 0.0
        for (opcion, _, cat), m, e in zip(campo, mags, errs):
            if opcion == "--comp":
                peso += 1 / e**2
                suma += (m - cat) / e**2
        residuos.append(mags[0] - suma / peso - float(fila["v_true"]))
    return tiempo / len(filas), rms_centrada(residuos)


def rms_orva(csv_orva, filas):
    verdad = {f["file"]: float(f["v_true"]) for f in filas}
    residuos = []
    with open(csv_orva) as f:
        for fila in csv.DictReader(f):
            if fila["v-ens"]:
                residuos.append(float(fila["v-ens"]) - verdad[fila["file"]])
    return rms_centrada(residuos), len(residuos)


def main():
    carpeta = sys.argv[1]
    campo = estrellas_campo(carpeta)
    with open(f"{carpeta}/verdad.csv") as f:
        filas = list(csv.DictReader(f))
    ms, rms = mide_photutils(carpeta, campo, filas)
    print(f"photutils  frames {len(filas)}  ms/frame {1000 * ms:.1f}  rms {rms:.4f} mag "
          "(true positions given)")
    if len(sys.argv) > 2:
        rms_o, n = rms_orva(sys.argv[2], filas)
        print(f"orva       frames {n}  rms {rms_o:.4f} mag (positions found by identification)")


if __name__ == "__main__":
    main()
