// The spacecraft frames' analysis module.
#include "spacecraft/ModuloVoyager.h"

#include <algorithm>
#include <cstdio>
#include <utility>

#include "base/Cadenas.h"
#include "core/Imagen.h"
#include "core/Lienzo.h"
#include "core/Progreso.h"
#include "core/TiposObjeto.h"
#include "spacecraft/MacroReseau.h"

namespace orva {

namespace {
constexpr int kTituloMenus = 12564;  // "ANALISIS VOYAGER"; the items' labels follow in id order
constexpr int kEtiquetaExportar = 12590;  // the export item's label, outside that run
constexpr int kNombreModulo = 14002;
constexpr int kMaxFaltanMostradas = 20;  // missing marks listed in the data pane

bool HayDatos(const Imagen& imagen) {
  const DatosVoyager* d = DatosVoyagerDe(imagen);
  return d && (!d->marcas.empty() || d->navegacion);
}
bool HayMarcas(const Imagen& imagen) {
  const DatosVoyager* d = DatosVoyagerDe(imagen);
  return d && !d->marcas.empty();
}
std::string Etiqueta(int id) {
  if (id == kExportarMarcas) return Cadena(kEtiquetaExportar);
  return Cadena(kTituloMenus + 1 + (id - kBuscarMarcas));
}
}  // namespace

DatosVoyager& DatosVoyagerDe(Imagen& imagen) {
  if (auto* d = dynamic_cast<DatosVoyager*>(&imagen.Analisis())) return *d;
  imagen.CambiaAnalisis(std::make_unique<DatosVoyager>());
  return static_cast<DatosVoyager&>(imagen.Analisis());
}

const DatosVoyager* DatosVoyagerDe(const Imagen& imagen) {
  return dynamic_cast<const DatosVoyager*>(&imagen.Analisis());
}

std::string LineaComandoVoyager(int id) {
  if (id == kCorregirReseau) return LineaReseau(nullptr, false);
  if (id == kCorregirQuitando) return LineaReseau(nullptr, true);
  return {};
}

void EjecutaComandoVoyager(Imagen& imagen, int id) {
  Progreso& progreso = ProgresoActual();
  switch (id) {
    case kBuscarMarcas: {
      DatosVoyager& d = DatosVoyagerDe(imagen);
      d.rejilla = RejillaParaImagen(imagen);
      d.marcas = BuscaMarcas(imagen, d.rejilla, OpcionesReseau{}, &progreso);
      break;
    }
    case kCorregirReseau:
    case kCorregirQuitando: {
      const RejillaReseau r = RejillaParaImagen(imagen);
      CorrigeReseau(imagen, r, BuscaMarcas(imagen, r, OpcionesReseau{}, &progreso),
                    id == kCorregirQuitando, progreso);
      break;
    }
    case kNavegarVoyager:
      DatosVoyagerDe(imagen).navegacion = Navega(imagen);
      break;
    case kBorrarMarcas: {
      DatosVoyager& d = DatosVoyagerDe(imagen);
      d.marcas.clear();
      d.navegacion.reset();
      break;
    }
    default:
      break;
  }
}

std::vector<std::string> LineasVoyager(const DatosVoyager& d) {
  std::vector<std::string> l;
  if (!d.marcas.empty()) {
    const long n = std::count_if(d.marcas.begin(), d.marcas.end(),
                                 [](const MarcaEncontrada& m) { return m.encontrada; });
    char b[160];
    std::snprintf(b, sizeof b, "Retícula %s: %ld de %zu marcas encontradas",
                  d.rejilla.nombre.c_str(), n, d.marcas.size());
    l.emplace_back(b);
    const std::string faltan = MarcasNoEncontradas(d.rejilla, d.marcas, kMaxFaltanMostradas);
    if (!faltan.empty()) l.push_back("No encontradas:" + faltan);
  }
  if (d.navegacion) {
    for (std::string& s : LineasNavegacion(*d.navegacion)) l.push_back(std::move(s));
  }
  return l;
}

ModuloVoyager::ModuloVoyager() : ModuloBasico({kVoyager}, {Cadena(kNombreModulo)}) {}

Menu ModuloVoyager::MenuAnalisis(const Imagen& imagen) {
  Menu m;
  m.titulo = Cadena(kTituloMenus);
  m.Anade(kBuscarMarcas, Etiqueta(kBuscarMarcas));
  m.Anade(kCorregirReseau, Etiqueta(kCorregirReseau));
  m.Anade(kCorregirQuitando, Etiqueta(kCorregirQuitando));
  m.Anade(kExportarMarcas, Etiqueta(kExportarMarcas), HayMarcas(imagen));
  m.elementos.push_back(ElementoMenu::Separador());
  m.Anade(kNavegarVoyager, Etiqueta(kNavegarVoyager));
  m.Anade(kBorrarMarcas, Etiqueta(kBorrarMarcas), HayDatos(imagen));
  return m;
}

Menu ModuloVoyager::MenuContextual(const Imagen& imagen) {
  Menu m;
  m.titulo = Cadena(kTituloMenus);
  m.Anade(kBuscarMarcas, Etiqueta(kBuscarMarcas));
  m.Anade(kNavegarVoyager, Etiqueta(kNavegarVoyager));
  m.elementos.push_back(ElementoMenu::Separador());
  m.Anade(kBorrarMarcas, Etiqueta(kBorrarMarcas), HayDatos(imagen));
  return m;
}

void ModuloVoyager::Comando(Imagen* imagen, int, int id, long) {
  if (!imagen || id < kBuscarMarcas || id > kBorrarMarcas) return;
  EjecutaComandoVoyager(*imagen, id);
}

void ModuloVoyager::ComandoContextual(Imagen& imagen, int, int id, PuntoImagen) {
  if (id != kBuscarMarcas && id != kNavegarVoyager && id != kBorrarMarcas) return;
  EjecutaComandoVoyager(imagen, id);
}

void ModuloVoyager::Informacion(const Imagen& imagen, std::vector<std::string>& lineas) {
  if (const DatosVoyager* d = DatosVoyagerDe(imagen)) {
    for (std::string& l : LineasVoyager(*d)) lineas.push_back(std::move(l));
  }
  // The label's view geometry is shown whenever the frame has it.
  if (!DatosVoyagerDe(imagen) || !DatosVoyagerDe(imagen)->navegacion) {
    NavegacionVoyager n;
    n.distancia = NumeroEtiqueta(imagen, "TARGET_CENTER_DISTANCE");
    n.latSub = NumeroEtiqueta(imagen, "SUB_SPACECRAFT_LATITUDE");
    n.lonSub = NumeroEtiqueta(imagen, "SUB_SPACECRAFT_LONGITUDE");
    if (n.distancia || n.latSub) {
      const std::vector<std::string> l = LineasNavegacion(n);
      // Without a fit, the limb line is left out.
      for (size_t i = 1; i < l.size(); ++i) lineas.push_back(l[i]);
    }
  }
  InformacionDefecto(imagen, lineas);
}

void ModuloVoyager::Pintar(const Imagen& imagen, Lienzo& lienzo) {
  constexpr Color kEncontrada{0, 255, 0}, kPerdida{255, 0, 0}, kLimbo{255, 255, 0};
  constexpr double kTamCruz = 5;
  const DatosVoyager* d = DatosVoyagerDe(imagen);
  if (!d) return;
  for (const MarcaEncontrada& m : d->marcas) {
    lienzo.Cruz(m.x, m.y, kTamCruz, m.encontrada ? kEncontrada : kPerdida);
  }
  if (d->navegacion && d->navegacion->conLimbo) {
    const NavegacionVoyager& n = *d->navegacion;
    lienzo.Circulo(n.cx, n.cy, n.radio, kLimbo);
    lienzo.Cruz(n.cx, n.cy, kTamCruz, kLimbo);
  }
}

std::unique_ptr<DatosAnalisis> ModuloVoyager::CrearDatos(Imagen&) {
  return std::make_unique<DatosVoyager>();
}

}  // namespace orva
