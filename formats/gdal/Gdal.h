// Rasters read through GDAL, and the two archive types read through it: PDS4 (an XML label
// beside its data) and ISIS3 cubes. Only the drivers these need are registered, once.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Cabecera.h"
#include "formats/pds/EtiquetaOdl.h"

namespace orva {

class ImagenObservacion;

struct BandaGdal {
  uint32_t ancho = 0, alto = 0;
  std::vector<double> valores;  // row after row; the band's no-data value becomes NaN
  MapeoValores fisico;          // the band's offset and scale
  int bits = 16;                // 8, 16, 32, or -32 for reals
  bool sinSigno = false;        // unsigned whole samples
};

// Registers the PDS, VICAR, PDS4 and ISIS3 drivers (once, from any thread) and has GDAL's caches
// freed at exit.
void RegistraGdal();

// Band 1 of a file opened with the named driver only ("PDS", "VICAR", "PDS4", "ISIS3").
// imagen, when given, is polled for a cancel (11011). Raises 12347 with GDAL's message when the
// file cannot be opened or read, 10100 for sizes beyond an image's.
BandaGdal LeeBandaGdal(const std::string& archivo, const char* driver,
                       ImagenObservacion* imagen = nullptr);

// PDS4: the XML label's elements go to the header pane (one line per element that holds text)
// and its target, observing system, start time and exposure to the image's data.
void LeePds4(const std::string& archivo, ImagenObservacion& imagen);
void LeeCabeceraPds4(const std::string& archivo, ImagenObservacion& imagen);
// ISIS3: the cube's label (the text before its data) to the header pane and the data, the
// first band's pixels; ISIS's special pixels (null, low and high saturation, low and high
// instrument saturation) become the out-of-image value.
void LeeIsis(const std::string& archivo, ImagenObservacion& imagen);
void LeeCabeceraIsis(const std::string& archivo, ImagenObservacion& imagen);

// The elements of an XML text that hold text, as label items: key the element's name, object
// its parent's name (upper case), level its depth. Comments, declarations and attributes are
// left out. Reading never fails: broken markup ends the list.
std::vector<ElementoOdl> ElementosXml(const std::string& texto);

}  // namespace orva
