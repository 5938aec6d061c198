#!/usr/bin/python3
"""Writes voyager_sintetico.fits: a synthetic Voyager-like frame for the README picture.

400 x 400, BITPIX 16; sky 40; a limb-darkened disc of radius 110 px at (215.3, 190.7); the
9 x 9 regular reseau grid model of ORVA (margin 8 % of the frame) drawn as dark Gaussian spots
(sigma 1.2 px, depth 90) through a known distortion: a shift of (2.5, -1.5) px and a barrel
term 1.8e-7 r^3 from the frame's centre, as the vidicon would show it.
"""
import math
import struct

W = H = 400
N = 9
MARGEN = 0.08
CX, CY, R = 215.3, 190.7, 110.0
SIGMA, PROFUNDIDAD = 1.2, 90.0


def distorsion(x, y):
    c = (W - 1) / 2.0
    dx, dy = x - c, y - c
    r2 = dx * dx + dy * dy
    return x + 2.5 + 1.8e-7 * dx * r2, y - 1.5 + 1.8e-7 * dy * r2


def disco(x, y):
    r = math.hypot(x - CX, y - CY) / R
    if r >= 1:
        return 40.0
    return 40.0 + 180.0 * (1 - 0.5 * (1 - math.sqrt(1 - r * r)))


img = [[disco(i, j) for i in range(W)] for j in range(H)]
mx, my = MARGEN * W, MARGEN * H
px, py = (W - 1 - 2 * mx) / (N - 1), (H - 1 - 2 * my) / (N - 1)
for f in range(N):
    for c in range(N):
        x, y = distorsion(mx + c * px, my + f * py)
        for j in range(int(y) - 6, int(y) + 7):
            for i in range(int(x) - 6, int(x) + 7):
                d2 = (i - x) ** 2 + (j - y) ** 2
                img[j][i] -= PROFUNDIDAD * math.exp(-0.5 * d2 / (SIGMA * SIGMA))


def tarjeta(texto):
    return texto.ljust(80).encode("ascii")


cabecera = b"".join(tarjeta(t) for t in [
    "SIMPLE  =                    T",
    "BITPIX  =                   16",
    "NAXIS   =                    2",
    "NAXIS1  =                  %d" % W,
    "NAXIS2  =                  %d" % H,
    "OBJECT  = 'VOYAGER SINTETICO'",
    "END",
])
cabecera += b" " * (-len(cabecera) % 2880)
datos = bytearray()
for j in range(H):
    for i in range(W):
        datos += struct.pack(">h", int(round(img[j][i])))
datos += b"\0" * (-len(datos) % 2880)
with open("voyager_sintetico.fits", "wb") as f:
    f.write(cabecera + bytes(datos))
