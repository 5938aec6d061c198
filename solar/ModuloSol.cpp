// The Sun's analysis module.
#include "solar/ModuloSol.h"

#include "base/Cadenas.h"
#include "base/JError.h"
#include "core/Imagen.h"
#include "core/Lienzo.h"
#include "core/Progreso.h"
#include "core/TiposObjeto.h"

namespace orva {

namespace {
constexpr int kTituloMenus = 12512;          // "ANALISIS SOL"
constexpr int kEtiquetaPreferencias = 6400;  // "&Preferencias"
}  // namespace

DatosSol& DatosSolDe(Imagen& imagen) {
  if (auto* d = dynamic_cast<DatosSol*>(&imagen.Analisis())) return *d;
  imagen.CambiaAnalisis(std::make_unique<DatosSol>());
  return static_cast<DatosSol&>(imagen.Analisis());
}

const DatosSol* DatosSolDe(const Imagen& imagen) {
  return dynamic_cast<const DatosSol*>(&imagen.Analisis());
}

void EjecutaComandoSol(Imagen& imagen, int id, const ParametrosSol& p,
                       std::optional<std::pair<double, double>> punto) {
  DatosSol& d = DatosSolDe(imagen);
  Progreso& progreso = ProgresoActual();
  switch (id) {
    case kBuscarSol:
    case kBuscarSolVenus: {
      // Without automatic search the disc is the one clicked before.
      std::optional<std::pair<double, double>> centro;
      if (!p.busquedaAutom) {
        if (!d.resultado) throw JError(12504);
        centro = std::make_pair(d.resultado->sol.x, d.resultado->sol.y);
      }
      ResultadoSol r;
      r.sol = BuscaDiscoSolar(imagen, p, centro);
      PerfilSolar(imagen, p, r);
      if (id == kBuscarSolVenus) {
        if (progreso.Cancelado()) throw JError(11011);
        r.venus = BuscaVenus(imagen, p, r);
        PerfilSolar(imagen, p, r, &r.venus->disco);
      }
      d.resultado = std::move(r);
      d.parametros = p;
      break;
    }
    case kCentroSolAqui: {
      ResultadoSol r;
      r.sol = BuscaDiscoSolar(imagen, p, punto);
      PerfilSolar(imagen, p, r);
      d.resultado = std::move(r);
      d.parametros = p;
      break;
    }
    case kVenusAqui: {
      if (!d.resultado) throw JError(12504);
      ResultadoSol r = *d.resultado;
      r.venus = BuscaVenus(imagen, p, r, punto);
      PerfilSolar(imagen, p, r, &r.venus->disco);
      d.resultado = std::move(r);
      d.parametros = p;
      break;
    }
    case kBorrarSol:
      d.resultado.reset();
      break;
    default:
      break;
  }
}

void PintaSol(const ResultadoSol& r, const ParametrosSol& p, Lienzo& lienzo) {
  constexpr Color kLimbo{255, 255, 0}, kCorona{255, 128, 0}, kVenus{0, 255, 255},
      kApertura{0, 255, 0};
  constexpr double kTamCruz = 6, kDesplTexto = 4;
  const Circulo& s = r.sol;
  lienzo.Circulo(s.x, s.y, s.radio, kLimbo);
  lienzo.Cruz(s.x, s.y, kTamCruz, kLimbo);
  if (p.numZonasCorona > 0) lienzo.Circulo(s.x, s.y, s.radio * (1 + p.solVenExtra), kCorona);
  if (!r.venus) return;
  const Venus& v = *r.venus;
  lienzo.Circulo(v.disco.x, v.disco.y, v.disco.radio, kVenus);
  lienzo.Cruz(v.disco.x, v.disco.y, kTamCruz / 2, kVenus);
  lienzo.Texto(v.disco.x + v.disco.radio + kDesplTexto, v.disco.y, "V", kVenus);
  lienzo.Linea(s.x, s.y, v.disco.x, v.disco.y, kVenus);
  if (v.radioInterior > 0) lienzo.Circulo(v.disco.x, v.disco.y, v.radioInterior, kApertura);
  if (v.radioAnillo > 0) lienzo.Circulo(v.disco.x, v.disco.y, v.radioAnillo, kApertura);
}

ModuloSol::ModuloSol() : ModuloBasico({kSol}, {Cadena(14005)}) {}

namespace {
bool HayResultado(const Imagen& imagen) {
  const DatosSol* d = DatosSolDe(imagen);
  return d && d->resultado;
}
}  // namespace

Menu ModuloSol::MenuAnalisis(const Imagen& imagen) {
  const bool hay = HayResultado(imagen);
  Menu m;
  m.titulo = Cadena(kTituloMenus);
  m.Anade(kBuscarSol, Cadena(12505));
  m.Anade(kBuscarSolVenus, Cadena(12506));
  m.elementos.push_back(ElementoMenu::Separador());
  m.Anade(kResultadosSol, Cadena(12508), hay);
  m.Anade(kGuardarTablaSol, Cadena(12507), hay);
  m.Anade(kBorrarSol, Cadena(12509), hay);
  m.elementos.push_back(ElementoMenu::Separador());
  m.Anade(kPreferenciasSol, Cadena(kEtiquetaPreferencias));
  return m;
}

Menu ModuloSol::MenuContextual(const Imagen& imagen) {
  const bool hay = HayResultado(imagen);
  Menu m;
  m.titulo = Cadena(kTituloMenus);
  m.Anade(kCentroSolAqui, Cadena(12510));
  m.Anade(kVenusAqui, Cadena(12511), hay);
  m.elementos.push_back(ElementoMenu::Separador());
  m.Anade(kBorrarSol, Cadena(12509), hay);
  return m;
}

void ModuloSol::Comando(Imagen* imagen, int, int id, long) {
  if (!imagen || (id != kBuscarSol && id != kBuscarSolVenus && id != kBorrarSol)) return;
  EjecutaComandoSol(*imagen, id, LeeParametrosSol());
}

void ModuloSol::ComandoContextual(Imagen& imagen, int, int id, PuntoImagen punto) {
  if (id != kCentroSolAqui && id != kVenusAqui && id != kBorrarSol) return;
  EjecutaComandoSol(imagen, id, LeeParametrosSol(),
                    std::make_pair(static_cast<double>(punto.x), static_cast<double>(punto.y)));
}

void ModuloSol::Informacion(const Imagen& imagen, std::vector<std::string>& lineas) {
  if (const DatosSol* d = DatosSolDe(imagen); d && d->resultado) {
    for (std::string& l : LineasSol(*d->resultado, d->parametros)) lineas.push_back(std::move(l));
  }
  InformacionDefecto(imagen, lineas);
}

void ModuloSol::Pintar(const Imagen& imagen, Lienzo& lienzo) {
  if (const DatosSol* d = DatosSolDe(imagen); d && d->resultado) {
    PintaSol(*d->resultado, d->parametros, lienzo);
  }
}

std::unique_ptr<DatosAnalisis> ModuloSol::CrearDatos(Imagen&) {
  return std::make_unique<DatosSol>();
}

}  // namespace orva
