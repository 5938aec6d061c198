// Proposals of the geometry dialogs and the lines of the operations by reference.
#include "processing/PropuestasGeometria.h"

#include <algorithm>
#include <cmath>

#include "base/JError.h"
#include "core/Imagen.h"
#include "core/Rango.h"

namespace orva {

namespace {

const PuntoReferencia& Punto(const Imagen& im, int p) {
  return im.puntos[static_cast<size_t>(p)];
}
bool Completo(const Imagen& im, int p) {
  return (Punto(im, p).definido & 1) != 0;
}

int Escala(int tam, double factor) {
  return std::max(1, static_cast<int>(std::lround(tam * factor)));
}

}  // namespace

bool PuntosCompletos(const Imagen& im, std::initializer_list<int> puntos) {
  return std::all_of(puntos.begin(), puntos.end(), [&im](int p) { return Completo(im, p); });
}

bool AnguloDeSegmento(const Imagen& im, double& angulo) {
  const double kGrados = 180.0 / std::acos(-1.0);
  double objetivo = 0;
  int a = kOriRotaHor, b = kFinRotaHor;
  if (!(Completo(im, a) && Completo(im, b))) {
    a = kOriRotaVer;
    b = kFinRotaVer;
    objetivo = 90;
    if (!(Completo(im, a) && Completo(im, b))) return false;
  }
  const double dx = Punto(im, b).x - Punto(im, a).x, dy = Punto(im, b).y - Punto(im, a).y;
  if (dx == 0 && dy == 0) return false;
  double fi = std::atan2(dy, dx) * kGrados;
  // A vertical line may be drawn either way; it is turned onto the nearer direction.
  if (objetivo == 90 && fi < 0) fi += 180;
  angulo = objetivo - fi;
  while (angulo > 180) angulo -= 360;
  while (angulo <= -180) angulo += 360;
  return true;
}

bool PropuestaCentroRotacion(const Imagen& im, int& cx, int& cy) {
  const bool marcado = Completo(im, kCentroRota);
  cx = marcado ? Punto(im, kCentroRota).x : static_cast<int>(im.Ancho() / 2);
  cy = marcado ? Punto(im, kCentroRota).y : static_cast<int>(im.Alto() / 2);
  return marcado;
}

ParamsCorte PropuestaCorte(const Imagen& im, int ancho, int alto, bool tamanoFijo) {
  ParamsCorte p;
  p.w = ancho;
  p.h = alto;
  if (Completo(im, kDespMin)) {
    const PuntoReferencia& o = Punto(im, kDespMin);
    p.x = o.x;
    p.y = o.y;
    if (!tamanoFijo && Completo(im, kDespMax)) {
      p.w = Punto(im, kDespMax).x - o.x + 1;
      p.h = Punto(im, kDespMax).y - o.y + 1;
    }
  } else if (Completo(im, kCentroRota)) {
    p.x = Punto(im, kCentroRota).x - p.w / 2;
    p.y = Punto(im, kCentroRota).y - p.h / 2;
  }
  return p;
}

ParamsDesplaza PropuestaDesplaza(const Imagen& im) {
  ParamsDesplaza p{0.0, 0.0, Rango().defecto};
  if (PuntosCompletos(im, {kDespMin, kDespMax})) {
    p.dx = Punto(im, kDespMax).x - Punto(im, kDespMin).x;
    p.dy = Punto(im, kDespMax).y - Punto(im, kDespMin).y;
  }
  return p;
}

ParamsRedim PropuestaRedim(const Imagen& im, double factorX, double factorY) {
  CompruebaFactor(factorX);
  CompruebaFactor(factorY);
  ParamsRedim p{0, 0, static_cast<int>(im.Ancho()), static_cast<int>(im.Alto()), 0, 0};
  if (PuntosCompletos(im, {kDespMin, kDespMax})) {
    p.x = Punto(im, kDespMin).x;
    p.y = Punto(im, kDespMin).y;
    p.w = Punto(im, kDespMax).x - p.x + 1;
    p.h = Punto(im, kDespMax).y - p.y + 1;
  }
  p.nw = Escala(p.w, factorX);
  p.nh = Escala(p.h, factorY);
  return p;
}

std::string LineaCortePorReferencia(const Imagen& im, const Imagen* ref) {
  if (!Completo(im, kDespRef)) throw JError(12043);
  if (!ref) throw JError(12044);
  ParamsCorte p;
  p.x = Punto(im, kDespRef).x - Punto(*ref, kDespRef).x;
  p.y = Punto(im, kDespRef).y - Punto(*ref, kDespRef).y;
  p.w = static_cast<int>(ref->Ancho());
  p.h = static_cast<int>(ref->Alto());
  CompruebaCorte(im, p);
  return LineaCorte(p);
}

std::string LineaDesplazaPorReferencia(const Imagen& im, const Imagen* ref) {
  if (!Completo(im, kDespRef)) throw JError(12043);
  if (!ref) throw JError(12044);
  const ParamsDesplaza p{static_cast<double>(Punto(*ref, kDespRef).x - Punto(im, kDespRef).x),
                         static_cast<double>(Punto(*ref, kDespRef).y - Punto(im, kDespRef).y),
                         Rango().defecto};
  return LineaDesplaza(p);
}

std::string LineaRedimPorReferencia(const Imagen& im, const Imagen* ref) {
  if (!PuntosCompletos(im, {kRedimRef1, kRedimRef2})) throw JError(12043);
  if (!ref) throw JError(12044);
  auto distancia = [](const Imagen& i) {
    return std::hypot(double(Punto(i, kRedimRef2).x - Punto(i, kRedimRef1).x),
                      double(Punto(i, kRedimRef2).y - Punto(i, kRedimRef1).y));
  };
  const double da = distancia(im), dr = distancia(*ref);
  const double factor = da > 0 ? dr / da : 0.0;
  CompruebaFactor(factor);
  const int w = static_cast<int>(im.Ancho()), h = static_cast<int>(im.Alto());
  return LineaRedim({0, 0, w, h, Escala(w, factor), Escala(h, factor)});
}

}  // namespace orva
