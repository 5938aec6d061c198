// Helpers shared by the image operations: safe truncation, saturation, the output blocks and the
// number text of recorded lines.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

namespace orva {

class ImagenPixeles;

// trunc(v) toward zero as a 64-bit integer; values beyond +-2^62 saturate and NaN gives 0, so a
// degenerate parameter never reaches an undefined conversion.
inline int64_t TruncaEntero(double v) {
  if (!(v == v)) return 0;
  constexpr double kLimite = 4611686018427387904.0;  // 2^62
  if (v >= kLimite) return int64_t{1} << 62;
  if (v <= -kLimite) return -(int64_t{1} << 62);
  return static_cast<int64_t>(v);
}

// Clamp to the signed 16-bit range.
inline int16_t Satura16(int64_t v) {
  return static_cast<int16_t>(v < -32768 ? -32768 : v > 32767 ? 32767 : v);
}

// A new output block of n pixels for one operation (10100 when it would not fit in the memory
// available). The operation fills it and swaps it with the image's block on success, so a cancel
// or an error leaves the image as it was.
std::vector<int16_t> NuevoBufferSalida(size_t n);

// Puts an operation's block into the image as its ancho x alto pixels, and keeps the image's old
// block for the next NuevoBufferSalida: on a large frame a fresh block costs more in page faults
// than many operations themselves. One block is kept, zeroed before it is handed out again, so
// nothing passes from one call to the next.
void EntregaSalida(ImagenPixeles& im, uint32_t ancho, uint32_t alto, std::vector<int16_t>&& bloque);

// A real number as the shortest text that reads back to the same value ("2", "-0.5").
std::string TextoReal(double v);

}  // namespace orva
