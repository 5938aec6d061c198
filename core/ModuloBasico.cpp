// The base module: registration, application-level items, empty analysis menus.
#include "core/ModuloBasico.h"

#include "core/Imagen.h"
#include "core/TiposObjeto.h"

namespace orva {

ModuloBasico::ModuloBasico(std::vector<int> tipos, std::vector<std::string> preferencias)
    : tipos_(std::move(tipos)), preferencias_(std::move(preferencias)) {}

int ModuloBasico::AsignarTipos() {
  for (int t : tipos_) TablaTiposObjeto()[t].modulo = this;
  return 1;
}

int ModuloBasico::AnadirPreferencias(Menu& menu, int primerId) {
  idsPreferencias_.clear();
  int id = primerId;
  for (const std::string& etiqueta : preferencias_) {
    menu.Anade(id, etiqueta);
    idsPreferencias_.push_back(id++);
  }
  return static_cast<int>(preferencias_.size());
}

Menu ModuloBasico::MenuAnalisis(const Imagen&) {
  Menu m;
  m.activo = false;  // no analysis commands: the popup stays grayed
  return m;
}

Menu ModuloBasico::MenuContextual(const Imagen&) {
  return {};
}

void ModuloBasico::Comando(Imagen*, int, int, long) {}

void ModuloBasico::ComandoContextual(Imagen&, int, int, PuntoImagen) {}

void ModuloBasico::Informacion(const Imagen& imagen, std::vector<std::string>& lineas) {
  InformacionDefecto(imagen, lineas);
}

void ModuloBasico::Pintar(const Imagen&, Lienzo&) {}

std::unique_ptr<DatosAnalisis> ModuloBasico::CrearDatos(Imagen&) {
  return std::make_unique<DatosAnalisis>();
}

}  // namespace orva
