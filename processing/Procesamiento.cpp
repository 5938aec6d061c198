// Macro handlers of the image operations: each parses its arguments into the operation's
// parameter record and runs the one implementation the menus also call.
#include "processing/Procesamiento.h"

#include <cmath>

#include "base/JError.h"
#include "base/Numeros.h"
#include "core/Imagen.h"
#include "core/Rango.h"
#include "macro/Macro.h"

namespace orva {

namespace {

using Args = std::vector<std::string>;

// Positions (rotation centre, shift) beyond this are refused: every sample would fall outside
// any image long before, and the products stay finite.
constexpr double kPosicionMaxima = 2e9;
// Sum factors: finite, so that a product with a pixel stays finite.
constexpr double kFactorMaximo = 1e300;
constexpr double kAnguloMaximo = 1e300;
constexpr int kEnteroMaximo = 2147483647;

int EscalGris(Ranuras& r, int actual, const Args& a) {
  EjecutaEscalaGrisMacro(*r.En(actual), a);
  return actual;
}

int Filtro(Ranuras& r, int actual, const Args& a) {
  EjecutaFiltroMacro(*r.En(actual), a);
  return actual;
}

// ROTAR angle [x y [value]]: x and y only with three or more arguments, the value with four.
int Rotar(Ranuras& r, int actual, const Args& a) {
  ParamsRotacion p;
  p.angulo = ArgumentoReal(a, 0, -kAnguloMaximo, kAnguloMaximo);
  if (a.size() >= 3) {
    p.conCentro = true;
    p.cx = ArgumentoReal(a, 1, -kPosicionMaxima, kPosicionMaxima);
    p.cy = ArgumentoReal(a, 2, -kPosicionMaxima, kPosicionMaxima);
  }
  if (a.size() >= 4) {
    p.conValor = true;
    p.valor = ArgumentoPixel(a, 3);
  }
  AplicaRotacion(*r.En(actual), p);
  return actual;
}

int EspejoMacro(Ranuras& r, int actual, const Args& a) {
  static const std::vector<std::string_view> kModos = {"HORIZONTAL", "VERTICAL"};
  const int i = BuscaPalabra(a[0], kModos);
  if (i < 0) PalabraNoAdmitida(a, 0);
  AplicaEspejo(*r.En(actual), i == 0 ? Espejo::kHorizontal : Espejo::kVertical);
  return actual;
}

int Desplaza(Ranuras& r, int actual, const Args& a) {
  ParamsDesplaza p;
  p.dx = ArgumentoReal(a, 0, -kPosicionMaxima, kPosicionMaxima);
  p.dy = ArgumentoReal(a, 1, -kPosicionMaxima, kPosicionMaxima);
  p.valor = ArgumentoPixel(a, 2);
  AplicaDesplaza(*r.En(actual), p);
  return actual;
}

// CORTAR x y w h [value]: x and y read as reals and truncated; the region itself is checked by
// the operation (12045-12047).
int Cortar(Ranuras& r, int actual, const Args& a) {
  ParamsCorte p;
  p.x = static_cast<int>(std::trunc(ArgumentoReal(a, 0, -kPosicionMaxima, kPosicionMaxima)));
  p.y = static_cast<int>(std::trunc(ArgumentoReal(a, 1, -kPosicionMaxima, kPosicionMaxima)));
  p.w = ArgumentoEntero(a, 2, -kEnteroMaximo - 1, kEnteroMaximo);
  p.h = ArgumentoEntero(a, 3, -kEnteroMaximo - 1, kEnteroMaximo);
  if (a.size() >= 5) {
    p.conValor = true;
    p.valor = ArgumentoPixel(a, 4);
  }
  AplicaCorte(*r.En(actual), p);
  return actual;
}

// REDIM x y w h nw nh: the source rectangle may lie anywhere (outside it samples the fill
// value); sizes are at least 1, and the new image must fit in memory (10100).
int Redim(Ranuras& r, int actual, const Args& a) {
  constexpr int kMinimo = -kEnteroMaximo - 1;
  ParamsRedim p{
      ArgumentoEntero(a, 0, kMinimo, kEnteroMaximo), ArgumentoEntero(a, 1, kMinimo, kEnteroMaximo),
      ArgumentoEntero(a, 2, 1, kEnteroMaximo),       ArgumentoEntero(a, 3, 1, kEnteroMaximo),
      ArgumentoEntero(a, 4, 1, kEnteroMaximo),       ArgumentoEntero(a, 5, 1, kEnteroMaximo)};
  if (!AplicaRedim(*r.En(actual), p)) throw JError(kArgumentosNoAdmitidos);
  return actual;
}

// Slots of the arithmetic are checked by the interpreter (1..8, holding an image).
int Suma(Ranuras& r, int actual, const Args& a) {
  const double f1 = ArgumentoReal(a, 2, -kFactorMaximo, kFactorMaximo);
  const double f2 = ArgumentoReal(a, 3, -kFactorMaximo, kFactorMaximo);
  SumaImagenes(*r.En(LeeEntero(a[0])), *r.En(LeeEntero(a[1])), f1, f2);
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
