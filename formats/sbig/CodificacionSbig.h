// The SBIG "Type 3" file in memory: its 2048-byte text header ("Parameter = Value" lines after
// the camera line, closed by "End") and the row coding of its compressed variety. No file
// access here, so both can be checked on any bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace orva {

// Bytes of the text header; the pixels start right after it.
inline constexpr size_t kLargoCabeceraSbig = 2048;
// Largest width and height accepted: a compressed row's length word must hold width * 2.
inline constexpr long kLadoMaximoSbig = 32767;
// The camera named when there is none to name.
inline constexpr const char* kCamaraSbig = "ST-7";

struct CabeceraSbig {
  std::string camara;       // "ST-7": the first line before "Image" / "Compressed Image"
  bool comprimida = false;  // the compressed variety
  long ancho = 0;
  long alto = 0;
  // Every "Parameter = Value" line in file order, names and values without surrounding blanks.
  std::vector<std::pair<std::string, std::string>> parametros;

  // The value of a parameter, names compared without case; nullptr when absent.
  const std::string* Valor(std::string_view nombre) const;
};

// Reads the header from its bytes (the first kLargoCabeceraSbig of the file, or fewer). Lines
// end at LF or CR in any combination. Raises 12330 (file, first line) when the first line is not
// "<camera> Image" or "<camera> Compressed Image", 12331 (file, name) when "End", "Width" or
// "Height" is missing, and 11143 when the width or height is not a whole number in
// 1..kLadoMaximoSbig.
CabeceraSbig AnalizaCabeceraSbig(std::string_view bytes, const std::string& archivo);

// The kLargoCabeceraSbig bytes of a header: the camera line, the parameters in order and "End",
// lines ended by LF CR as the format's documentation shows them, then zeros. Control characters
// in names and values become blanks. Parameters that do not fit are left out, except the first
// Width and Height, which the header always holds (a camera name too long to leave room for
// them becomes kCamaraSbig). What AnalizaCabeceraSbig gives, written again, reads back with the
// same sizes and variety.
std::string ComponeCabeceraSbig(const CabeceraSbig& c);

// Decodes one row of the compressed variety from the start of datos: a little-endian length
// word, then that many bytes: either width little-endian words (a row stored as it is, length
// width * 2) or the first value in full followed, per pixel, by a signed byte difference to the
// previous value (-127..127) or the escape byte 0x80 and the value in full. Returns the bytes
// used, length word included. Raises 12332 (file, row number from 1) when the length runs past
// datos or the coded values run past the length or leave part of it unused.
size_t DescomprimeFilaSbig(std::span<const uint8_t> datos, std::span<uint16_t> fila,
                           const std::string& archivo, long numFila);

// The inverse: appends the length word and the coded row, stored as it is when coding would
// not make it shorter. The row must have 1..kLadoMaximoSbig values.
void ComprimeFilaSbig(std::span<const uint16_t> fila, std::vector<uint8_t>& salida);

}  // namespace orva
