// GIF images through giflib: the palette image of the system; reader, header reader, writer and
// the magic-byte check.
#pragma once

#include <string>

namespace orva {

class ImagenObservacion;

// Whether the file begins with "GIF".
bool EsGif(const std::string& archivo);

// Reads the first frame, after the type check by detection (11019): pixels are the colour indices
// 0..255, the image is a palette image (esPaleta 1) with the frame's colour map (else the global
// one) as palette, no gray statistics.
void LeeGif(const std::string& archivo, ImagenObservacion& imagen);
// Sizes and palette only, after the type check by detection (11019); the pixels are allocated
// but not read.
void LeeCabeceraGif(const std::string& archivo, ImagenObservacion& imagen);
// Writes one frame through a temporary file renamed over the target. A palette image keeps its
// indices (limited to 0..255) and palette; a gray image is mapped linearly from its minimum
// (index 0) to its maximum (index 255) with a gray ramp as palette.
void GuardaGif(const std::string& archivo, ImagenObservacion& imagen);

}  // namespace orva
