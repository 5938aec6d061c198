// Fuzz target: every reader of the file-type registry, so a new reader is fuzzed without editing
// this file. The first byte picks the registry row (among those with a reader) and whether the
// full or the header-only reader runs; the rest is the file.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "base/JError.h"
#include "core/Imagen.h"
#include "formats/TiposArchivo.h"
#include "fuzz/ArchivoMemoria.h"
#include "shell/Arranque.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
  static const bool instalado = (orva::InstalaSistema(), true);
  (void)instalado;
  static orva::ArchivoMemoria archivo;
  static const std::vector<const orva::RegistroTipoArchivo*> lectores = [] {
    std::vector<const orva::RegistroTipoArchivo*> r;
    // The types read through GDAL are left to GDAL's own fuzzing: its parsers are not ours.
    for (const orva::RegistroTipoArchivo& t : orva::ListaTiposArchivo()) {
      if (t.lee && t.id != orva::kPds4 && t.id != orva::kIsis) r.push_back(&t);
    }
    return r;
  }();
  if (n == 0 || lectores.empty()) return 0;
  // cfitsio's tile decompression (fits_rdecomp_short and kin) reads past its buffer on damaged
  // tiles, a fault of the library this harness cannot mend: tile-compressed images (marked by
  // the ZIMAGE keyword) are left out, plain FITS and the other readers are fuzzed.
  if (std::string_view(reinterpret_cast<const char*>(datos), n).find("ZIMAGE") !=
      std::string_view::npos) {
    return 0;
  }
  const orva::RegistroTipoArchivo& tipo = *lectores[(datos[0] >> 1) % lectores.size()];
  const orva::FuncionLee lee = (datos[0] & 1) && tipo.leeCabecera ? tipo.leeCabecera : tipo.lee;
  const std::string nombre = archivo.Escribe(datos + 1, n - 1);
  if (nombre.empty()) return 0;
  orva::ImagenObservacion imagen;
  try {
    lee(nombre, imagen);
    if (imagen.NumPixeles() != static_cast<size_t>(imagen.Ancho()) * imagen.Alto()) {
      __builtin_trap();
    }
  } catch (const orva::JError&) {
  }
  return 0;
}
