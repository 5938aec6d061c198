// Positional astronomy of an observation: hour angle, horizon coordinates, heliocentric Julian
// day and the block of observing-circumstance lines of a variable-star image.
#pragma once

#include <string>
#include <vector>

#include "astro/Angulos.h"
#include "astro/Tiempo.h"

namespace orva {

// Hour angle in radians, not reduced: sidereal time - longitude - right ascension. Longitudes
// count positive toward the west, so an observatory east of Greenwich has a negative one.
double AnguloHorario(const FechaHora& fh, const AscensionRecta& ar, const Longitud& lon);

// Horizon coordinates in radians of hour angle h, latitude phi and declination delta. The
// azimuth counts from the south toward the west, in (-pi, pi].
struct Horizontales {
  double azimut;
  double altura;
  double distanciaCenital;
};
Horizontales CoordenadasHorizontales(double h, double phi, double delta);

struct AzimutAltura {
  Angulo azimut;
  Angulo altura;
};
struct AzimutDistanciaCenital {
  Angulo azimut;
  Angulo distanciaCenital;
};
AzimutAltura CalculaAzimutAltura(const AscensionRecta& ar, const Declinacion& dec,
                                 const Longitud& lon, const Latitud& lat, const FechaHora& fh);
AzimutDistanciaCenital CalculaAzimutDistanciaCenital(const AscensionRecta& ar,
                                                     const Declinacion& dec, const Longitud& lon,
                                                     const Latitud& lat, const FechaHora& fh);

// Julian day corrected for the light time between the Earth and the Sun along the direction of
// the object (ra, dec in radians). The low-precision solar series refers the Sun to the mean
// equinox of 1950.0; the result is good to about 1e-5 day.
double DiaJulianoHeliocentrico(double dj, double ar, double dec);
double DiaJulianoHeliocentrico(const FechaHora& fh, const AscensionRecta& ar,
                               const Declinacion& dec);

// Hour angle reduced by whole turns to [-12h, 12h) and written in the hours format, with a
// leading '-' east of the meridian (before the transit): "-02h30m00s.000".
std::string TextoAnguloHorario(double h);

// The observing-circumstance lines of a variable-star image, in order: Julian day, sidereal
// time, the date and time of the observation (labelled "Fecha y hora:"), azimuth, hour angle
// (as TextoAnguloHorario), altitude, zenith distance and the heliocentric Julian day djh.
std::vector<std::string> LineasCircunstancias(const FechaHora& fh, const AscensionRecta& ar,
                                              const Declinacion& dec, const Longitud& lon,
                                              const Latitud& lat, double djh);

}  // namespace orva
