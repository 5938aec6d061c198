// FITS images through cfitsio: reader (plain and tile-compressed), header reader, writer, the
// magic-byte check, the type's settings and the one helper that turns cfitsio statuses into
// JError.
#pragma once

#include <string>

namespace orva {

class ImagenObservacion;

// The settings section of the FITS type and its keys.
inline constexpr const char* kSeccionFits = "TipoArch_FITS";

// How FITS data become 16-bit pixels and how files are written (settings of kSeccionFits):
// - LEERPRIM "1" (default): the primary array, or the first image extension when the primary
//   holds no image (tile-compressed files); "0": the first image extension, the primary array
//   only when the file has none.
// - LEEVALUNSIG, for unsigned 16-bit data (BITPIX 16, BZERO 32768, BSCALE 1): "1" (default)
//   halves the values (0..65535 -> 0..32767, truncated), "2" subtracts 32768 (the stored words,
//   lossless), "0" treats them like any data that do not fit (below).
// - FITSVALMIN, FITSVALMAX: for data that do not fit the 16-bit range (BITPIX 32, -32, -64,
//   scaled data): when FITSVALMIN < FITSVALMAX the physical values of that interval are mapped
//   linearly onto the pixel range VALORMIN..VALORMAX (rounded to nearest, clamped outside);
//   otherwise (default "0" and "0") values that are all integers of -32768..32767 are kept as
//   they are, and any other data have their own minimum..maximum mapped onto the pixel range.
//   Undefined values (NaN, BLANK) become the out-of-image value.
// - COMPRIMIR: "" or "NO" (default) writes a plain FITS file; "RICE_1" or "GZIP_1" writes a
//   tile-compressed image in the first extension, row tiles, as fpack does. Another name is
//   refused (11164).
// - FILAUNOABAJO "1" (default): FITS images are displayed and rendered with their first row at
//   the bottom, as FITS viewers show them; "0": at the top, like other images. Only the display
//   turns: rows in memory, macros and arithmetic keep the file's order.
struct AjustesFits {
  bool leerPrimario = true;
  int leeValUnsig = 1;
  double valMin = 0.0;
  double valMax = 0.0;
  std::string comprimir;
  bool filaUnoAbajo = true;
};
// The current settings (an empty or missing value takes its default).
AjustesFits AjustesActualesFits();

// Whether the file begins with "SIMPLE", the first keyword of every FITS file.
bool EsFits(const std::string& archivo);

void LeeFits(const std::string& archivo, ImagenObservacion& imagen);
// Sizes and metadata only, after the type check by detection (11019); the pixels are allocated
// but not read.
void LeeCabeceraFits(const std::string& archivo, ImagenObservacion& imagen);
// Reading refuses BITPIX 64 and cubes with more than one plane (11163), data without a defined
// value (11165) and sizes the file cannot hold (10126, 11143) before allocating; the image
// changes only once every pixel is read. The image gets the value mapping of the reading (see
// MapeoValores), the fields the header gives (marked as holding a value) and the other header
// cards (Cabecera).
//
// Writes BITPIX 16 through a temporary file renamed over the target: BZERO/BSCALE from the
// mapping when it is not the identity, the fields that hold a value, then the kept cards (those
// with a key already written left out).
void GuardaFits(const std::string& archivo, ImagenObservacion& imagen);

// Whether the image is displayed with its first row at the bottom: a FITS image while
// FILAUNOABAJO is on.
bool MuestraFilaUnoAbajo(const ImagenObservacion& imagen);

// Settings hooks of the type: register the keys with their defaults (values come from the file
// when it holds them); the configuration writer stores them with every other setting.
void LeeConfigFits(const std::string& archivoConfig);
void GuardaConfigFits(const std::string& archivoConfig);

// Raises JError 11160 (file, status number, cfitsio's text) for a cfitsio status.
[[noreturn]] void ErrorFits(int estado, const std::string& archivo);

}  // namespace orva
