// Time and air mass of an exposure: mid-exposure Julian and heliocentric Julian days, the
// object's altitude at the site at that instant, and its air mass.
#pragma once

#include <cstdint>

#include "astro/Angulos.h"
#include "astro/Tiempo.h"

namespace orva {

// Equatorial coordinates in radians.
struct Ecuatoriales {
  double ar = 0.0;
  double dec = 0.0;
};

// Julian day of an equinox year: Besselian before 1984 (1950 is B1950.0), Julian from then on
// (2000 is J2000.0).
double DiaJulianoEquinoccio(int32_t anio);

// Coordinates referred to the mean equinox of djDesde carried to that of djHasta (IAU 1976
// precession angles, good to well under an arcsecond over a few centuries).
Ecuatoriales Precesa(const Ecuatoriales& c, double djDesde, double djHasta);

// The Julian day (UT) of the middle of an exposure starting at inicio and lasting tiempoExp
// seconds. An exposure time that is negative or not finite raises 12391.
double DiaJulianoMedio(const FechaHora& inicio, double tiempoExp);

// Air-mass formulas of the zenith distance: Hardie's polynomial in sec z - 1 (good to the
// horizon's last few degrees) and Pickering's interpolation (meant for low altitudes).
enum class FormulaMasaAire { kHardie, kPickering };

// Air mass of an altitude in radians; an altitude at or below the horizon raises 12390.
double MasaAire(double altura, FormulaMasaAire formula = FormulaMasaAire::kHardie);

// What one exposure gives: mid-exposure Julian and heliocentric Julian days, the object's
// altitude in radians above the site's horizon (no refraction) and its air mass (NaN when the
// object is below the horizon).
struct Circunstancias {
  double diaJuliano = 0.0;
  double diaJulianoHelio = 0.0;
  double altura = 0.0;
  double masaAire = 0.0;
};

// The object at ar/dec of the equinox 'epoca' seen at the site (longitude positive west) in the
// middle of the exposure. The coordinates are precessed to the date for the altitude; raises
// as DiaJulianoMedio.
Circunstancias CalculaCircunstancias(const FechaHora& inicio, double tiempoExp,
                                     const AscensionRecta& ar, const Declinacion& dec,
                                     int32_t epoca, const Longitud& lon, const Latitud& lat,
                                     FormulaMasaAire formula = FormulaMasaAire::kHardie);

// The heliocentric Julian day of Julian day dj for the object at ar/dec of the equinox epoca.
double DiaJulianoHelioEpoca(double dj, const AscensionRecta& ar, const Declinacion& dec,
                            int32_t epoca);

}  // namespace orva
