#!/usr/bin/python3
"""Prints the reference table of tests/astro/PlanetasTest.cpp.

50 instants from 1950 to 2050 (fixed, spread with a golden-ratio step), one planet each in
turn. For every row: the UT Julian day, PyEphem's TT - UT (ephem.delta_t) so that both sides
use the same TT, astropy's apparent geocentric RA/Dec (get_body with the builtin ephemeris,
GCRS -> TETE, true equator and equinox of date) and distance, the IAU equatorial diameter
seen at that distance, and, for every instant, PyEphem's central meridians of Jupiter in
Systems I and II and its illuminated fraction, PyEphem's tilt of Saturn's rings toward the
Earth, and Jupiter's central meridians in Systems I and II by the IAU definition
(W = 67.1 + 877.900 d, W = 43.3 + 870.270 d, the IAU 2015 pole), evaluated here with numpy
on astropy's barycentric positions with light time. PyEphem's meridians follow an older
approximate method referred to the equinox of date; they drift from the IAU systems by about
0.01 degree a year (0.3 degree in 1950, 1.4 degrees in 2050).
Run: /usr/bin/python3 scripts/efemerides_referencia.py > table.txt
"""
import math
import warnings

import ephem
import numpy as np
from astropy import units as u
from astropy.coordinates import TETE, get_body, get_body_barycentric, solar_system_ephemeris
from astropy.time import Time
from astropy.utils import iers

iers.conf.auto_download = False
warnings.simplefilter("ignore")

PLANETAS = ["mars", "jupiter", "saturn", "uranus", "neptune"]
NOMBRES = ["kMarte", "kJupiter", "kSaturno", "kUrano", "kNeptuno"]
RADIO_ECUATORIAL_KM = [3396.19, 71492.0, 60268.0, 25559.0, 24764.0]  # IAU 2015
KM_UA = 149597870.7
DJ_1950 = 2433282.5
DJ_2050 = 2469807.5
DJ_EPHEM = 2415020.0  # ephem dates count days from 1899 Dec 31 12h

AU_DIAS_LUZ = 499.004783836 / 86400.0
J2000 = 2451545.0
# Jupiter's pole (IAU 2015): alpha0, delta0 linear parts and the periodic terms
# (phase, rate per century, sin amplitude in alpha0, cos amplitude in delta0).
POLO_JUPITER = (268.056595, -0.006499, 64.495303, 0.002413)
TERMINOS_JUPITER = [(99.360714, 4850.4046, 0.000117, 0.000050),
                    (175.895369, 1191.9605, 0.000938, 0.000404),
                    (300.323162, 262.5475, 0.001432, 0.000617),
                    (114.012305, 6070.2476, 0.000030, -0.000013),
                    (49.511251, 64.3000, 0.002150, 0.000926)]
SISTEMAS_JUPITER = [(67.1, 877.900), (43.3, 870.270)]


def meridianos_iau(t):
    """Jupiter's System I and II central meridians (west longitudes, degrees) at TT t."""
    tierra = get_body_barycentric("earth", t).xyz.to(u.au).value
    tau = 0.0
    for _ in range(4):
        jup = get_body_barycentric("jupiter", t - tau * u.day).xyz.to(u.au).value
        tau = np.linalg.norm(jup - tierra) * AU_DIAS_LUZ
    d = t.tt.jd - tau - J2000
    siglos = d / 36525.0
    a0 = POLO_JUPITER[0] + POLO_JUPITER[1] * siglos
    d0 = POLO_JUPITER[2] + POLO_JUPITER[3] * siglos
    for fase, tasa, sa, cd in TERMINOS_JUPITER:
        ang = math.radians(fase + tasa * siglos)
        a0 += sa * math.sin(ang)
        d0 += cd * math.cos(ang)
    a0, d0 = math.radians(a0), math.radians(d0)
    polo = np.array([math.cos(d0) * math.cos(a0), math.cos(d0) * math.sin(a0), math.sin(d0)])
    nodo = np.array([-math.sin(a0), math.cos(a0), 0.0])  # ascending node of the equator
    y = np.cross(polo, nodo)
    v = tierra - jup
    desde_nodo = math.degrees(math.atan2(v @ y, v @ nodo))
    return [(w0 + wd * d - desde_nodo) % 360.0 for w0, wd in SISTEMAS_JUPITER]


solar_system_ephemeris.set("builtin")
paso = (math.sqrt(5.0) - 1.0) / 2.0
for i in range(50):
    frac = (0.5 + i * paso) % 1.0
    dj = round(DJ_1950 + frac * (DJ_2050 - DJ_1950), 4)
    fecha = ephem.Date(dj - DJ_EPHEM)
    dt = ephem.delta_t(fecha)
    t = Time(dj + dt / 86400.0, format="jd", scale="tt")
    k = i % 5
    c = get_body(PLANETAS[k], t).transform_to(TETE(obstime=t))
    dist = c.distance.to(u.au).value
    diam = 2.0 * math.degrees(math.asin(RADIO_ECUATORIAL_KM[k] / (dist * KM_UA))) * 3600.0
    j = ephem.Jupiter()
    j.compute(fecha, epoch=fecha)
    s = ephem.Saturn()
    s.compute(fecha, epoch=fecha)
    mc1, mc2 = meridianos_iau(t)
    print("    {%.4f, %.3f, Planeta::%s, %.7f, %.7f, %.8f, %.4f, %.4f, %.4f, %.5f, %.4f, %.4f, %.4f},"
          % (dj, dt, NOMBRES[k], c.ra.deg, c.dec.deg, dist, diam,
             math.degrees(j.cmlI), math.degrees(j.cmlII), j.phase / 100.0,
             math.degrees(s.earth_tilt), mc1, mc2))
