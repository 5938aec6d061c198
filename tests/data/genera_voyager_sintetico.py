#!/usr/bin/python3
"""Writes voyager_sintetico.fits: a synthetic Voyager narrow-angle frame for the README pictures.

800 x 800, BITPIX 16; sky 40; a limb-darkened disc of radius 230 px at (430.3, 381.7); the 202
reseau marks of the Voyager 1 narrow-angle camera's table (spacecraft/reseau/VGR1_NA.txt) drawn
as dark Gaussian spots (sigma 1.2 px, depth 90) at their nominal places moved as a vidicon would
move them: a shift of (2.5, -1.5) px and a smooth term growing towards the corners. The label
items that name the camera go in as COMMENT cards, as the PDS reader keeps them.
"""
import math
import os
import struct

W = H = 800
CX, CY, R = 430.3, 381.7, 230.0
SIGMA, PROFUNDIDAD = 1.2, 90.0
TABLA = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "spacecraft",
                     "reseau", "VGR1_NA.txt")


def marcas():
    """Nominal (x, y) of each mark, 0-based pixels, from the table's 1-based line and sample."""
    m = []
    with open(TABLA) as f:
        for linea in f:
            partes = linea.split("#")[0].split()
            if len(partes) == 5 and partes[0].isdigit():
                m.append((float(partes[2]) - 1, float(partes[1]) - 1))
    return m


def distorsion(x, y):
    u, v = (x - 400) / 400, (y - 400) / 400
    return x + 2.5 + 1.2 * u * v, y - 1.5 + 0.9 * u * u


def disco(x, y):
    r = math.hypot(x - CX, y - CY) / R
    if r >= 1:
        return 40.0
    return 40.0 + 180.0 * (1 - 0.5 * (1 - math.sqrt(1 - r * r)))


img = [[disco(i, j) for i in range(W)] for j in range(H)]
for xn, yn in marcas():
    x, y = distorsion(xn, yn)
    for j in range(max(0, int(y) - 6), min(H, int(y) + 7)):
        for i in range(max(0, int(x) - 6), min(W, int(x) + 7)):
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
    "COMMENT SPACECRAFT_NAME = VOYAGER_1",
    "COMMENT INSTRUMENT_NAME = \"NARROW ANGLE CAMERA\"",
    "COMMENT TARGET_NAME = JUPITER",
    "END",
])
cabecera += b" " * (-len(cabecera) % 2880)
datos = bytearray()
for j in range(H):
    for i in range(W):
        datos += struct.pack(">h", max(-32768, min(32767, int(round(img[j][i])))))
datos += b"\0" * (-len(datos) % 2880)
with open("voyager_sintetico.fits", "wb") as f:
    f.write(cabecera + bytes(datos))
