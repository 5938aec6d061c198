#include "planetary/ModuloPlanetas.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <numbers>
#include <string>

#include "base/Cadenas.h"
#include "base/JError.h"
#include "core/Ajustes.h"
#include "core/Imagen.h"
#include "core/TiposObjeto.h"
#include "formats/fits/Fits.h"
#include "planetary/EfemerideDisco.h"
#include "planetary/MacroDisco.h"

namespace orva {
namespace {

constexpr double kGrado = std::numbers::pi / 180.0;
constexpr double kFactorEscala = 1.01;  // per "enlarge" or "reduce"
constexpr double kPasoGiro = 1.0;       // deg per turn
constexpr double kPasoRejilla = 15.0;   // deg between grid lines
constexpr double kPasoCurva = 3.0;      // deg between the points of a drawn curve
constexpr int kLadosContorno = 120;
constexpr double kTamMarca = 2.0;
constexpr double kDesplTexto = 4.0;
constexpr Color kContorno{0, 255, 0};
constexpr Color kRejilla{0, 160, 255};
constexpr Color kPunto{255, 255, 0};
constexpr Color kRechazado{255, 0, 0};
constexpr Color kDetalle{255, 128, 255};
constexpr Color kCorte{255, 160, 0};
constexpr const char* kSeccion = "PREFPLANETA";

std::string Num(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.3f", v);
  return b;
}

// The flattening needs more digits than a pixel position.
std::string Fino(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.7f", v);
  return b;
}

// Whitespace-separated numbers; false when there are not exactly n or one does not read.
bool Numeros(std::string_view texto, double* v, int n) {
  std::string s(texto);
  const char* p = s.c_str();
  for (int i = 0; i < n; ++i) {
    char* fin = nullptr;
    v[i] = std::strtod(p, &fin);
    if (fin == p || !std::isfinite(v[i])) return false;
    p = fin;
  }
  while (*p == ' ') ++p;
  return *p == '\0';
}

// The Jupiter system of the central meridian, from the settings (1, 2 or 3).
int SistemaJupiter() {
  double v = 0.0;
  if (Numeros(AjustesActuales().Valor(kSeccion, "SistemaJupiter"), &v, 1) &&
      (v == 1.0 || v == 2.0 || v == 3.0)) {
    return static_cast<int>(v);
  }
  return kSistemaJupiterDefecto;
}

// The orientation: from the image's ephemeris unless the settings give all of it, each setting
// given overriding the ephemeris's value. Without an ephemeris (no date and time), 12485 naming
// the first missing setting. LatSol and LonSol, both given, place the sub-Sun point (the
// terminator's side is left out of the fit). Returns where the orientation came from.
OrigenGeometria Orientacion(const Imagen& imagen, GeometriaDisco& g) {
  const Ajustes& a = AjustesActuales();
  const struct {
    const char* clave;
    double* destino;
  } campos[] = {{"AnguloPolo", &g.anguloPolo},
                {"LatTierra", &g.latTierra},
                {"MeridianoCentral", &g.meridianoCentral}};
  double valores[3] = {};
  bool dados[3] = {};
  bool todos = true;
  for (int i = 0; i < 3; ++i) {
    const std::string& v = a.Valor(kSeccion, campos[i].clave);
    dados[i] = !v.empty() && Numeros(v, &valores[i], 1);
    todos = todos && dados[i];
  }
  OrigenGeometria origen = OrigenGeometria::kAjustes;
  if (!todos) {
    const auto o = OrientacionDeImagen(imagen.datos, imagen.TipoObjeto(), SistemaJupiter(), g);
    if (!o) {
      for (int i = 0; i < 3; ++i) {
        if (!dados[i]) throw JError(12485, std::string(kSeccion) + "." + campos[i].clave);
      }
    }
    origen = o->topocentrica ? OrigenGeometria::kTopocentrica : OrigenGeometria::kGeocentrica;
  }
  for (int i = 0; i < 3; ++i) {
    if (dados[i]) *campos[i].destino = valores[i];
  }
  double lat = 0.0, lon = 0.0;
  if (Numeros(a.Valor(kSeccion, "LatSol"), &lat, 1) &&
      Numeros(a.Valor(kSeccion, "LonSol"), &lon, 1)) {
    g.conSol = true;
    g.latSol = lat;
    g.lonSol = lon;
  } else if (origen == OrigenGeometria::kAjustes) {
    g.conSol = false;
  }
  return origen;
}

// A curve of longitude/latitude points, drawn where it is on the visible side.
template <class F>
void Curva(Lienzo& l, Color c, double desde, double hasta, F punto) {
  PuntoDisco a;
  bool previo = false;
  for (double t = desde; t <= hasta + 1e-9; t += kPasoCurva) {
    PuntoDisco p;
    const bool visible = punto(t, p);
    if (visible && previo) l.Linea(a.x, a.y, p.x, p.y, c);
    a = p;
    previo = visible;
  }
}

}  // namespace

void DatosPlaneta::Guarda(std::vector<std::pair<std::string, std::string>>& e) const {
  if (conGeometria) {
    const GeometriaDisco& g = geometria;
    e.emplace_back("PLANDISCO", Num(g.cx) + " " + Num(g.cy) + " " + Num(g.radio) + " " +
                                    Fino(g.achatamiento) + " " + Num(g.anguloPolo) + " " +
                                    Num(g.latTierra) + " " + Num(g.meridianoCentral) +
                                    (g.filasArriba ? " 1" : " 0"));
    e.emplace_back("PLANRMS", Num(rms));
  }
  for (size_t i = 0; i < detalles.size(); ++i) {
    const DetalleDisco& d = detalles[i];
    e.emplace_back("PLANDET" + std::to_string(i + 1),
                   Num(d.x) + " " + Num(d.y) + " " + Num(d.lon) + " " + Num(d.lat));
  }
}

bool DatosPlaneta::Lee(std::string_view clave, std::string_view valor) {
  if (clave == "PLANDISCO") {
    double v[8] = {};
    GeometriaDisco g;
    // The row direction came later: seven numbers are an image shown top row first.
    if (!Numeros(valor, v, 8) && !Numeros(valor, v, 7)) return true;  // damaged: dropped
    g.filasArriba = v[7] == 1.0;
    g.cx = v[0];
    g.cy = v[1];
    g.radio = v[2];
    g.achatamiento = v[3];
    g.anguloPolo = v[4];
    g.latTierra = v[5];
    g.meridianoCentral = v[6];
    try {
      CompruebaGeometria(g);
    } catch (const JError&) {
      return true;
    }
    geometria = g;
    conGeometria = true;
    return true;
  }
  if (clave == "PLANRMS") {
    double v = 0.0;
    if (Numeros(valor, &v, 1)) rms = v;
    return true;
  }
  if (clave.starts_with("PLANDET")) {
    double v[4];
    if (Numeros(valor, v, 4)) detalles.push_back({v[0], v[1], v[2], v[3]});
    return true;
  }
  return false;
}

DatosPlaneta* DatosPlanetaDe(Imagen& imagen) {
  return dynamic_cast<DatosPlaneta*>(&imagen.Analisis());
}

std::string CsvDetalles(const DatosPlaneta& d) {
  std::string s = "n,x,y,lon,lat\n";
  for (size_t i = 0; i < d.detalles.size(); ++i) {
    const DetalleDisco& f = d.detalles[i];
    s += std::to_string(i + 1) + "," + Num(f.x) + "," + Num(f.y) + "," + Num(f.lon) + "," +
         Num(f.lat) + "\n";
  }
  return s;
}

DetalleDisco MideDetalle(DatosPlaneta& d, double x, double y) {
  if (!d.conGeometria) throw JError(12489);
  PuntoDisco p;
  if (!PixelALonLat(d.geometria, x, y, p)) throw JError(12488, Num(x), Num(y));
  d.detalles.push_back({x, y, p.lon, p.lat});
  return d.detalles.back();
}

// The map options the menu items use, from the settings.
OpcionesMapa OpcionesDeAjustes() {
  OpcionesMapa op;
  const Ajustes& a = AjustesActuales();
  double v = 0.0;
  if (Numeros(a.Valor(kSeccion, "Resolucion"), &v, 1)) op.resolucion = v;
  if (Numeros(a.Valor(kSeccion, "Minnaert"), &v, 1)) {
    op.minnaert = true;
    op.k = v;
  }
  return op;
}

std::vector<MuestraCorte> CorteDisco(const Imagen& imagen, int id) {
  const auto* d = dynamic_cast<const DatosPlaneta*>(&imagen.Analisis());
  if (!d || !d->conGeometria) throw JError(12489);
  const OpcionesMapa op = OpcionesDeAjustes();
  std::vector<MuestraCorte> m;
  if (id == kCorteLinea) {
    if (!d->conInicioCorte || !d->conFinalCorte) throw JError(12542);
    m = CorteFotometrico(imagen, d->geometria, TipoCorte::kLinea, op, d->corte[0], d->corte[1],
                         d->corte[2], d->corte[3]);
  } else {
    m = CorteFotometrico(imagen, d->geometria,
                         id == kCorteEcuador ? TipoCorte::kEcuador : TipoCorte::kMeridiano, op);
  }
  if (m.empty()) throw JError(12543);
  return m;
}

std::string CsvCorte(const std::vector<MuestraCorte>& muestras) {
  std::string s = "distance,x,y,lon,latc,value,corrected\n";
  char b[160];
  for (const MuestraCorte& m : muestras) {
    std::snprintf(b, sizeof b, "%.2f,%.3f,%.3f,%.3f,%.3f,%.1f,%.1f\n", m.distancia, m.x, m.y,
                  m.lon, m.latCentrica, m.valor, m.corregido);
    s += b;
  }
  return s;
}

bool EsComandoMapaDisco(int id) {
  return id == kPlanisferioDisco || id == kPolarNorteDisco || id == kPolarSurDisco;
}

std::string LineaMapaDisco(const Imagen& imagen, int id) {
  const auto* d = dynamic_cast<const DatosPlaneta*>(&imagen.Analisis());
  if (!d || !d->conGeometria) throw JError(12489);
  OpcionesMapa op = OpcionesDeAjustes();
  if (id == kPlanisferioDisco) return LineaPlanisferio(d->geometria, op);
  op.sur = id == kPolarSurDisco;
  return LineaProyeccionPolar(d->geometria, op);
}

ModuloPlanetas::ModuloPlanetas()
    : ModuloBasico({kMarte, kJupiter, kSaturno, kUrano, kNeptuno, kPlanMarte, kPlanJupiter,
                    kPlanSaturno, kPlanUrano, kPlanNeptuno, kProyPolJup, kProyPolSat},
                   {}) {
  for (const char* clave :
       {"AnguloPolo", "LatTierra", "MeridianoCentral", "LatSol", "LonSol", "Minnaert"}) {
    AjustesActuales().Registra(kSeccion, clave, "");
  }
  AjustesActuales().Registra(kSeccion, "SistemaJupiter", std::to_string(kSistemaJupiterDefecto));
  AjustesActuales().Registra(kSeccion, "Resolucion", "0.5");
}

Menu ModuloPlanetas::MenuAnalisis(const Imagen& imagen) {
  // Maps have no commands of their own yet.
  if (!EsDiscoPlaneta(imagen.TipoObjeto())) return ModuloBasico::MenuAnalisis(imagen);
  Menu m;
  const auto* d = dynamic_cast<const DatosPlaneta*>(&imagen.Analisis());
  const bool geo = d && d->conGeometria;
  m.Anade(kAjustarLimbo, Cadena(12490));
  m.Anade(kRejillaDisco, Cadena(12491), geo).marcado = d && d->rejilla;
  m.Anade(kBorrarDetalles, Cadena(12492), d && !d->detalles.empty());
  m.elementos.push_back(ElementoMenu::Separador());
  m.Anade(kPlanisferioDisco, Cadena(12498), geo);
  m.Anade(kPolarNorteDisco, Mensaje(12499, "+90"), geo);
  m.Anade(kPolarSurDisco, Mensaje(12499, "-90"), geo);
  m.elementos.push_back(ElementoMenu::Separador());
  m.Anade(kCorteMeridiano, Cadena(12544), geo);
  m.Anade(kCorteEcuador, Cadena(12545), geo);
  m.Anade(kCorteLinea, Cadena(12546), geo && d->conInicioCorte && d->conFinalCorte);
  m.Anade(kExportarDetalles, Cadena(12547), d && !d->detalles.empty());
  return m;
}

Menu ModuloPlanetas::MenuContextual(const Imagen& imagen) {
  if (!EsDiscoPlaneta(imagen.TipoObjeto())) return ModuloBasico::MenuContextual(imagen);
  Menu m;
  const auto* d = dynamic_cast<const DatosPlaneta*>(&imagen.Analisis());
  const bool geo = d && d->conGeometria;
  m.Anade(kMedirDetalle, Cadena(12493), geo);
  m.Anade(kInicioCorte, Cadena(12548));
  m.Anade(kFinalCorte, Cadena(12549));
  m.elementos.push_back(ElementoMenu::Separador());
  m.Anade(kMoverContorno, Cadena(12494), geo);
  m.Anade(kAgrandarContorno, Cadena(12495), geo);
  m.Anade(kReducirContorno, Cadena(12496), geo);
  m.Anade(kGirarIzquierda, Mensaje(12497, "+1"), geo);
  m.Anade(kGirarDerecha, Mensaje(12497, "-1"), geo);
  return m;
}

void ModuloPlanetas::Comando(Imagen* imagen, int, int id, long) {
  if (!imagen) return;
  DatosPlaneta* d = DatosPlanetaDe(*imagen);
  if (!d) return;
  switch (id) {
    case kAjustarLimbo: {
      GeometriaDisco g = d->conGeometria ? d->geometria : GeometriaDisco{};
      g.achatamiento = AchatamientoPlaneta(imagen->TipoObjeto());
      g.filasArriba = MuestraFilaUnoAbajo(*imagen);
      const OrigenGeometria origen = Orientacion(*imagen, g);
      if (!d->conGeometria) EstimaDisco(*imagen, g);
      const AjusteLimbo a = AjustaLimbo(*imagen, g);
      d->geometria = a.geometria;
      d->puntos = a.puntos;
      d->rms = a.rms;
      d->conGeometria = true;
      d->origen = origen;
      break;
    }
    case kRejillaDisco:
      d->rejilla = !d->rejilla;
      break;
    case kBorrarDetalles:
      d->detalles.clear();
      break;
    default:
      break;
  }
}

void ModuloPlanetas::ComandoContextual(Imagen& imagen, int, int id, PuntoImagen punto) {
  DatosPlaneta* d = DatosPlanetaDe(imagen);
  if (!d) return;
  GeometriaDisco& g = d->geometria;
  // A manual correction leaves the fitted points behind.
  const auto corregido = [&] {
    d->puntos.clear();
    d->rms = 0.0;
  };
  switch (id) {
    case kMedirDetalle:
      MideDetalle(*d, punto.x, punto.y);
      break;
    case kInicioCorte:
    case kFinalCorte: {
      const int i = id == kInicioCorte ? 0 : 2;
      d->corte[i] = punto.x;
      d->corte[i + 1] = punto.y;
      (id == kInicioCorte ? d->conInicioCorte : d->conFinalCorte) = true;
      break;
    }
    case kMoverContorno:
      if (!d->conGeometria) return;
      g.cx = punto.x;
      g.cy = punto.y;
      corregido();
      break;
    case kAgrandarContorno:
    case kReducirContorno:
      if (!d->conGeometria) return;
      g.radio *= id == kAgrandarContorno ? kFactorEscala : 1.0 / kFactorEscala;
      corregido();
      break;
    case kGirarIzquierda:
    case kGirarDerecha:
      if (!d->conGeometria) return;
      g.anguloPolo += id == kGirarIzquierda ? kPasoGiro : -kPasoGiro;
      d->origen = OrigenGeometria::kAjustes;  // no longer the ephemeris's pole angle
      corregido();
      break;
    default:
      break;
  }
}

void ModuloPlanetas::Informacion(const Imagen& imagen, std::vector<std::string>& lineas) {
  const auto* d = dynamic_cast<const DatosPlaneta*>(&imagen.Analisis());
  if (d && d->conGeometria) {
    const GeometriaDisco& g = d->geometria;
    lineas.push_back(Mensaje(12486, Num(g.cx) + ", " + Num(g.cy), Num(g.radio), Num(d->rms)));
    if (d->origen != OrigenGeometria::kAjustes) {
      lineas.push_back(Mensaje(d->origen == OrigenGeometria::kGeocentrica ? 12540 : 12541,
                               Num(g.anguloPolo), Num(g.latTierra), Num(g.meridianoCentral)));
    }
    for (size_t i = 0; i < d->detalles.size(); ++i) {
      const DetalleDisco& f = d->detalles[i];
      lineas.push_back(Mensaje(12487, std::to_string(i + 1), Num(f.lon), Num(f.lat)));
    }
  }
  InformacionDefecto(imagen, lineas);
}

void ModuloPlanetas::Pintar(const Imagen& imagen, Lienzo& l) {
  const auto* d = dynamic_cast<const DatosPlaneta*>(&imagen.Analisis());
  if (!d || !d->conGeometria) return;
  const GeometriaDisco& g = d->geometria;
  // The outline, from the apparent semi-axes turned by the pole angle.
  double a, b;
  SemiejesContorno(g, a, b);
  const double c = std::cos(g.anguloPolo * kGrado), s = std::sin(g.anguloPolo * kGrado);
  const auto contorno = [&](int i, double& x, double& y) {
    const double t = 2.0 * std::numbers::pi * i / kLadosContorno;
    const double u = a * std::cos(t), v = b * std::sin(t);
    x = g.cx + u * c - v * s;
    y = g.cy + (g.filasArriba ? 1.0 : -1.0) * (u * s + v * c);
  };
  for (int i = 0; i < kLadosContorno; ++i) {
    double x0, y0, x1, y1;
    contorno(i, x0, y0);
    contorno(i + 1, x1, y1);
    l.Linea(x0, y0, x1, y1, kContorno);
  }
  for (const PuntoLimbo& p : d->puntos)
    l.Cruz(p.x, p.y, kTamMarca, p.rechazado ? kRechazado : kPunto);
  if (d->rejilla) {
    for (double lat = -90.0 + kPasoRejilla; lat < 90.0; lat += kPasoRejilla) {
      Curva(l, kRejilla, 0.0, 360.0,
            [&](double t, PuntoDisco& p) { return LonLatAPixel(g, t, lat, p); });
    }
    for (double lon = 0.0; lon < 360.0; lon += kPasoRejilla) {
      Curva(l, kRejilla, -90.0, 90.0,
            [&](double t, PuntoDisco& p) { return LonLatAPixel(g, lon, t, p); });
    }
  }
  if (d->conInicioCorte && d->conFinalCorte) {
    l.Linea(d->corte[0], d->corte[1], d->corte[2], d->corte[3], kCorte);
  }
  for (size_t i = 0; i < d->detalles.size(); ++i) {
    const DetalleDisco& f = d->detalles[i];
    l.Cruz(f.x, f.y, 2.0 * kTamMarca, kDetalle);
    l.Texto(f.x + kDesplTexto, f.y, std::to_string(i + 1), kDetalle);
  }
}

std::unique_ptr<DatosAnalisis> ModuloPlanetas::CrearDatos(Imagen&) {
  return std::make_unique<DatosPlaneta>();
}

}  // namespace orva
