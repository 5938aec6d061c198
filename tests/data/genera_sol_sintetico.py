#!/usr/bin/python3
"""Writes sol_transito.fits: a synthetic Sun for the golden tests and the README picture.

256 x 256, BITPIX 16; sky 100; a disc of radius 100 px centred at (128.4, 127.6) (0-based pixel
centres, first row first) with the linear limb-darkening law I(mu) = 16000 (1 - 0.6 (1 - mu));
a faint corona 800 (r/R)^-12 outside it; Venus a dark disc of radius 6 px at (150.3, 100.8).
Pixels on an edge are averaged over 8 x 8 samples.
"""
import math
import struct

W = H = 256
CX, CY, R = 128.4, 127.6, 100.0
I0, U, CIELO, CORONA = 16000.0, 0.6, 100.0, 800.0
VX, VY, VR = 150.3, 100.8, 6.0
SUB = 8


def brillo(x, y):
    if math.hypot(x - VX, y - VY) < VR:
        return CIELO
    r = math.hypot(x - CX, y - CY) / R
    if r >= 1:
        return CIELO + CORONA * r ** -12
    mu = math.sqrt(1 - r * r)
    return CIELO + I0 * (1 - U * (1 - mu))


def pixel(i, j):
    borde = abs(math.hypot(i - CX, j - CY) - R) < 1 or abs(math.hypot(i - VX, j - VY) - VR) < 1
    if not borde:
        return brillo(i, j)
    s = 0.0
    for v in range(SUB):
        for t in range(SUB):
            s += brillo(i - 0.5 + (t + 0.5) / SUB, j - 0.5 + (v + 0.5) / SUB)
    return s / (SUB * SUB)


def tarjeta(texto):
    return texto.ljust(80).encode("ascii")


cabecera = b"".join(tarjeta(t) for t in [
    "SIMPLE  =                    T",
    "BITPIX  =                   16",
    "NAXIS   =                    2",
    "NAXIS1  =                  %d" % W,
    "NAXIS2  =                  %d" % H,
    "OBJECT  = 'SOL SINTETICO'",
    "END",
])
cabecera += b" " * (-len(cabecera) % 2880)
datos = bytearray()
for j in range(H):
    for i in range(W):
        datos += struct.pack(">h", int(round(pixel(i, j))))
datos += b"\0" * (-len(datos) % 2880)
with open("sol_transito.fits", "wb") as f:
    f.write(cabecera + bytes(datos))
