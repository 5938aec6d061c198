// The orientation of a planet's disc from its ephemeris: pole angle, sub-Earth point, central
// meridian, sub-Sun point and flattening for the image's date, time and observatory.
#pragma once

#include <optional>

#include "astro/Planetas.h"
#include "planetary/Disco.h"

namespace orva {

struct DatosImagen;

// Jupiter's longitude system used by default (System II: the temperate belts and zones).
inline constexpr int kSistemaJupiterDefecto = 2;

// Fills g's pole angle, sub-Earth latitude, central meridian, sub-Sun point and flattening from
// e; the centre, radius and row direction are left alone. The pole angle is the ephemeris's
// position angle, the disc taken as shown with north up and east to the left, so that it is
// counted counter-clockwise on the display whatever the row order. The central meridian is
// Jupiter's System sistemaJupiter (1, 2 or 3), System III for Saturn, the IAU longitude for the
// others. The disc counts west longitudes; Uranus, whose ephemeris counts east longitudes, is
// turned to them (360 - east longitude) so that the map's geometry stays right.
void OrientaConEfemeride(const Efemeride& e, int sistemaJupiter, GeometriaDisco& g);

// What the ephemeris of an image gave.
struct OrientacionImagen {
  Efemeride efemeride;
  bool topocentrica = false;
};

// The ephemeris orientation of a disc of object type tipo, from the image's data: nothing when
// the type is not a planet or the image has neither date nor time (the caller then needs the
// orientation given by hand). Raises the ephemeris's errors otherwise (12461 for a date without
// time, 12460 out of range).
std::optional<OrientacionImagen> OrientacionDeImagen(const DatosImagen& d, int tipo,
                                                     int sistemaJupiter, GeometriaDisco& g);

}  // namespace orva
