// Fuzz target: one macro line run on a small image, with the eight slots.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/Imagen.h"
#include "core/JError.h"
#include "macro/Macro.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
  // Lines are read up to 1023 characters; newlines split the input into a few lines run in turn.
  orva::Imagen imagen;
  imagen.CambiaPixeles(7, 5, {1, 2, 3, 4,     5,      6, 7, -1, -2, -3, -4, -5, -6, -7, 0, 0, 0, 0,
                              0, 0, 0, 32767, -32768, 9, 9, 9,  9,  9,  1,  1,  1,  1,  1, 1, 1});
  imagen.Actualiza();
  orva::Ranuras ranuras(imagen);
  std::string_view resto(reinterpret_cast<const char*>(datos), n > 4096 ? 4096 : n);
  int actual = 1;
  for (int i = 0; i < 8 && !resto.empty(); ++i) {
    const size_t fin = resto.find('\n');
    std::string_view linea = resto.substr(0, fin);
    resto = fin == std::string_view::npos ? std::string_view{} : resto.substr(fin + 1);
    if (linea.size() > 1023) linea = linea.substr(0, 1023);
    try {
      const int r = orva::EjecutaLinea(ranuras, linea, actual);
      if (r < 0 || r > 8) __builtin_trap();
      if (r != 0) actual = r;
    } catch (const orva::JError&) {
    }
    if (ranuras.En(actual) == nullptr) __builtin_trap();
  }
  return 0;
}
