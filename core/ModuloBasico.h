// A module with its object types and application-level items but no analysis commands of its
// own: the base of every module of the system.
#pragma once

#include <string>
#include <vector>

#include "core/ModuloAnalisis.h"

namespace orva {

class ModuloBasico : public ModuloAnalisis {
 public:
  // tipos: the object types it serves; preferencias: labels of its application-level items.
  ModuloBasico(std::vector<int> tipos, std::vector<std::string> preferencias);

  int AsignarTipos() override;
  int AnadirPreferencias(Menu& menu, int primerId) override;
  Menu MenuAnalisis(const Imagen& imagen) override;
  Menu MenuContextual(const Imagen& imagen) override;
  void Comando(Imagen* imagen, int mensaje, int id, long parametro) override;
  void ComandoContextual(Imagen& imagen, int mensaje, int id, PuntoImagen punto) override;
  void Informacion(const Imagen& imagen, std::vector<std::string>& lineas) override;
  void Pintar(const Imagen& imagen, Lienzo& lienzo) override;
  std::unique_ptr<DatosAnalisis> CrearDatos(Imagen& imagen) override;

  const std::vector<int>& Tipos() const { return tipos_; }
  // The ids given to its application-level items by the last AnadirPreferencias.
  const std::vector<int>& IdsPreferencias() const { return idsPreferencias_; }

 private:
  std::vector<int> tipos_;
  std::vector<std::string> preferencias_;
  std::vector<int> idsPreferencias_;
};

}  // namespace orva
