// The spectra analysis module.
#include "spectra/ModuloEspectros.h"

#include <cmath>
#include <cstdio>
#include <sstream>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "base/Numeros.h"
#include "core/Ajustes.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/TiposObjeto.h"

namespace orva {
namespace {

constexpr int kSinBanda = 12526;
constexpr int kEtiquetaMedir = 12530;  // labels 12530..12537 in command order
constexpr int kLineaBanda = 12538, kLineaLinea = 12539, kLineaCalibracion = 12529;
constexpr int kLineasMostradas = 20;  // the data pane lists the first lines only

std::string Numero(double v, int decimales) {
  char b[64];
  std::snprintf(b, sizeof b, "%.*f", decimales, v);
  return b;
}

}  // namespace

void DatosEspectro::Guarda(std::vector<std::pair<std::string, std::string>>& e) const {
  if (inicioDefinido && finalDefinido) e.emplace_back("ESPECTRO", LineaEspectro(banda));
}

bool DatosEspectro::Lee(std::string_view clave, std::string_view valor) {
  if (clave != "ESPECTRO") return false;
  std::istringstream s{std::string(valor)};
  std::string palabra;
  BandaEspectro b;
  if (s >> palabra >> b.x1 >> b.y1 >> b.x2 >> b.y2) {
    if (!(s >> b.ancho)) b.ancho = 1;
    if (!(s >> b.distanciaCielo)) b.distanciaCielo = 0;
    if (b.ancho >= 1 && b.ancho <= kAnchoBandaMaximo && std::isfinite(b.distanciaCielo)) {
      banda = b;
      inicioDefinido = finalDefinido = true;
    }
  }
  return true;
}

DatosEspectro& DatosEspectroDe(Imagen& imagen) {
  if (auto* d = dynamic_cast<DatosEspectro*>(&imagen.Analisis())) return *d;
  imagen.CambiaAnalisis(std::make_unique<DatosEspectro>());
  return static_cast<DatosEspectro&>(imagen.Analisis());
}

const DatosEspectro* DatosEspectroDe(const Imagen& imagen) {
  return dynamic_cast<const DatosEspectro*>(&imagen.Analisis());
}

void MideEspectro(const Imagen& imagen, DatosEspectro& d, const AjustesContinuo& ajustes,
                  Progreso& progreso) {
  std::vector<double> flujo;
  if (d.inicioDefinido && d.finalDefinido) {
    flujo = ExtraeEspectro(imagen, d.banda, progreso);
  } else if (imagen.Alto() == 1 && imagen.Ancho() > 0) {
    for (int16_t p : imagen.Pixeles()) flujo.push_back(imagen.mapeo.Fisico(p));
  } else {
    throw JError(kSinBanda);
  }
  std::vector<double> continuo = Continuo(flujo, ajustes);
  std::vector<LineaEspectral> lineas = BuscaLineas(flujo, continuo, ajustes.factor);
  Calibracion cal;
  if (!d.puntos.empty()) cal = CalibraEspectro(d.puntos, d.grado, lineas);
  d.flujo = std::move(flujo);
  d.continuo = std::move(continuo);
  d.lineas = std::move(lineas);
  d.calibracion = std::move(cal);
  d.medido = true;
}

std::vector<std::string> LineasEspectro(const DatosEspectro& d) {
  std::vector<std::string> l;
  if (d.inicioDefinido && d.finalDefinido) {
    const BandaEspectro& b = d.banda;
    l.push_back(Mensaje(kLineaBanda,
                        "(" + Numero(b.x1, 1) + ", " + Numero(b.y1, 1) + ") - (" + Numero(b.x2, 1) +
                            ", " + Numero(b.y2, 1) + ")",
                        std::to_string(b.ancho), Numero(b.distanciaCielo, 1)));
  }
  if (!d.medido) return l;
  int n = 0;
  for (const LineaEspectral& x : d.lineas) {
    if (++n > kLineasMostradas) break;
    std::string centro = Numero(x.centro, 2);
    if (!d.calibracion.Vacia()) centro += " = " + Numero(d.calibracion.Longitud(x.centro), 3);
    l.push_back(Mensaje(kLineaLinea, (x.emision ? "E " : "A ") + centro, Numero(x.profundidad, 3),
                        Numero(x.fwhm, 2) + "  EW " + Numero(x.anchuraEquivalente, 2)));
  }
  if (!d.calibracion.Vacia()) {
    l.push_back(Mensaje(kLineaCalibracion, std::to_string(d.calibracion.coeficientes.size() - 1),
                        std::to_string(d.calibracion.pixeles.size()),
                        Numero(d.calibracion.rms, 4)));
  }
  return l;
}

ModuloEspectros::ModuloEspectros() : ModuloBasico({kEspectro}, {Cadena(14006)}) {
  Ajustes& a = AjustesActuales();
  a.Registra("PREFANAESPEC", "MedianaRadio", "");
  a.Registra("PREFANAESPEC", "MedianaFactor", "");
}

Menu ModuloEspectros::MenuAnalisis(const Imagen& imagen) {
  const DatosEspectro* d = DatosEspectroDe(imagen);
  const bool banda = d && d->inicioDefinido && d->finalDefinido;
  const bool medido = d && d->medido;
  Menu m;
  // Measuring stays enabled: without a band it says how to draw one (12526).
  m.Anade(kMedirEspectro, Cadena(kEtiquetaMedir));
  m.Anade(kImagenEspectro, Cadena(kEtiquetaMedir + 1), banda);
  m.Anade(kGraficoEspectro, Cadena(kEtiquetaMedir + 2), medido);
  m.Anade(kTablaEspectroCsv, Cadena(kEtiquetaMedir + 3), medido);
  m.Anade(kCalibrarEspectro, Cadena(kEtiquetaMedir + 4), medido);
  return m;
}

Menu ModuloEspectros::MenuContextual(const Imagen&) {
  Menu m;
  m.Anade(kInicioEspectro, Cadena(kEtiquetaMedir + 5));
  m.Anade(kFinalEspectro, Cadena(kEtiquetaMedir + 6));
  m.elementos.push_back(ElementoMenu::Separador());
  m.Anade(kBorrarEspectro, Cadena(kEtiquetaMedir + 7));
  return m;
}

void ModuloEspectros::Comando(Imagen* imagen, int mensaje, int id, long parametro) {
  ModuloBasico::Comando(imagen, mensaje, id, parametro);
  if (id != kMedirEspectro || !imagen) return;
  MideEspectro(*imagen, DatosEspectroDe(*imagen), LeeAjustesContinuo(), ProgresoActual());
}

void ModuloEspectros::ComandoContextual(Imagen& imagen, int, int id, PuntoImagen p) {
  DatosEspectro& d = DatosEspectroDe(imagen);
  switch (id) {
    case kInicioEspectro:
      d.banda.x1 = p.x;
      d.banda.y1 = p.y;
      d.inicioDefinido = true;
      d.medido = false;
      break;
    case kFinalEspectro:
      d.banda.x2 = p.x;
      d.banda.y2 = p.y;
      d.finalDefinido = true;
      d.medido = false;
      break;
    case kBorrarEspectro:
      d.Limpia();
      break;
    default:
      break;
  }
}

void ModuloEspectros::Informacion(const Imagen& imagen, std::vector<std::string>& lineas) {
  if (const DatosEspectro* d = DatosEspectroDe(imagen)) {
    for (std::string& l : LineasEspectro(*d)) lineas.push_back(std::move(l));
  }
  InformacionDefecto(imagen, lineas);
}

void ModuloEspectros::Pintar(const Imagen& imagen, Lienzo& lienzo) {
  const DatosEspectro* d = DatosEspectroDe(imagen);
  if (!d) return;
  constexpr Color kMarca{0, 255, 0}, kBorde{255, 255, 0}, kCielo{0, 160, 255};
  constexpr double kTam = 5;
  const BandaEspectro& b = d->banda;
  if (d->inicioDefinido) lienzo.Cruz(b.x1, b.y1, kTam, kMarca);
  if (d->finalDefinido) lienzo.Cruz(b.x2, b.y2, kTam, kMarca);
  if (!(d->inicioDefinido && d->finalDefinido)) return;
  const double largo = std::hypot(b.x2 - b.x1, b.y2 - b.y1);
  if (!(largo > 0.0)) return;
  const double nx = -(b.y2 - b.y1) / largo, ny = (b.x2 - b.x1) / largo;
  auto paralela = [&](double desplazamiento, Color c) {
    lienzo.Linea(b.x1 + desplazamiento * nx, b.y1 + desplazamiento * ny, b.x2 + desplazamiento * nx,
                 b.y2 + desplazamiento * ny, c);
  };
  const double medio = 0.5 * b.ancho;
  paralela(0.0, kMarca);
  if (b.ancho > 1) {
    paralela(-medio, kBorde);
    paralela(medio, kBorde);
  }
  if (b.distanciaCielo > 0.0) {
    paralela(-b.distanciaCielo, kCielo);
    paralela(b.distanciaCielo, kCielo);
  }
}

std::unique_ptr<DatosAnalisis> ModuloEspectros::CrearDatos(Imagen&) {
  return std::make_unique<DatosEspectro>();
}

}  // namespace orva
