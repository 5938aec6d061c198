// The spacecraft frames' analysis module: the reseau marks found and shown, the frame corrected
// from them (with or without the marks), and the navigation data in the data pane.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/DatosAnalisis.h"
#include "core/ModuloBasico.h"
#include "spacecraft/Navegacion.h"
#include "spacecraft/Reseau.h"

namespace orva {

enum ComandoVoyager {
  kBuscarMarcas = 6860,      // "Análisis" and right-click: the marks of the grid
  kCorregirReseau = 6861,    // the frame corrected (macro line RETICULA)
  kCorregirQuitando = 6862,  // the same with the marks filled in
  kNavegarVoyager = 6863,    // the limb fit and the label's view geometry
  kBorrarMarcas = 6864,      // also on the right-click menu
  kExportarMarcas = 6865,    // desktop only: the marks found saved as a CSV table
};

class DatosVoyager : public DatosAnalisis {
 public:
  std::unique_ptr<DatosAnalisis> Clona() const override {
    return std::make_unique<DatosVoyager>(*this);
  }
  void PixelesCambiados() override {
    marcas.clear();
    navegacion.reset();
  }

  RejillaReseau rejilla;
  std::vector<MarcaEncontrada> marcas;  // empty until searched
  std::optional<NavegacionVoyager> navegacion;
};

DatosVoyager& DatosVoyagerDe(Imagen& imagen);
const DatosVoyager* DatosVoyagerDe(const Imagen& imagen);

// One command of the module on an image (the corrections run here when no desktop runs them
// as macro lines).
void EjecutaComandoVoyager(Imagen& imagen, int id);

// The macro line of a correction command; empty for other ids.
std::string LineaComandoVoyager(int id);

// The data-pane lines: the marks found and missing, the navigation data.
std::vector<std::string> LineasVoyager(const DatosVoyager& d);

class ModuloVoyager : public ModuloBasico {
 public:
  ModuloVoyager();

  Menu MenuAnalisis(const Imagen& imagen) override;
  Menu MenuContextual(const Imagen& imagen) override;
  void Comando(Imagen* imagen, int mensaje, int id, long parametro) override;
  void ComandoContextual(Imagen& imagen, int mensaje, int id, PuntoImagen punto) override;
  void Informacion(const Imagen& imagen, std::vector<std::string>& lineas) override;
  void Pintar(const Imagen& imagen, Lienzo& lienzo) override;
  std::unique_ptr<DatosAnalisis> CrearDatos(Imagen& imagen) override;
};

}  // namespace orva
