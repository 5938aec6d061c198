// LeeValores / GuardaValores: move a rectangular block of raw 8-, 12- or 16-bit pixels between an
// open file and an image, as the camera formats lay them out.
#pragma once

#include <cstdint>

namespace orva {

class Archivo;
class ImagenPixeles;

// Reads `alto` rows starting at byte `posicion`; each file row holds prefijo + ancho + sufijo
// pixels of `bits` bits (8, 12, 16, or -32 counted as 32 with nothing stored), and pixel x of
// file row y goes to (x, y) of the image, which must already have its sizes. orden: 1 most
// significant byte first (16 bits) or the packed little-endian pair (12 bits); conSigno: 16-bit
// values are two's complement, else unsigned values above 32767 are stored as 32767. The prefix
// counts bytes for 8 and 12 bits and pixels for 16 bits. Raises 11022 for other bit counts, 11011
// when the image's cancel request is set, 11012 for a store outside the image (an odd 12-bit
// width), and the file's errors (a short file: 10126).
void LeeValores(ImagenPixeles& imagen, Archivo& archivo, uint64_t posicion, int ancho, int alto,
                int bits, int prefijo, int sufijo, int orden, int conSigno);

// The inverse: prefix and suffix bytes written as zeros, positions outside the image written as
// the out-of-image value, 8 bits clamped to 0..255, 16 bits two's complement in the given byte
// order, 12 bits as the low 12 bits of each value in the layout LeeValores reads with the same
// orden. Raises 11023 for bit counts other than 8, 12, 16; 11011 when cancelled; file errors.
void GuardaValores(ImagenPixeles& imagen, Archivo& archivo, uint64_t posicion, int ancho, int alto,
                   int bits, int prefijo, int sufijo, int orden);

}  // namespace orva
