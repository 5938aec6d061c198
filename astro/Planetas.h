// Ephemerides of the outer planets for an instant and an optional observing site: apparent
// place, distance, disc size and shape, phase, pole angle, sub-observer and sub-solar points,
// central meridians and Saturn's ring tilt.
//
// Positions come from ERFA: eraPlan94 (heliocentric planets) and eraEpv00 (the Earth), with
// light time, light deflection by the Sun, annual (and diurnal, at a site) aberration and the
// IAU 2006/2000A precession-nutation to the true equator and equinox of date. eraPlan94 is an
// analytical theory; its documented maximum errors in heliocentric longitude between 1800 and
// 2050 are 17" (Mars), 71" (Jupiter), 81" (Saturn), 86" (Uranus) and 11" (Neptune), with larger
// errors outside that span (it is meant for 1000-3000). The reduction to apparent place adds
// under 0.1"; the planet's position, not the reduction, limits the result to about an arc
// minute. Orientation follows the IAU working group on cartographic coordinates and rotational
// elements (Planetas.cpp).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "astro/Tiempo.h"

namespace orva {

enum class Planeta { kMarte, kJupiter, kSaturno, kUrano, kNeptuno };

// The planet of an upper-case name: MARTE/MARS, JUPITER, SATURNO/SATURN, URANO/URANUS,
// NEPTUNO/NEPTUNE (any case). Nothing for any other name.
std::optional<Planeta> PlanetaDeNombre(const std::string& nombre);
// Spanish upper-case name ("JUPITER").
std::string NombrePlaneta(Planeta p);

// An observing site: longitude positive toward the west (as astro/Astronomia.h), geodetic
// latitude, both in radians, and height above the WGS84 ellipsoid in metres.
struct Sitio {
  double longitudOeste = 0.0;
  double latitud = 0.0;
  double altitud = 0.0;
};

// Orientation of a planet at a TDB Julian day (as the IAU working group gives it): the ICRF
// right ascension and declination of its north pole and the angle W of its prime meridian, in
// degrees (W reduced to [0, 360)). Jupiter has three prime meridians: sistema 1 and 2 give
// Systems I and II, 3 (and every other planet's only one) the IAU's System III.
struct OrientacionPlaneta {
  double alfa0;
  double delta0;
  double w;
};
OrientacionPlaneta Orientacion(Planeta p, double djTDB, int sistema = 3);

// IAU equatorial and polar radii, km.
struct RadiosPlaneta {
  double ecuatorial;
  double polar;
};
RadiosPlaneta Radios(Planeta p);

// TT - UT in seconds at a UT Julian day: 32.184 s + TAI - UTC from the leap-second table of
// ERFA from 1972 on, polynomial fits to the historical values before.
double DeltaT(double djUT);

struct Efemeride {
  Planeta planeta = Planeta::kJupiter;
  bool topocentrica = false;
  double djUT = 0.0;
  double deltaT = 0.0;     // s
  double ar = 0.0;         // apparent right ascension, true equinox of date, rad in [0, 2pi)
  double dec = 0.0;        // apparent declination, rad
  double distancia = 0.0;  // observer to planet at the emission time, au
  double tiempoLuz = 0.0;  // days
  double diametroEcuatorial = 0.0;  // apparent, arcsec
  double diametroPolar = 0.0;       // apparent (projected), arcsec
  double achatamiento = 0.0;        // (a - b) / a of the IAU radii
  double anguloFase = 0.0;          // degrees, Sun-planet-observer
  double fraccionIluminada = 0.0;   // 0..1
  double anguloPolo = 0.0;  // position angle of the north pole, degrees east of north, [0, 360)
  // Planetographic latitude of the sub-observer and sub-solar points, degrees.
  double latTierra = 0.0;
  double latSol = 0.0;
  // Their planetographic longitudes, degrees in [0, 360): west longitudes for the planets that
  // rotate forward, east longitudes for Uranus (whose rotation is retrograde), so that the
  // central meridian always grows with time. Index 0, 1, 2: Systems I, II, III; Jupiter fills
  // the three, every other planet only index 2 (System III of Saturn, the IAU longitude of Mars,
  // Uranus and Neptune).
  double lonTierra[3] = {0.0, 0.0, 0.0};
  double lonSol[3] = {0.0, 0.0, 0.0};
  bool conSistemasJupiter = false;
  // Saturn's ring-plane tilt toward the observer and toward the Sun (planetocentric latitudes
  // of observer and Sun), degrees; zero for the other planets.
  double anilloB = 0.0;
  double anilloBSol = 0.0;
};

// The ephemeris at a UT Julian day with TT - UT = deltaT seconds (UT1 taken as UT), geocentric
// when sitio is null. Raises JError 12460 for a day outside 1000-3000.
Efemeride CalculaEfemeride(Planeta p, double djUT, double deltaT, const Sitio* sitio);
// The same with DeltaT(djUT).
Efemeride CalculaEfemeride(Planeta p, const FechaHora& fh, const Sitio* sitio);

// The ephemeris as text lines "label:\t value", in the style of the observing-circumstance
// lines; the first says whether it is geocentric or for the site.
std::vector<std::string> LineasEfemeride(const Efemeride& e);

}  // namespace orva
