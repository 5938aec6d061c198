// The double-star analysis module: components and trails marked with the right-click menu,
// their overlay and data-pane lines.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/ModuloBasico.h"

namespace orva {

enum ComandoDobles {
  kPreferenciasDobles = 6400,  // "&Preferencias": the centroid preferences (desktop dialog)
  kCalcularDobles = 6401,      // "&Calcular": the calculation dialog (desktop)
  kDefinirPrincipal = 6450,
  kDefinirSecundaria = 6451,
  kInicioTrazo1 = 6452,
  kFinalTrazo1 = 6453,
  kEstrInicial1 = 6454,
  kEstrFinal1 = 6455,
  kInicioTrazo2 = 6456,
  kFinalTrazo2 = 6457,
  kEstrInicial2 = 6458,
  kEstrFinal2 = 6459,
  kLimpiarPuntos = 5177,
};

class ModuloDobles : public ModuloBasico {
 public:
  ModuloDobles();

  Menu MenuAnalisis(const Imagen& imagen) override;
  // Menu 3013; the items whose point is already defined are grayed.
  Menu MenuContextual(const Imagen& imagen) override;
  // Measures at the clicked point with the current centroid settings; a failed measurement
  // raises its JError and leaves that point undefined.
  void ComandoContextual(Imagen& imagen, int mensaje, int id, PuntoImagen punto) override;
  void Informacion(const Imagen& imagen, std::vector<std::string>& lineas) override;
  void Pintar(const Imagen& imagen, Lienzo& lienzo) override;
  std::unique_ptr<DatosAnalisis> CrearDatos(Imagen& imagen) override;
};

}  // namespace orva
