// Menus as plain data: the desktop renders them, the library builds them.
#pragma once

#include <string>
#include <vector>

namespace orva {

struct ElementoMenu {
  int id = 0;                         // command id; 0 for a separator or a submenu
  std::string etiqueta;               // label text with '&' accelerators
  bool activo = true;                 // grayed when false
  bool marcado = false;               // check mark
  std::vector<ElementoMenu> submenu;  // non-empty for a popup
  bool separador = false;

  static ElementoMenu Separador() {
    ElementoMenu e;
    e.separador = true;
    return e;
  }
};

struct Menu {
  std::string titulo;
  bool activo = true;
  std::vector<ElementoMenu> elementos;

  ElementoMenu& Anade(int id, std::string etiqueta, bool activo = true) {
    ElementoMenu e;
    e.id = id;
    e.etiqueta = std::move(etiqueta);
    e.activo = activo;
    elementos.push_back(std::move(e));
    return elementos.back();
  }
  // The item with that id at any depth, or nullptr.
  const ElementoMenu* Busca(int id) const;
};

}  // namespace orva
