#!/usr/bin/env python3
"""A synthetic night of 16-bit CCD frames for the calibration and stacking examples and tests.

Usage: serie_sintetica.py DIR [--lights N]

Writes into DIR: bias_NN.fits (8), dark_NN.fits (8, 60 s), flat_NN.fits (8), light_NN.fits
(N, default 8, 30 s each, a star field shifted by a few pixels from frame to frame, with its
reference point in light_NN.fits.dat) and truth.fits (the scene without noise, bias, dark or
flat). Light 3 holds a satellite trail and cosmic-ray hits. Pure Python, same files on every run.
"""
import math
import os
import random
import struct
import sys

ANCHO, ALTO = 96, 64
BIAS, CORRIENTE, RUIDO = 300.0, 2.0, 4.0  # level, dark current per second, read noise
ESTRELLAS = [(20, 15, 4000), (70, 45, 2500), (50, 30, 6000), (30, 50, 1500), (80, 12, 900)]


def escena(x, y, dx=0, dy=0):
    v = 150.0
    for ex, ey, a in ESTRELLAS:
        d2 = (x - ex - dx) ** 2 + (y - ey - dy) ** 2
        v += a * math.exp(-d2 / 5.0)
    return v


def flat(x, y):
    d2 = ((x - ANCHO / 2) / ANCHO) ** 2 + ((y - ALTO / 2) / ALTO) ** 2
    return 1.1 - 0.8 * d2


def tarjeta(clave, valor):
    if isinstance(valor, str):
        valor = "'" + valor.ljust(8) + "'"
        return (clave.ljust(8) + "= " + valor).ljust(80)
    return (clave.ljust(8) + "= " + str(valor).rjust(20)).ljust(80)


def escribe(ruta, pix, exptime=None, fecha=None):
    cab = [tarjeta("SIMPLE", "T"), tarjeta("BITPIX", 16), tarjeta("NAXIS", 2),
           tarjeta("NAXIS1", ANCHO), tarjeta("NAXIS2", ALTO)]
    cab[0] = "SIMPLE  =                    T".ljust(80)
    if exptime is not None:
        cab.append(tarjeta("EXPTIME", exptime))
    if fecha is not None:
        cab.append(tarjeta("DATE-OBS", fecha))
    cab.append("END".ljust(80))
    texto = "".join(cab)
    texto += " " * (-len(texto) % 2880)
    datos = b"".join(struct.pack(">h", max(-32768, min(32767, int(round(v))))) for v in pix)
    datos += b"\0" * (-len(datos) % 2880)
    with open(ruta, "wb") as f:
        f.write(texto.encode("ascii") + datos)


def cuadro(gen, valor):
    return [valor(x, y) + gen.gauss(0.0, RUIDO) for y in range(ALTO) for x in range(ANCHO)]


def main():
    if len(sys.argv) < 2:
        sys.exit(__doc__)
    dir_ = sys.argv[1]
    luces = int(sys.argv[3]) if len(sys.argv) > 3 and sys.argv[2] == "--lights" else 8
    os.makedirs(dir_, exist_ok=True)
    gen = random.Random(2026)
    for i in range(8):
        escribe(f"{dir_}/bias_{i + 1:02d}.fits", cuadro(gen, lambda x, y: BIAS), 0.0)
        escribe(f"{dir_}/dark_{i + 1:02d}.fits",
                cuadro(gen, lambda x, y: BIAS + CORRIENTE * 60.0), 60.0)
        escribe(f"{dir_}/flat_{i + 1:02d}.fits",
                cuadro(gen, lambda x, y: BIAS + 12000.0 * flat(x, y)), 1.0)
    escribe(f"{dir_}/truth.fits", [escena(x, y) for y in range(ALTO) for x in range(ANCHO)])
    for i in range(luces):
        dx, dy = (i * 3) % 5 - 2, (i * 2) % 3 - 1
        pix = cuadro(gen, lambda x, y: escena(x, y, dx, dy) * flat(x, y) + BIAS + CORRIENTE * 30)
        if i == 2:
            for x in range(ANCHO):
                y = (x * ALTO) // ANCHO
                pix[y * ANCHO + x] += 3000.0
            for x, y in ((10, 40), (60, 20), (85, 55)):
                pix[y * ANCHO + x] = 30000.0
        nombre = f"{dir_}/light_{i + 1:02d}.fits"
        escribe(nombre, pix, 30.0, f"2026-03-0{1 + i // 4}T22:{10 + i:02d}:00")
        with open(nombre + ".dat", "w") as f:
            f.write(f"ORVA DATOS\nPDESPREF=1 {50 + dx} {30 + dy}\n")


if __name__ == "__main__":
    main()
