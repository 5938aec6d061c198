// Fuzz target: the compressed archive images. The bytes as a whole IMQ file read by the PDS3
// reader, and as a histogram followed by variable-length line records for the line decoder.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "base/JError.h"
#include "core/Imagen.h"
#include "formats/pds/Imq.h"
#include "formats/pds/Pds.h"
#include "fuzz/ArchivoMemoria.h"
#include "shell/Arranque.h"

namespace {
constexpr size_t kAnchoLinea = 64;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
  static const bool instalado = (orva::InstalaSistema(), true);
  (void)instalado;
  static orva::ArchivoMemoria archivo;
  const std::string_view bytes(reinterpret_cast<const char*>(datos), n);

  (void)orva::TextoEtiquetaRegistros(bytes);
  const orva::RegistrosImq r = orva::PartesRegistros(bytes);
  try {
    const orva::CodigoImq codigo(orva::HistogramaDeRegistros("x", r.registros));
    std::vector<uint8_t> fila(kAnchoLinea);
    for (size_t i = 0; i < r.registros.size(); ++i) {
      try {
        codigo.DecodificaLinea(r.registros[i], fila, "x", i);
      } catch (const orva::JError&) {
      }
    }
  } catch (const orva::JError&) {
  }

  const std::string nombre = archivo.Escribe(datos, n);
  if (nombre.empty()) return 0;
  try {
    orva::ImagenObservacion imagen;
    orva::LeePds(nombre, imagen);
    if (imagen.NumPixeles() != static_cast<size_t>(imagen.Ancho()) * imagen.Alto()) {
      __builtin_trap();
    }
  } catch (const orva::JError&) {
  }
  return 0;
}
