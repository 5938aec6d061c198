// The module list and the dispatch of module operations by an image's object type.
#include "core/ModuloAnalisis.h"

#include <cstdio>

#include "base/Cadenas.h"
#include "core/EfemerideImagen.h"
#include "core/Imagen.h"
#include "core/TiposObjeto.h"

namespace orva {
namespace {

std::vector<std::unique_ptr<ModuloAnalisis>>& ListaModulos() {
  static std::vector<std::unique_ptr<ModuloAnalisis>> modulos;
  return modulos;
}

}  // namespace

const std::vector<std::unique_ptr<ModuloAnalisis>>& Modulos() {
  return ListaModulos();
}

void RegistraModulo(std::unique_ptr<ModuloAnalisis> modulo) {
  ListaModulos().push_back(std::move(modulo));
  ListaModulos().back()->AsignarTipos();
}

ModuloAnalisis* ModuloImagen(const Imagen& imagen) {
  const int t = imagen.TipoObjeto();
  if (t < 0 || t >= kNumTiposObjeto) return nullptr;
  return TablaTiposObjeto()[t].modulo;
}

std::optional<Menu> MenuAnalisisImagen(const Imagen& imagen) {
  ModuloAnalisis* m = ModuloImagen(imagen);
  if (!m) return std::nullopt;
  Menu menu = m->MenuAnalisis(imagen);
  menu.titulo = Cadena(14003);
  return menu;
}

std::optional<Menu> MenuContextualImagen(const Imagen& imagen) {
  ModuloAnalisis* m = ModuloImagen(imagen);
  if (!m) return std::nullopt;
  return m->MenuContextual(imagen);
}

int ComandoImagen(Imagen& imagen, int mensaje, int id, long parametro) {
  ModuloAnalisis* m = ModuloImagen(imagen);
  if (!m) return 0;
  m->Comando(&imagen, mensaje, id, parametro);
  return 1;
}

int ComandoContextualImagen(Imagen& imagen, int mensaje, int id, PuntoImagen punto) {
  ModuloAnalisis* m = ModuloImagen(imagen);
  if (!m) return 0;
  m->ComandoContextual(imagen, mensaje, id, punto);
  imagen.repintar = 1;
  imagen.RepintaPaneles(1);
  if (ObservadorImagen* o = imagen.Observador()) o->Repinta(ObservadorImagen::kVentana);
  return 1;
}

int PintarImagen(const Imagen& imagen, Lienzo& lienzo) {
  ModuloAnalisis* m = ModuloImagen(imagen);
  if (!m) return 0;
  m->Pintar(imagen, lienzo);
  return 1;
}

void InformacionDefecto(const Imagen& imagen, std::vector<std::string>& lineas) {
  const DatosImagen& d = imagen.datos;
  char linea[1024];
  const std::string exp = [&] {
    char b[64];
    std::snprintf(b, sizeof b, "%.3f", d.tiempoExp);
    return std::string(b);
  }();
  std::snprintf(linea, sizeof linea, "%s (%s) %s seg.", d.fechaHora.FechaDia().Texto().c_str(),
                d.fechaHora.HoraDia().Texto().c_str(), exp.c_str());
  lineas.emplace_back(linea);
  const int tipo = d.tipoObjeto < 0 ? kDesconocido : d.tipoObjeto;
  std::snprintf(linea, sizeof linea, "%-10s (%-10s) %-8s", d.nombreObjeto.c_str(),
                NombreTipoObjeto(tipo).c_str(), d.filtro.c_str());
  lineas.emplace_back(linea);
}

void InformacionImagen(const Imagen& imagen, std::vector<std::string>& lineas) {
  if (ModuloAnalisis* m = ModuloImagen(imagen)) {
    m->Informacion(imagen, lineas);
  } else {
    InformacionDefecto(imagen, lineas);
  }
  // A planet's disc also shows its ephemeris, whichever module serves it.
  for (std::string& l : LineasEfemerideImagen(imagen.datos)) lineas.push_back(std::move(l));
}

void AnadirPreferenciasModulos(Menu& menu) {
  int id = kPrimerIdPreferencias;
  for (const auto& m : ListaModulos()) id += m->AnadirPreferencias(menu, id);
}

int ComandoModulos(Imagen* imagen, int mensaje, int id, long parametro) {
  for (const auto& m : ListaModulos()) m->Comando(imagen, mensaje, id, parametro);
  return 1;
}

Menu MenuAnalisisBarra(int herramienta, const Imagen* activa) {
  Menu menu;
  if (herramienta == kHerramientaAnalisis && activa) {
    if (std::optional<Menu> m = MenuAnalisisImagen(*activa))
      menu = std::move(*m);
    else
      menu.activo = false;
  } else if (herramienta == kHerramientaAnalisis) {
    AnadirPreferenciasModulos(menu);
  } else {
    menu.activo = false;
  }
  menu.titulo = Cadena(14003);
  return menu;
}

}  // namespace orva
