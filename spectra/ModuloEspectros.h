// The spectra analysis module: the band drawn with the right-click menu, the measured spectrum
// (continuum, lines, calibration) kept with the image, its overlay and data-pane lines.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/ModuloBasico.h"
#include "spectra/Espectro.h"

namespace orva {

enum ComandoEspectros {
  kMedirEspectro = 6780,     // measure the band (or the row of a one-row image)
  kImagenEspectro = 6781,    // the band's spectrum as a new image (desktop: a macro line)
  kGraficoEspectro = 6782,   // the plot window (desktop)
  kTablaEspectroCsv = 6783,  // the CSV table (desktop)
  kCalibrarEspectro = 6784,  // the wavelength calibration dialog (desktop)
  kInicioEspectro = 6790,
  kFinalEspectro = 6791,
  kBorrarEspectro = 6792,
};

class DatosEspectro : public DatosAnalisis {
 public:
  std::unique_ptr<DatosAnalisis> Clona() const override {
    return std::make_unique<DatosEspectro>(*this);
  }
  void PixelesCambiados() override { medido = false; }
  void Guarda(std::vector<std::pair<std::string, std::string>>& entradas) const override;
  bool Lee(std::string_view clave, std::string_view valor) override;
  void Limpia() { *this = DatosEspectro(); }

  BandaEspectro banda;
  bool inicioDefinido = false;
  bool finalDefinido = false;
  std::vector<PuntoCalibracion> puntos;  // lines named by the user
  int grado = 1;
  // The last measurement.
  bool medido = false;
  std::vector<double> flujo, continuo;
  std::vector<LineaEspectral> lineas;
  Calibracion calibracion;
};

DatosEspectro& DatosEspectroDe(Imagen& imagen);
const DatosEspectro* DatosEspectroDe(const Imagen& imagen);

// Measures the spectrum of the image: the band when both ends are defined, else the only row of
// a one-row image (12526 otherwise); then its continuum, lines and, with named lines, its
// calibration.
void MideEspectro(const Imagen& imagen, DatosEspectro& d, const AjustesContinuo& ajustes,
                  Progreso& progreso);
// The data-pane lines of a measurement.
std::vector<std::string> LineasEspectro(const DatosEspectro& d);

class ModuloEspectros : public ModuloBasico {
 public:
  ModuloEspectros();
  Menu MenuAnalisis(const Imagen& imagen) override;
  Menu MenuContextual(const Imagen& imagen) override;
  // kMedirEspectro; the others are desktop commands.
  void Comando(Imagen* imagen, int mensaje, int id, long parametro) override;
  void ComandoContextual(Imagen& imagen, int mensaje, int id, PuntoImagen punto) override;
  void Informacion(const Imagen& imagen, std::vector<std::string>& lineas) override;
  void Pintar(const Imagen& imagen, Lienzo& lienzo) override;
  std::unique_ptr<DatosAnalisis> CrearDatos(Imagen& imagen) override;
};

}  // namespace orva
