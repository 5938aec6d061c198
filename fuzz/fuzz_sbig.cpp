// Fuzz target: the SBIG header parser and row decoder on raw bytes, with two properties beside
// "no crash": a parsed header written again parses to the same sizes and variety, and decoded
// rows coded again decode to the same values. The first byte chooses the part: bit 0 set, the
// header (the rest of the input is its text); otherwise the rows, with the width 1 + the second
// byte.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "base/JError.h"
#include "formats/sbig/CodificacionSbig.h"
#include "shell/Arranque.h"

namespace {

void Cabecera(std::string_view texto) {
  orva::CabeceraSbig c;
  try {
    c = orva::AnalizaCabeceraSbig(texto, "fuzz");
  } catch (const orva::JError&) {
    return;
  }
  const orva::CabeceraSbig otra =
      orva::AnalizaCabeceraSbig(orva::ComponeCabeceraSbig(c), "fuzz");
  if (otra.ancho != c.ancho || otra.alto != c.alto || otra.comprimida != c.comprimida) {
    __builtin_trap();
  }
}

void Filas(std::span<const uint8_t> datos, size_t ancho) {
  std::vector<uint16_t> fila(ancho), otra(ancho);
  size_t pos = 0;
  for (long y = 0; pos < datos.size(); ++y) {
    try {
      pos += orva::DescomprimeFilaSbig(datos.subspan(pos), fila, "fuzz", y);
    } catch (const orva::JError&) {
      return;
    }
    std::vector<uint8_t> codificada;
    orva::ComprimeFilaSbig(fila, codificada);
    if (codificada.size() > 2 + 2 * ancho) __builtin_trap();
    orva::DescomprimeFilaSbig(codificada, otra, "fuzz", y);
    if (otra != fila) __builtin_trap();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
  static const bool instalado = (orva::InstalaSistema(), true);
  (void)instalado;
  if (n < 2) return 0;
  if (datos[0] & 1) {
    Cabecera(std::string_view(reinterpret_cast<const char*>(datos + 1), n - 1));
  } else {
    Filas(std::span<const uint8_t>(datos + 2, n - 2), size_t{datos[1]} + 1);
  }
  return 0;
}
