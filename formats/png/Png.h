// PNG output of rendered images (8-bit RGB, no interlace), written with zlib.
#pragma once

#include <string>

#include "core/Visualizacion.h"

namespace orva {

// Writes the bitmap as a PNG file through a temporary file renamed when complete.
void GuardaPng(const std::string& archivo, const MapaRGB& mapa);

}  // namespace orva
