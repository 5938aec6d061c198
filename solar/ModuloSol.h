// The Sun's analysis module: the disc and Venus found from its "Análisis" menu or from clicks of
// its right-click menu, their overlay and data-pane lines.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "core/DatosAnalisis.h"
#include "core/ModuloBasico.h"
#include "solar/Sol.h"

namespace orva {

class Lienzo;

enum ComandoSol {
  kBuscarSol = 6700,        // "Análisis": the disc and its profile
  kBuscarSolVenus = 6701,   // the same and Venus on the disc
  kResultadosSol = 6702,    // the results window (desktop)
  kGuardarTablaSol = 6703,  // the table to a CSV file (desktop)
  kBorrarSol = 6704,        // also on the right-click menu
  kPreferenciasSol = 6705,  // the settings dialog (desktop)
  kCentroSolAqui = 6750,    // right-click: the disc near the point
  kVenusAqui = 6751,        // right-click: Venus near the point
};

class DatosSol : public DatosAnalisis {
 public:
  std::unique_ptr<DatosAnalisis> Clona() const override {
    return std::make_unique<DatosSol>(*this);
  }
  void PixelesCambiados() override { resultado.reset(); }

  std::optional<ResultadoSol> resultado;
  ParametrosSol parametros;  // those of the last measurement
};

DatosSol& DatosSolDe(Imagen& imagen);
const DatosSol* DatosSolDe(const Imagen& imagen);

// One command of the module on an image with the given settings; punto is the clicked point
// of the right-click items. Without automatic search, "Buscar" needs the clicked centre first.
void EjecutaComandoSol(Imagen& imagen, int id, const ParametrosSol& p,
                       std::optional<std::pair<double, double>> punto = std::nullopt);

// The overlay: the limb, the centre, the corona's outer edge, Venus with its two apertures.
void PintaSol(const ResultadoSol& r, const ParametrosSol& p, Lienzo& lienzo);

class ModuloSol : public ModuloBasico {
 public:
  ModuloSol();

  Menu MenuAnalisis(const Imagen& imagen) override;
  Menu MenuContextual(const Imagen& imagen) override;
  void Comando(Imagen* imagen, int mensaje, int id, long parametro) override;
  void ComandoContextual(Imagen& imagen, int mensaje, int id, PuntoImagen punto) override;
  void Informacion(const Imagen& imagen, std::vector<std::string>& lineas) override;
  void Pintar(const Imagen& imagen, Lienzo& lienzo) override;
  std::unique_ptr<DatosAnalisis> CrearDatos(Imagen& imagen) override;
};

}  // namespace orva
