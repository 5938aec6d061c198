// The planetary analysis module: the limb fit and its manual correction, the longitude/latitude
// grid and the measured features of a planet's disc, kept in the image's side data.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/ModuloBasico.h"
#include "planetary/Disco.h"

namespace orva {

enum ComandoPlanetas {
  kAjustarLimbo = 6300,
  kRejillaDisco = 6301,
  kBorrarDetalles = 6302,
  // The maps: made by the desktop as macro lines (LineaPlanisferio, LineaProyeccionPolar) on the
  // image's window, so that they are recorded and undone like any operation.
  kPlanisferioDisco = 6303,
  kPolarNorteDisco = 6304,
  kPolarSurDisco = 6305,
  kMedirDetalle = 6350,
  kMoverContorno = 6351,
  kAgrandarContorno = 6352,
  kReducirContorno = 6353,
  kGirarIzquierda = 6354,
  kGirarDerecha = 6355,
  // Photometric cuts shown in a chart window and the features' CSV: run by the desktop.
  kCorteMeridiano = 6830,
  kCorteEcuador = 6831,
  kCorteLinea = 6832,
  kExportarDetalles = 6833,
  // The ends of the drawn cut, two clicks of the analysis tool.
  kInicioCorte = 6834,
  kFinalCorte = 6835,
};

// Where a fitted disc's orientation came from: the settings (or a manual correction), or the
// image's ephemeris, geocentric (the image gives no observatory) or for its observatory.
enum class OrigenGeometria { kAjustes, kGeocentrica, kTopocentrica };

struct DetalleDisco {
  double x = 0.0, y = 0.0, lon = 0.0, lat = 0.0;
};

class DatosPlaneta : public DatosAnalisis {
 public:
  std::unique_ptr<DatosAnalisis> Clona() const override {
    return std::make_unique<DatosPlaneta>(*this);
  }
  void Guarda(std::vector<std::pair<std::string, std::string>>& entradas) const override;
  bool Lee(std::string_view clave, std::string_view valor) override;

  bool conGeometria = false;
  GeometriaDisco geometria;
  OrigenGeometria origen = OrigenGeometria::kAjustes;  // not kept in the side data
  std::vector<PuntoLimbo> puntos;  // of the last fit; not kept in the side data
  double rms = 0.0;
  bool rejilla = false;
  std::vector<DetalleDisco> detalles;
  // The drawn cut's ends; not kept in the side data.
  bool conInicioCorte = false, conFinalCorte = false;
  double corte[4] = {0.0, 0.0, 0.0, 0.0};  // x1 y1 x2 y2
};

// The planet data of an image of the module's types (a null pointer for other images).
DatosPlaneta* DatosPlanetaDe(Imagen& imagen);
// The features as CSV: "n,x,y,lon,lat" lines under a header.
std::string CsvDetalles(const DatosPlaneta& d);
// Measures a feature at an image point with the stored geometry and keeps it; 12489 without a
// fitted limb, 12488 off the disc.
DetalleDisco MideDetalle(DatosPlaneta& d, double x, double y);

// The photometric cut of a cut command (kCorteMeridiano, kCorteEcuador, kCorteLinea) on the
// fitted disc, the Minnaert correction from PREFPLANETA.Minnaert. 12489 without a fitted limb,
// 12542 for a line without both ends, 12543 when the cut misses the disc.
std::vector<MuestraCorte> CorteDisco(const Imagen& imagen, int id);
// A cut as CSV: "distance,x,y,lon,latc,value,corrected" under that header.
std::string CsvCorte(const std::vector<MuestraCorte>& muestras);

// The macro line of a map command (kPlanisferioDisco...) on the image's fitted disc; 12489
// without one. The map options from the PREFPLANETA settings Resolucion (deg a pixel) and
// Minnaert (the exponent; empty: no correction).
std::string LineaMapaDisco(const Imagen& imagen, int id);
bool EsComandoMapaDisco(int id);

class ModuloPlanetas : public ModuloBasico {
 public:
  ModuloPlanetas();
  Menu MenuAnalisis(const Imagen& imagen) override;
  Menu MenuContextual(const Imagen& imagen) override;
  // The limb fit takes the disc's orientation from the image's ephemeris (its date, time and
  // observatory), each of the PREFPLANETA settings AnguloPolo, LatTierra, MeridianoCentral,
  // LatSol/LonSol given overriding it; SistemaJupiter (1, 2, 3) picks Jupiter's meridian.
  void Comando(Imagen* imagen, int mensaje, int id, long parametro) override;
  void ComandoContextual(Imagen& imagen, int mensaje, int id, PuntoImagen punto) override;
  void Informacion(const Imagen& imagen, std::vector<std::string>& lineas) override;
  void Pintar(const Imagen& imagen, Lienzo& lienzo) override;
  std::unique_ptr<DatosAnalisis> CrearDatos(Imagen& imagen) override;
};

}  // namespace orva
