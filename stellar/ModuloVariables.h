// The variable-star analysis module: star list per image, star search commands, photometry at a
// point, the stars' overlay and data-pane lines.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "core/ModuloBasico.h"
#include "stellar/CampoVariable.h"

namespace orva {

class Imagen;

// Command ids of its menus.
enum ComandoVariables {
  kBuscarTASS = 6022,     // "Análisis" > "Buscar &Estrellas" > "Metodo TASS"
  kBuscarPCVista = 6023,  // "Análisis" > "Buscar &Estrellas" > "Metodo PCVISTA"
  kBorrarEstrellas = 6024,
  kAnadirEstrella = 6050,  // right-click: measure and add the star at the point
  kBorrarEstrella = 6051,  // right-click: delete the star nearest the point
  // Right-click: the star at the point (measured and added when none is listed there) becomes
  // the field's variable (the previous one loses the role), a comparison or a check star.
  kCampoVariable = 6800,
  kCampoComparacion = 6801,
  kCampoControl = 6802,
  // "Análisis" items served by the desktop: the field dialog on this image, the light curve.
  kDefinirCampo = 6803,
  kCurvaLuz = 6804,
};

class ModuloVariables : public ModuloBasico {
 public:
  // Registers the star-search settings it binds.
  ModuloVariables();

  Menu MenuAnalisis(const Imagen& imagen) override;
  Menu MenuContextual(const Imagen& imagen) override;
  // 6023 / 6022 search with the current settings; bit 1 of parametro deletes the existing stars
  // first (the dialog's "Borrar estrellas existentes"). 6024 deletes every star.
  void Comando(Imagen* imagen, int mensaje, int id, long parametro) override;
  void ComandoContextual(Imagen& imagen, int mensaje, int id, PuntoImagen punto) override;
  // The observing-circumstance lines, the star list, then the default lines.
  void Informacion(const Imagen& imagen, std::vector<std::string>& lineas) override;
  // Per star, by the VARPINTAR settings: a cross (CRUZ), the aperture (APER), the sky ring
  // (CIELO), the name (NOMBRE).
  void Pintar(const Imagen& imagen, Lienzo& lienzo) override;
  std::unique_ptr<DatosAnalisis> CrearDatos(Imagen& imagen) override;
};

// Measures the star at the clicked point (refined with the star centroid when VARCALCCENT is 1)
// and adds it under the smallest unused number. JError 12077 when the aperture is saturated,
// 12076 when the measurement fails otherwise, 12074 when the image is not a variable-star image.
// Returns the new star's name.
std::string AnadeEstrellaEn(Imagen& imagen, double x, double y);
// Deletes the star nearest (x, y) within the aperture radius; false when there is none.
bool BorraEstrellaEn(Imagen& imagen, double x, double y);

// Gives the star nearest (x, y) within the aperture radius (measured and added first when there
// is none, as AnadeEstrellaEn) the field role; a new variable takes the role from the previous
// one. Returns the star's name.
std::string MarcaEstrellaCampo(Imagen& imagen, double x, double y, PapelEstrella papel);
// The stars of the image that have a field role, the variable first, then in list order.
std::vector<EstrellaCampo> EstrellasCampoImagen(const Imagen& imagen);

}  // namespace orva
