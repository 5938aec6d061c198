// A synthetic planet: the disc of a geometry rendered with Minnaert limb darkening, latitude
// bands and dark round spots, for tests and examples.
#pragma once

#include <vector>

#include "planetary/Disco.h"

namespace orva {

class ImagenPixeles;

struct ManchaSintetica {
  double lon = 0.0, lat = 0.0;  // planetographic, deg
  double radio = 2.0;           // angular radius on the sphere, deg
  double contraste = 0.5;       // fraction of the light taken away
};

struct DiscoSintetico {
  GeometriaDisco geometria;
  int ancho = 256, alto = 256;
  double fondo = 100.0;
  double brillo = 20000.0;  // at the sub-Earth point, before darkening
  double k = 0.8;           // Minnaert exponent
  bool bandas = false;      // alternate brighter and darker zones
  std::vector<ManchaSintetica> manchas;
  int submuestras = 4;  // per pixel side
};

// Fills im (pixels only) with the rendered disc.
void RenderizaDisco(const DiscoSintetico& d, ImagenPixeles& im);

}  // namespace orva
