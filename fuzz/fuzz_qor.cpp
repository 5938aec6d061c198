// Fuzz target: the QOR reader (header, metadata, the three pixel codings) on any bytes.
#include <cstddef>
#include <cstdint>

#include "base/JError.h"
#include "core/Imagen.h"
#include "formats/qor/Qor.h"
#include "fuzz/ArchivoMemoria.h"
#include "shell/Arranque.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
  static const bool instalado = (orva::InstalaSistema(), true);
  (void)instalado;
  static orva::ArchivoMemoria archivo;
  const std::string nombre = archivo.Escribe(datos, n);
  if (nombre.empty()) return 0;
  orva::ImagenObservacion imagen;
  try {
    orva::LeeQor(nombre, imagen);
    // A file that reads must hold every pixel it announces.
    if (imagen.NumPixeles() != static_cast<size_t>(imagen.Ancho()) * imagen.Alto())
      __builtin_trap();
  } catch (const orva::JError&) {
  }
  return 0;
}
