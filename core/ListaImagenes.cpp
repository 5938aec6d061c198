// The process-wide image list.
#include "core/ListaImagenes.h"

#include <algorithm>
#include <cstdio>

#include "core/Imagen.h"

namespace orva {

ListaImagenes& ListaImagenes::Global() {
  static ListaImagenes lista;
  return lista;
}

void ListaImagenes::Anade(Imagen* imagen) {
  imagenes_.push_back(imagen);
}

void ListaImagenes::Quita(Imagen* imagen) {
  imagenes_.erase(std::remove(imagenes_.begin(), imagenes_.end(), imagen), imagenes_.end());
}

void ListaImagenes::Nombra(Imagen& imagen) const {
  const std::string archivo = imagen.NombreArchivo();
  int mayor = 0;
  for (const Imagen* otra : imagenes_) {
    if (otra != &imagen && otra->NombreArchivo() == archivo)
      mayor = std::max(mayor, otra->numCopia);
  }
  imagen.numCopia = mayor + 1;
  char copia[16];
  std::snprintf(copia, sizeof copia, ":%02d", imagen.numCopia);
  imagen.nombreVentana = archivo + copia;
}

}  // namespace orva
