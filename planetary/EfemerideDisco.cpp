#include "planetary/EfemerideDisco.h"

#include <cmath>

#include "base/JError.h"
#include "core/EfemerideImagen.h"
#include "core/Imagen.h"

namespace orva {
namespace {

constexpr double kVuelta = 360.0;

double Oeste(double lonEste) {
  const double l = std::fmod(kVuelta - lonEste, kVuelta);
  return l < 0.0 ? l + kVuelta : l;
}

}  // namespace

void OrientaConEfemeride(const Efemeride& e, int sistemaJupiter, GeometriaDisco& g) {
  int indice = 2;  // System III, the only one of every planet but Jupiter
  if (e.planeta == Planeta::kJupiter && e.conSistemasJupiter && sistemaJupiter >= 1 &&
      sistemaJupiter <= 3) {
    indice = sistemaJupiter - 1;
  }
  const bool este = e.planeta == Planeta::kUrano;
  g.anguloPolo = e.anguloPolo;
  g.latTierra = e.latTierra;
  g.meridianoCentral = este ? Oeste(e.lonTierra[indice]) : e.lonTierra[indice];
  g.latSol = e.latSol;
  g.lonSol = este ? Oeste(e.lonSol[indice]) : e.lonSol[indice];
  g.conSol = true;
  g.achatamiento = e.achatamiento;
}

std::optional<OrientacionImagen> OrientacionDeImagen(const DatosImagen& d, int tipo,
                                                     int sistemaJupiter, GeometriaDisco& g) {
  const std::optional<Planeta> planeta = PlanetaDeTipo(tipo);
  if (!planeta) return std::nullopt;
  if (!TieneDatoImagen(d, "FECHAOBS") && !TieneDatoImagen(d, "HORAOBS")) return std::nullopt;
  OrientacionImagen o{EfemerideImagen(d, *planeta), false};
  o.topocentrica = o.efemeride.topocentrica;
  OrientaConEfemeride(o.efemeride, sistemaJupiter, g);
  return o;
}

}  // namespace orva
