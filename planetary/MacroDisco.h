// The macro words of the planet's disc: the planisphere and the polar projection of the image
// of the current slot, which the result replaces.
#pragma once

#include <string>

#include "planetary/Disco.h"

namespace orva {

// PLANISFERIO cx cy radio achatamiento polo latTierra mc resolucion [k]
// PROYPOLAR cx cy radio achatamiento polo latTierra mc NORTE|SUR|ENORTE|ESUR lado [k]
// (ENORTE, ESUR: stereographic; lado 0: the disc's diameter; k: the Minnaert exponent). The
// angles are as the image is shown (a FITS image with its first row at the bottom).
void EnlazaDiscoMacro();

// The lines that record those operations.
std::string LineaPlanisferio(const GeometriaDisco& g, const OpcionesMapa& op);
std::string LineaProyeccionPolar(const GeometriaDisco& g, const OpcionesMapa& op);

}  // namespace orva
