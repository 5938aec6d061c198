// Samples of the planetary archive formats: how a stored sample is laid out, its decoding to a
// real value, and the fitting of a block of values into an image's 16-bit pixels.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "core/Cabecera.h"

namespace orva {

class Archivo;
class ImagenObservacion;

struct FormatoMuestra {
  enum Clase { kSinSigno, kConSigno, kIeee, kVax };
  Clase clase = kSinSigno;
  int bytes = 1;              // 1, 2, 4 or 8
  bool mayorPrimero = false;  // most significant byte first (integers and IEEE reals)
};

// The value of one sample stored at p (FormatoMuestra::bytes bytes).
double DecodificaMuestra(const unsigned char* p, const FormatoMuestra& f);

// Puts ancho x alto values (row after row) into the image, as FITS data are read: whole values
// within -32768..32767 are stored as they are; other whole values within a 16-bit span are
// shifted by a whole offset (32768 for unsigned 16-bit samples); any other values are mapped
// linearly onto the gray range (VALORMIN..VALORMAX). The image's value mapping gives back the
// values, and `fisico` (the file's own scaling of its samples) is composed with it. Values that
// are not finite become the out-of-image value. bits: the source file's sample bits for the
// image's record (8, 16, 32, or -32 for reals).
void ValoresAImagen(const std::vector<double>& valores, uint32_t ancho, uint32_t alto, int bits,
                    const MapeoValores& fisico, ImagenObservacion& imagen);

// A block of n values; 10100 when it cannot be had.
std::vector<double> BloqueValores(uint64_t n);

// Reads alto rows of ancho samples: row y starts at byte primera + y * pasoFila, its samples
// pasoMuestra bytes apart. The image is polled for a cancel (11011); a short file raises 10126.
std::vector<double> LeeMuestras(Archivo& f, ImagenObservacion& imagen, uint64_t primera,
                                uint64_t pasoFila, uint64_t ancho, uint64_t alto,
                                uint64_t pasoMuestra, const FormatoMuestra& formato);

// The byte count ancho x alto samples need, refused (10100) beyond what a 16-bit image block
// of that size may take.
void CompruebaMedidas(uint64_t ancho, uint64_t alto);

}  // namespace orva
