// Fuzz target: file-type detection on the first bytes, the length and the name's extension.
#include <cstddef>
#include <cstdint>
#include <string>

#include "formats/TiposArchivo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
  // The first byte picks the name (the extension matters for the 63007-byte types) and a length
  // that may differ from the bytes held, as a longer file's first 512 bytes would.
  static const char* kNombres[] = {"a.pa", "a.P1", "a.dat", "a", "a.PA.x"};
  if (n == 0) return 0;
  const std::string nombre = kNombres[datos[0] % 5];
  static const uint64_t kLongitudes[] = {0, 31872, 47520, 63007, 63367, 261120, 221696};
  const uint64_t longitud = datos[0] >= 128 ? kLongitudes[datos[0] % 7] : n - 1;
  const int tipo = orva::DetectaTipoArchivo(datos + 1, n - 1 > 512 ? 512 : n - 1, longitud, nombre);
  if (tipo < 0 || tipo > orva::kIsis) __builtin_trap();
  return 0;
}
