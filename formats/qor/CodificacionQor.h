// The pixel-block codings of QOR files: the DIFF8 byte-difference stream and zlib deflate.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace orva {

// Most bytes the DIFF8 stream of n pixels can take: 2 for the first, 3 for each escaped one.
inline size_t MaximoDiff8(size_t n) {
  return n == 0 ? 0 : 3 * n;
}

// Codes n pixels into destino (room for MaximoDiff8(n) bytes): the first pixel in 2 bytes (low
// byte first), then each pixel's difference from the one before, taken in 16 bits with
// wrap-around, in one signed byte when it lies in -126..126, else the escape byte 0x80 and the
// pixel's own 2 bytes. Returns the length written.
size_t CodificaDiff8(const int16_t* pixeles, size_t n, uint8_t* destino);

// Decodes a DIFF8 stream into exactly n pixels. Returns false when the stream ends before n
// pixels or an escape byte lacks its 2 bytes (bytes after the n-th pixel are ignored).
bool DecodificaDiff8(const uint8_t* datos, size_t longitud, int16_t* pixeles, size_t n);

// The most bytes ComprimeDeflate can produce for n input bytes.
size_t MaximoDeflate(size_t n);

// One zlib stream of the input, level 9, window bits 10, memory level 9, Z_FILTERED. Returns the
// compressed length; raises JError 11142 with the zlib status when deflate does not finish
// (Z_BUF_ERROR for a destination that is too small).
size_t ComprimeDeflate(uint8_t* destino, size_t capacidad, const uint8_t* fuente, size_t n);

// Inflates one zlib stream into destino; returns the inflated length, or -1 when the stream is
// damaged, truncated or inflates to more than capacidad bytes.
long long DescomprimeDeflate(uint8_t* destino, size_t capacidad, const uint8_t* fuente, size_t n);

}  // namespace orva
