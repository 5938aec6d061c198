// Helpers shared by the image operations.
#include "processing/Comun.h"

#include <charconv>
#include <new>
#include <string>

#include "base/JError.h"
#include "base/Memoria.h"
#include "core/Imagen.h"

namespace orva {

std::vector<int16_t> NuevoBufferSalida(size_t n) {
  CompruebaMemoria(BytesDe(n, sizeof(int16_t)));
  try {
    return std::vector<int16_t>(n);
  } catch (const std::bad_alloc&) {
    throw JError(10100, std::to_string(BytesDe(n, sizeof(int16_t))));  // 10100
  }
}

std::string TextoReal(double v) {
  char texto[32];
  const auto r = std::to_chars(texto, texto + sizeof texto, v);
  return std::string(texto, r.ptr);
}

}  // namespace orva
