#!/usr/bin/env python3
"""Writes the small hostile FITS files of tests/data (hostil_*.fits): headers that lie about
their sizes, data ORVA cannot keep, data with no defined value, a header without END.
Run from any folder: python3 tests/data/genera_fits_hostiles.py"""
import os
import struct

BLOQUE = 2880
AQUI = os.path.dirname(os.path.abspath(__file__))


def tarjeta(clave, valor=None):
    if valor is None:
        return clave.ljust(80)
    return (clave.ljust(8) + '= ' + str(valor).rjust(20)).ljust(80)


def cabecera(tarjetas, con_end=True):
    texto = ''.join(tarjetas) + (tarjeta('END') if con_end else '')
    texto += ' ' * (-len(texto) % BLOQUE)
    return texto.encode('ascii')


def rellena(datos):
    return datos + b'\0' * (-len(datos) % BLOQUE)


def simple(bitpix, ejes):
    t = [tarjeta('SIMPLE', 'T'), tarjeta('BITPIX', bitpix), tarjeta('NAXIS', len(ejes))]
    t += [tarjeta('NAXIS%d' % (i + 1), n) for i, n in enumerate(ejes)]
    return t


def escribe(nombre, contenido):
    with open(os.path.join(AQUI, nombre), 'wb') as f:
        f.write(contenido)


# 2e9 x 2e9 16-bit pixels promised, none present.
escribe('hostil_naxis_enorme.fits', cabecera(simple(16, [2000000000, 2000000000])))
# A negative width.
escribe('hostil_naxis_negativo.fits', cabecera(simple(16, [-5, 10])) + rellena(b'\0' * 100))
# 100 x 100 16-bit pixels promised, one block of them present.
escribe('hostil_truncado.fits', cabecera(simple(16, [100, 100])) + b'\0' * BLOQUE)
# 64-bit integers.
escribe('hostil_bitpix64.fits',
        cabecera(simple(64, [4, 4])) + rellena(struct.pack('>16q', *range(16))))
# A cube of three planes.
escribe('hostil_cubo.fits',
        cabecera(simple(16, [8, 8, 3])) + rellena(struct.pack('>192h', *range(192))))
# Reals that are all NaN.
escribe('hostil_nan.fits',
        cabecera(simple(-32, [8, 8])) + rellena(struct.pack('>64f', *[float('nan')] * 64)))
# A header that never ends: the data follow the cards without an END card.
escribe('hostil_sin_end.fits',
        cabecera(simple(16, [8, 8]), con_end=False) + rellena(struct.pack('>64h', *range(64))))
