// TIFF images through libtiff: reader, header reader, writer and the magic-byte check.
#pragma once

#include <string>

namespace orva {

class ImagenObservacion;

// Whether the file begins with a TIFF or BigTIFF signature ("II*\0", "MM\0*", "II+\0", "MM\0+").
bool EsTiff(const std::string& archivo);

// Reads the first image of the file: one sample per pixel, in strips. 8-bit values are kept
// (0..255), signed 16-bit values as they are, unsigned 16-bit values limited to 32767; a
// white-is-zero image is turned to black-is-zero. An 8-bit palette image becomes a palette image
// (esPaleta 1, the colour map in its palette). Other layouts (colour, tiles, floats) raise
// 11163. The date (DateTime), object name (ImageDescription) and observer (Artist) are read.
void LeeTiff(const std::string& archivo, ImagenObservacion& imagen);
// Sizes and metadata only, after the type check by detection (11019); the pixels are allocated
// but not read.
void LeeCabeceraTiff(const std::string& archivo, ImagenObservacion& imagen);
// Writes signed 16-bit gray (a palette image as 8-bit palette) with deflate compression,
// through a temporary file renamed over the target.
void GuardaTiff(const std::string& archivo, ImagenObservacion& imagen);

}  // namespace orva
