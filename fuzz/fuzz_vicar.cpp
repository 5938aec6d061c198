// Fuzz target: the VICAR label parser, the mapping of its items to the image data and the
// header pane, and the VICAR reader (EOL labels included) on the same bytes as a file.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/JError.h"
#include "core/Imagen.h"
#include "formats/pds/DatosEtiqueta.h"
#include "formats/vicar/EtiquetaVicar.h"
#include "formats/vicar/Vicar.h"
#include "fuzz/ArchivoMemoria.h"
#include "shell/Arranque.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
  static const bool instalado = (orva::InstalaSistema(), true);
  (void)instalado;
  static orva::ArchivoMemoria archivo;
  const std::string_view texto(reinterpret_cast<const char*>(datos), n);
  const uint64_t tamano = orva::TamanoEtiquetaVicar(texto);
  const orva::EtiquetaOdl e = orva::AnalizaEtiquetaVicar(texto.substr(0, tamano ? tamano : n));
  for (const orva::ElementoOdl& el : e.elementos) {
    if (el.clave.empty() || el.nivel < 0 || el.nivel > 1) __builtin_trap();
  }
  orva::ImagenObservacion imagen;
  orva::EtiquetaImagen(e.elementos, e.elementos, imagen);

  const std::string nombre = archivo.Escribe(datos, n);
  if (nombre.empty()) return 0;
  try {
    orva::LeeVicar(nombre, imagen);
    if (imagen.NumPixeles() != static_cast<size_t>(imagen.Ancho()) * imagen.Alto()) {
      __builtin_trap();
    }
  } catch (const orva::JError&) {
  }
  return 0;
}
