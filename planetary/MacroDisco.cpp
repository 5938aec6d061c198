#include "planetary/MacroDisco.h"

#include <cstdio>
#include <string_view>
#include <vector>

#include "core/Imagen.h"
#include "core/Progreso.h"
#include "formats/fits/Fits.h"
#include "macro/Macro.h"

namespace orva {
namespace {

constexpr double kCoordenadaMaxima = 1e6;  // pixels
constexpr double kMinnaertMaximo = 3.0;
constexpr size_t kArgsGeometria = 7;

GeometriaDisco LeeGeometria(const std::vector<std::string>& a) {
  GeometriaDisco g;
  g.cx = ArgumentoReal(a, 0, -kCoordenadaMaxima, kCoordenadaMaxima);
  g.cy = ArgumentoReal(a, 1, -kCoordenadaMaxima, kCoordenadaMaxima);
  g.radio = ArgumentoReal(a, 2, 1.0, kRadioMaximoDisco);
  g.achatamiento = ArgumentoReal(a, 3, 0.0, 0.5);
  g.anguloPolo = ArgumentoReal(a, 4, -360.0, 360.0);
  g.latTierra = ArgumentoReal(a, 5, -90.0, 90.0);
  g.meridianoCentral = ArgumentoReal(a, 6, -360.0, 720.0);
  return g;
}

void LeeMinnaert(const std::vector<std::string>& a, size_t k, OpcionesMapa& op) {
  if (a.size() <= k) return;
  op.minnaert = true;
  op.k = ArgumentoReal(a, k, 0.0, kMinnaertMaximo);
}

// The result takes the place of the slot's image.
void Sustituye(Imagen& destino, ImagenObservacion& resultado) {
  const int tipo = resultado.TipoObjeto();
  destino.CambiaPixeles(resultado.Ancho(), resultado.Alto(), std::move(resultado.Pixeles()));
  destino.CambiaTipoObjeto(tipo);
}

int MacroPlanisferio(Ranuras& r, int actual, const std::vector<std::string>& a) {
  if (a.size() < kArgsGeometria + 1 || a.size() > kArgsGeometria + 2) {
    NumeroArgumentos(a.size(), "8-9");
  }
  GeometriaDisco g = LeeGeometria(a);
  OpcionesMapa op;
  op.resolucion = ArgumentoReal(a, 7, kResolucionMinimaMapa, kResolucionMaximaMapa);
  LeeMinnaert(a, 8, op);
  Imagen* im = r.En(actual);
  if (!im) return 0;
  g.filasArriba = MuestraFilaUnoAbajo(*im);
  ImagenObservacion salida;
  Planisferio(*im, g, op, salida, &ProgresoActual());
  Sustituye(*im, salida);
  return actual;
}

int MacroProyPolar(Ranuras& r, int actual, const std::vector<std::string>& a) {
  if (a.size() < kArgsGeometria + 2 || a.size() > kArgsGeometria + 3) {
    NumeroArgumentos(a.size(), "9-10");
  }
  GeometriaDisco g = LeeGeometria(a);
  OpcionesMapa op;
  static const std::vector<std::string_view> polos = {"NORTE", "SUR", "ENORTE", "ESUR"};
  const int p = BuscaPalabra(a[7], polos);
  if (p < 0 || a[7] != polos[static_cast<size_t>(p)]) PalabraNoAdmitida(a, 7);
  op.sur = p == 1 || p == 3;
  op.estereografica = p >= 2;
  op.lado = ArgumentoEntero(a, 8, 0, kLadoMaximoMapa);
  LeeMinnaert(a, 9, op);
  Imagen* im = r.En(actual);
  if (!im) return 0;
  g.filasArriba = MuestraFilaUnoAbajo(*im);
  ImagenObservacion salida;
  ProyeccionPolar(*im, g, op, salida, &ProgresoActual());
  Sustituye(*im, salida);
  return actual;
}

std::string Numero(double v) {
  char b[32];
  std::snprintf(b, sizeof b, "%.6g", v);
  return b;
}

std::string Geometria(const GeometriaDisco& g) {
  return Numero(g.cx) + " " + Numero(g.cy) + " " + Numero(g.radio) + " " + Numero(g.achatamiento) +
         " " + Numero(g.anguloPolo) + " " + Numero(g.latTierra) + " " + Numero(g.meridianoCentral);
}

}  // namespace

std::string LineaPlanisferio(const GeometriaDisco& g, const OpcionesMapa& op) {
  std::string l = "PLANISFERIO " + Geometria(g) + " " + Numero(op.resolucion);
  if (op.minnaert) l += " " + Numero(op.k);
  return l;
}

std::string LineaProyeccionPolar(const GeometriaDisco& g, const OpcionesMapa& op) {
  std::string l = "PROYPOLAR " + Geometria(g) + " " + (op.estereografica ? "E" : "") +
                  (op.sur ? "SUR" : "NORTE") + " " + std::to_string(op.lado);
  if (op.minnaert) l += " " + Numero(op.k);
  return l;
}

void EnlazaDiscoMacro() {
  EnlazaComandoMacro("PLANISFERIO", &MacroPlanisferio);
  EnlazaComandoMacro("PROYPOLAR", &MacroProyPolar);
}

}  // namespace orva
