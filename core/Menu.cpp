// Menu lookups.
#include "core/Menu.h"

namespace orva {
namespace {

const ElementoMenu* BuscaEn(const std::vector<ElementoMenu>& elementos, int id) {
  for (const ElementoMenu& e : elementos) {
    if (!e.separador && e.submenu.empty() && e.id == id) return &e;
    if (const ElementoMenu* r = BuscaEn(e.submenu, id)) return r;
  }
  return nullptr;
}

}  // namespace

const ElementoMenu* Menu::Busca(int id) const {
  return BuscaEn(elementos, id);
}

}  // namespace orva
