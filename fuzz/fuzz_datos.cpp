// Fuzz target: the side data file reader on any text, and the written text read back.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "core/Imagen.h"
#include "formats/DatosOrva.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
  orva::Imagen imagen;
  const std::string_view texto(reinterpret_cast<const char*>(datos), n);
  orva::AplicaDatosOrva(imagen, texto);
  // What the writer makes of the result must read back to the same text.
  const std::string escrito = orva::TextoDatosOrva(imagen);
  orva::Imagen otra;
  if (!orva::AplicaDatosOrva(otra, escrito)) __builtin_trap();
  if (orva::TextoDatosOrva(otra) != escrito) __builtin_trap();
  return 0;
}
