// Fuzz target: the PDS3 (ODL) label parser, the mapping of its items to the image data and the
// header pane, and the PDS3 reader on the same bytes as a file with an attached label.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "base/JError.h"
#include "core/Imagen.h"
#include "formats/pds/DatosEtiqueta.h"
#include "formats/pds/EtiquetaOdl.h"
#include "formats/pds/Pds.h"
#include "fuzz/ArchivoMemoria.h"
#include "shell/Arranque.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* datos, size_t n) {
  static const bool instalado = (orva::InstalaSistema(), true);
  (void)instalado;
  static orva::ArchivoMemoria archivo;
  const std::string_view texto(reinterpret_cast<const char*>(datos), n);
  const orva::EtiquetaOdl e = orva::AnalizaEtiquetaOdl(texto);
  if (e.fin > n) __builtin_trap();
  for (const orva::ElementoOdl& el : e.elementos) {
    if (el.nivel < 0) __builtin_trap();
    (void)orva::PartesValorOdl(el.valor);
  }
  if (orva::LineasEtiqueta(e.elementos).size() != e.elementos.size()) __builtin_trap();
  orva::ImagenObservacion imagen;
  orva::EtiquetaImagen(e.elementos, e.elementos, imagen);

  const std::string nombre = archivo.Escribe(datos, n);
  if (nombre.empty()) return 0;
  try {
    orva::LeePds(nombre, imagen);
    if (imagen.NumPixeles() != static_cast<size_t>(imagen.Ancho()) * imagen.Alto()) {
      __builtin_trap();
    }
  } catch (const orva::JError&) {
  }
  return 0;
}
