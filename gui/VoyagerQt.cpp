// The spacecraft frames' module on the desktop.
#include "gui/VoyagerQt.h"

#include <string>

#include "core/Imagen.h"
#include "core/TiposObjeto.h"
#include "gui/Operaciones.h"
#include "gui/VentanaImagen.h"
#include "spacecraft/ModuloVoyager.h"

namespace orva {

namespace {
constexpr int kErrorLinea = 12051;
}  // namespace

bool ComandoVoyagerQt(Marco& marco, VentanaImagen& v, int id) {
  if (v.imagen().TipoObjeto() != kVoyager) return false;
  const std::string linea = LineaComandoVoyager(id);
  if (linea.empty()) return false;
  EjecutaLineaOperacion(marco, v, linea, "RETICULA", kErrorLinea);
  return true;
}

}  // namespace orva
