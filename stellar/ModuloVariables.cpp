// The variable-star analysis module.
#include "stellar/ModuloVariables.h"

#include <cmath>
#include <cstdio>

#include "astro/Astronomia.h"
#include "base/Cadenas.h"
#include "base/JError.h"
#include "base/Numeros.h"
#include "core/Ajustes.h"
#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/TiposObjeto.h"
#include "stellar/BuscaEstrellas.h"
#include "stellar/Centroide.h"
#include "stellar/DatosVariables.h"

namespace orva {
namespace {

int AjusteVar(const char* clave) {
  return LeeEntero(AjustesActuales().Valor("AnaVariables", clave));
}

// The star nearest (x, y) no farther than the aperture radius, or nullptr.
const ObjetoEstelar* EstrellaCercana(const DatosVariables& d, double x, double y) {
  const double radio = std::max(AjusteVar("VARRADEST"), 1);
  const ObjetoEstelar* mejor = nullptr;
  double mejorD = radio * radio;
  for (const ObjetoEstelar& e : d.Estrellas()) {
    const double d2 = (e.x - x) * (e.x - x) + (e.y - y) * (e.y - y);
    if (d2 <= mejorD) {
      mejorD = d2;
      mejor = &e;
    }
  }
  return mejor;
}

}  // namespace

ModuloVariables::ModuloVariables() : ModuloBasico({kVariable}, {Cadena(14001), Cadena(14004)}) {
  RegistraConfigPCVista();
}

Menu ModuloVariables::MenuAnalisis(const Imagen& imagen) {
  const DatosVariables* d = DatosVariablesDe(imagen);
  const bool hayEstrellas = d && !d->Estrellas().empty();
  Menu m;
  ElementoMenu buscar;
  buscar.etiqueta = Cadena(14007);  // "Buscar &Estrellas"
  Menu sub;
  sub.Anade(kBuscarTASS, Cadena(kBuscarTASS));
  sub.Anade(kBuscarPCVista, Cadena(kBuscarPCVista));
  buscar.submenu = std::move(sub.elementos);
  m.elementos.push_back(std::move(buscar));
  m.elementos.push_back(ElementoMenu::Separador());
  m.Anade(kBorrarEstrellas, Cadena(kBorrarEstrellas), hayEstrellas);
  m.elementos.push_back(ElementoMenu::Separador());
  m.Anade(kDefinirCampo, Cadena(kDefinirCampo));
  m.Anade(kCurvaLuz, Cadena(kCurvaLuz));
  return m;
}

Menu ModuloVariables::MenuContextual(const Imagen& imagen) {
  const DatosVariables* d = DatosVariablesDe(imagen);
  Menu m;
  m.titulo = Cadena(3008);
  m.Anade(kAnadirEstrella, Cadena(kAnadirEstrella));
  m.Anade(kBorrarEstrella, Cadena(kBorrarEstrella), d && !d->Estrellas().empty());
  m.elementos.push_back(ElementoMenu::Separador());
  m.Anade(kCampoVariable, Cadena(kCampoVariable));
  m.Anade(kCampoComparacion, Cadena(kCampoComparacion));
  m.Anade(kCampoControl, Cadena(kCampoControl));
  return m;
}

void ModuloVariables::Comando(Imagen* imagen, int, int id, long parametro) {
  if (!imagen) return;
  switch (id) {
    case kBuscarPCVista:
    case kBuscarTASS:
      BuscaEstrellas(*imagen,
                     id == kBuscarPCVista ? MetodoBusqueda::kPCVista : MetodoBusqueda::kTASS,
                     (parametro & 1) != 0, ProgresoActual());
      break;
    case kBorrarEstrellas:
      if (imagen->TipoObjeto() != kVariable) throw JError(12074);  // 12074
      DatosVariablesDe(*imagen).BorraTodas();
      imagen->ImagenPixeles::Modificada(1);
      break;
    default:
      break;
  }
}

void ModuloVariables::ComandoContextual(Imagen& imagen, int, int id, PuntoImagen punto) {
  if (id == kAnadirEstrella) {
    AnadeEstrellaEn(imagen, punto.x, punto.y);
  } else if (id == kBorrarEstrella) {
    BorraEstrellaEn(imagen, punto.x, punto.y);
  } else if (id == kCampoVariable) {
    MarcaEstrellaCampo(imagen, punto.x, punto.y, PapelEstrella::kVariable);
  } else if (id == kCampoComparacion) {
    MarcaEstrellaCampo(imagen, punto.x, punto.y, PapelEstrella::kComparacion);
  } else if (id == kCampoControl) {
    MarcaEstrellaCampo(imagen, punto.x, punto.y, PapelEstrella::kControl);
  }
}

void ModuloVariables::Informacion(const Imagen& imagen, std::vector<std::string>& lineas) {
  const DatosImagen& d = imagen.datos;
  const FechaHora& fh = d.fechaHora;
  const double djh = DiaJulianoHeliocentrico(fh, d.ar, d.dec);
  for (std::string& l : LineasCircunstancias(fh, d.ar, d.dec, d.observatorio.longitud,
                                             d.observatorio.latitud, djh)) {
    lineas.push_back(std::move(l));
  }
  if (const DatosVariables* v = DatosVariablesDe(imagen)) {
    char b[256];
    std::snprintf(b, sizeof b, "Estrellas: %zu", v->Estrellas().size());
    lineas.push_back(b);
    for (const ObjetoEstelar& e : v->Estrellas()) {
      std::snprintf(b, sizeof b, "%s: (%.2lf,%.2lf) mag=%.3lf cielo=%.2lf", e.nombre.c_str(), e.x,
                    e.y, e.magnitud, e.cielo);
      lineas.push_back(b);
    }
  }
  InformacionDefecto(imagen, lineas);
}

void ModuloVariables::Pintar(const Imagen& imagen, Lienzo& lienzo) {
  const DatosVariables* v = DatosVariablesDe(imagen);
  if (!v) return;
  const bool cruz = AjusteVar("VARPINTARCRUZ") == 1;
  const bool aper = AjusteVar("VARPINTARAPER") == 1;
  const bool cielo = AjusteVar("VARPINTARCIELO") == 1;
  const bool nombre = AjusteVar("VARPINTARNOMBRE") == 1;
  const double rEst = AjusteVar("VARRADEST");
  const double rInt = AjusteVar("VARRADCIELINT");
  const double rExt = AjusteVar("VARRADCIELEXT");
  constexpr Color kCruz{255, 0, 0}, kAper{0, 255, 0}, kCielo{0, 128, 255}, kNombre{255, 255, 0};
  for (const ObjetoEstelar& e : v->Estrellas()) {
    if (cruz) lienzo.Cruz(e.x, e.y, 5, kCruz);
    if (aper) lienzo.Circulo(e.x, e.y, rEst, kAper);
    if (cielo) {
      lienzo.Circulo(e.x, e.y, rInt, kCielo);
      lienzo.Circulo(e.x, e.y, rExt, kCielo);
    }
    if (nombre) lienzo.Texto(e.x + 10, e.y, e.nombre, kNombre);
  }
}

std::unique_ptr<DatosAnalisis> ModuloVariables::CrearDatos(Imagen&) {
  return std::make_unique<DatosVariables>();
}

std::string AnadeEstrellaEn(Imagen& imagen, double x, double y) {
  if (imagen.TipoObjeto() != kVariable) throw JError(12074);  // 12074
  if (AjusteVar("VARCALCCENT") == 1) {
    const ResultadoCentroide c = CentroideEstrella(imagen, x, y);
    x = c.x;
    y = c.y;
  }
  const ResultadoFotometria r = MideEstrella(imagen, x, y, LeeParametrosFotometria());
  if (r.estado == 0) throw JError(r.magnitud == kMagSaturada ? 12077 : 12076);  // 12077 12076
  DatosVariables& d = DatosVariablesDe(imagen);
  ObjetoEstelar e;
  for (int n = 1;; ++n) {
    e.nombre = std::to_string(n);
    if (!d.Busca(e.nombre)) break;
  }
  e.x = x;
  e.y = y;
  e.AsignaFotometria(r);
  const std::string nombre = e.nombre;
  d.Anade(std::move(e));
  imagen.ImagenPixeles::Modificada(1);
  return nombre;
}

bool BorraEstrellaEn(Imagen& imagen, double x, double y) {
  const DatosVariables* d = DatosVariablesDe(static_cast<const Imagen&>(imagen));
  if (!d) return false;
  const ObjetoEstelar* e = EstrellaCercana(*d, x, y);
  if (!e) return false;
  const std::string nombre = e->nombre;
  DatosVariablesDe(imagen).Borra(nombre);
  imagen.ImagenPixeles::Modificada(1);
  return true;
}

std::string MarcaEstrellaCampo(Imagen& imagen, double x, double y, PapelEstrella papel) {
  std::string nombre;
  const DatosVariables* d = DatosVariablesDe(static_cast<const Imagen&>(imagen));
  if (const ObjetoEstelar* e = d ? EstrellaCercana(*d, x, y) : nullptr) {
    nombre = e->nombre;
  } else {
    nombre = AnadeEstrellaEn(imagen, x, y);
  }
  DatosVariables& datos = DatosVariablesDe(imagen);
  const int codigo = static_cast<int>(papel) + 1;
  if (papel == PapelEstrella::kVariable) {
    for (const ObjetoEstelar& e : datos.Estrellas()) {
      if (datos.PapelCampo(e.nombre) == codigo) {
        datos.AsignaPapelCampo(e.nombre, DatosVariables::kSinPapel);
      }
    }
  }
  datos.AsignaPapelCampo(nombre, codigo);
  return nombre;
}

std::vector<EstrellaCampo> EstrellasCampoImagen(const Imagen& imagen) {
  std::vector<EstrellaCampo> r;
  const DatosVariables* d = DatosVariablesDe(imagen);
  if (!d) return r;
  for (const ObjetoEstelar& e : d->Estrellas()) {
    const int codigo = d->PapelCampo(e.nombre);
    if (codigo == DatosVariables::kSinPapel) continue;
    EstrellaCampo c;
    c.nombre = e.nombre;
    c.papel = static_cast<PapelEstrella>(codigo - 1);
    c.x = e.x;
    c.y = e.y;
    if (c.papel == PapelEstrella::kVariable)
      r.insert(r.begin(), c);
    else
      r.push_back(c);
  }
  return r;
}

}  // namespace orva
