// Macro handlers of the image operations: each parses its arguments into the operation's
// parameter record and runs the one implementation the menus also call.
#include "processing/Procesamiento.h"

#include <cmath>

#include "core/Imagen.h"
#include "core/Numeros.h"
#include "core/Rango.h"
#include "macro/Macro.h"

namespace orva {

namespace {

using Args = std::vector<std::string>;

int EscalGris(Ranuras& r, int actual, const Args& a) {
  return EjecutaEscalaGris(*r.En(actual), a) ? actual : 0;
}

int Filtro(Ranuras& r, int actual, const Args& a) {
  return EjecutaFiltro(*r.En(actual), a) ? actual : 0;
}

// ROTAR angle [x y [value]]: x and y only with three or more arguments, the value with four.
int Rotar(Ranuras& r, int actual, const Args& a) {
  ParamsRotacion p;
  p.angulo = LeeReal(a[0]);
  if (a.size() >= 3) {
    p.conCentro = true;
    p.cx = LeeReal(a[1]);
    p.cy = LeeReal(a[2]);
  }
  if (a.size() >= 4) {
    p.conValor = true;
    p.valor = static_cast<int16_t>(LeeEntero(a[3]));
  }
  AplicaRotacion(*r.En(actual), p);
  return actual;
}

int EspejoMacro(Ranuras& r, int actual, const Args& a) {
  static const std::vector<std::string_view> kModos = {"HORIZONTAL", "VERTICAL"};
  const int i = BuscaPalabra(a[0], kModos);
  if (i < 0) return 0;
  AplicaEspejo(*r.En(actual), i == 0 ? Espejo::kHorizontal : Espejo::kVertical);
  return actual;
}

int Desplaza(Ranuras& r, int actual, const Args& a) {
  ParamsDesplaza p;
  p.dx = LeeReal(a[0]);
  p.dy = LeeReal(a[1]);
  p.valor = static_cast<int16_t>(LeeEntero(a[2]));
  AplicaDesplaza(*r.En(actual), p);
  return actual;
}

// CORTAR x y w h [value]: x and y read as reals and truncated.
int Cortar(Ranuras& r, int actual, const Args& a) {
  ParamsCorte p;
  const double x = std::trunc(LeeReal(a[0])), y = std::trunc(LeeReal(a[1]));
  if (!(std::fabs(x) < 2e9) || !(std::fabs(y) < 2e9)) return 0;
  p.x = static_cast<int>(x);
  p.y = static_cast<int>(y);
  p.w = LeeEntero(a[2]);
  p.h = LeeEntero(a[3]);
  if (a.size() >= 5) {
    p.conValor = true;
    p.valor = static_cast<int16_t>(LeeEntero(a[4]));
  }
  AplicaCorte(*r.En(actual), p);
  return actual;
}

int Redim(Ranuras& r, int actual, const Args& a) {
  ParamsRedim p{LeeEntero(a[0]), LeeEntero(a[1]), LeeEntero(a[2]),
                LeeEntero(a[3]), LeeEntero(a[4]), LeeEntero(a[5])};
  return AplicaRedim(*r.En(actual), p) ? actual : 0;
}

int Suma(Ranuras& r, int actual, const Args& a) {
  SumaImagenes(*r.En(LeeEntero(a[0])), *r.En(LeeEntero(a[1])), LeeReal(a[2]), LeeReal(a[3]));
  return actual;
}

int Resta(Ranuras& r, int actual, const Args& a) {
  SumaImagenes(*r.En(LeeEntero(a[0])), *r.En(LeeEntero(a[1])), 1.0, -1.0);
  return actual;
}

int Divide(Ranuras& r, int actual, const Args& a) {
  DivideImagenes(*r.En(LeeEntero(a[0])), *r.En(LeeEntero(a[1])));
  return actual;
}

}  // namespace

void EnlazaProcesamientoMacro() {
  EnlazaComandoMacro("ESCALGRIS", &EscalGris);
  EnlazaComandoMacro("FILTRO", &Filtro);
  EnlazaComandoMacro("ROTAR", &Rotar);
  EnlazaComandoMacro("ESPEJO", &EspejoMacro);
  EnlazaComandoMacro("DESPLAZA", &Desplaza);
  EnlazaComandoMacro("CORTAR", &Cortar);
  EnlazaComandoMacro("REDIM", &Redim);
  EnlazaComandoMacro("SUMA", &Suma);
  EnlazaComandoMacro("RESTA", &Resta);
  EnlazaComandoMacro("FLAT", &Divide);
  EnlazaComandoMacro("DIVIDIR", &Divide);
}

}  // namespace orva
