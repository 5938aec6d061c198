// Rendering through the gray table and drawing on bitmaps.
#include "core/Visualizacion.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "core/Imagen.h"

namespace orva {

uint32_t TamanoZoom(uint32_t tamano, double factor) {
  if (tamano == 0 || !(factor > 0.0)) return 0;
  const double t = std::floor(tamano * factor);
  if (t < 1.0) return 1;
  return t > 1e6 ? 1000000u : static_cast<uint32_t>(t);
}

long Vista::PixelX(double X) const {
  return static_cast<long>(std::floor(X / factor));
}

long Vista::PixelY(double Y) const {
  const long f = static_cast<long>(std::floor(Y / factor));
  return filaUnoAbajo ? static_cast<long>(alto) - 1 - f : f;
}

Vista VistaDe(const Imagen& im, bool filaUnoAbajo) {
  return Vista{im.factorZoom > 0 ? static_cast<double>(im.factorZoom) : 1.0, filaUnoAbajo,
               im.Alto()};
}

double FactorAjuste(uint32_t anchoImagen, uint32_t altoImagen, uint32_t ancho, uint32_t alto) {
  constexpr double kMinimo = 1.0 / 64, kMaximo = 64;
  if (anchoImagen == 0 || altoImagen == 0 || ancho == 0 || alto == 0) return 1.0;
  const double f =
      std::min(static_cast<double>(ancho) / anchoImagen, static_cast<double>(alto) / altoImagen);
  return std::clamp(f, kMinimo, kMaximo);
}

MapaRGB RenderizaImagen(const Imagen& im, double factor) {
  return RenderizaImagen(im, Vista{factor, false, im.Alto()});
}

MapaRGB RenderizaImagen(const Imagen& im, const Vista& vista) {
  return RenderizaImagen(im, vista, 0, 0, TamanoZoom(im.Ancho(), vista.factor),
                         TamanoZoom(im.Alto(), vista.factor));
}

MapaRGB RenderizaImagen(const Imagen& im, const Vista& vista, long x0, long y0, uint32_t ancho,
                        uint32_t alto) {
  MapaRGB m;
  m.ancho = ancho;
  m.alto = alto;
  m.rgb.assign(static_cast<size_t>(m.ancho) * m.alto * 3, 0);
  if (im.Vacia() || !(vista.factor > 0)) return m;
  Vista v = vista;
  v.alto = im.Alto();
  const long w = im.Ancho(), h = im.Alto();
  // Source column of every screen column, computed once (-1: outside the image).
  std::vector<long> columnas(m.ancho);
  for (uint32_t x = 0; x < m.ancho; ++x) {
    const long c = v.PixelX(static_cast<double>(x0 + static_cast<long>(x)));
    columnas[x] = c >= 0 && c < w ? c : -1;
  }
  for (uint32_t y = 0; y < m.alto; ++y) {
    const long fila = v.PixelY(static_cast<double>(y0 + static_cast<long>(y)));
    if (fila < 0 || fila >= h) continue;
    const int16_t* origen = im.Pixeles().data() + static_cast<size_t>(fila) * im.Ancho();
    uint8_t* destino = m.rgb.data() + static_cast<size_t>(y) * m.ancho * 3;
    for (uint32_t x = 0; x < m.ancho; ++x) {
      if (columnas[x] < 0) continue;
      const int valor = origen[columnas[x]];
      if (im.esPaleta) {
        const size_t i = static_cast<size_t>(std::clamp(valor, 0, 255)) * 3;
        destino[3 * x] = im.paleta[i];
        destino[3 * x + 1] = im.paleta[i + 1];
        destino[3 * x + 2] = im.paleta[i + 2];
      } else {
        const uint8_t g = im.Gris(valor);
        destino[3 * x] = destino[3 * x + 1] = destino[3 * x + 2] = g;
      }
    }
  }
  return m;
}

void LienzoMapa::Pon(double X, double Y, Color c) {
  mapa_.Pon(static_cast<long>(std::floor(X)) - x0_, static_cast<long>(std::floor(Y)) - y0_, c);
}

void LienzoMapa::Linea(double x0, double y0, double x1, double y1, Color c) {
  const double ax = vista_.PantallaX(x0), ay = vista_.PantallaY(y0);
  const double bx = vista_.PantallaX(x1), by = vista_.PantallaY(y1);
  const double pasos = std::ceil(std::max(std::abs(bx - ax), std::abs(by - ay)));
  if (!(pasos < 1e6)) return;  // not finite or absurdly long
  const long n = std::max(1L, static_cast<long>(pasos));
  for (long i = 0; i <= n; ++i) {
    const double t = static_cast<double>(i) / n;
    Pon(ax + (bx - ax) * t, ay + (by - ay) * t, c);
  }
}

void LienzoMapa::Circulo(double cx, double cy, double radio, Color c) {
  const double r = radio * vista_.factor;
  if (!(r >= 0.0 && r < 1e5)) return;
  const double px = vista_.PantallaX(cx), py = vista_.PantallaY(cy);
  if (!std::isfinite(px) || !std::isfinite(py)) return;
  const long n = std::max(8L, static_cast<long>(std::ceil(2 * M_PI * r)));
  for (long i = 0; i < n; ++i) {
    const double a = 2 * M_PI * i / n;
    Pon(px + r * std::cos(a), py + r * std::sin(a), c);
  }
}

namespace {

// 3 x 5 glyphs, one row of three bits per entry, top row first.
struct Glifo {
  char c;
  uint8_t filas[5];
};
constexpr Glifo kGlifos[] = {
    {'0', {7, 5, 5, 5, 7}}, {'1', {2, 6, 2, 2, 7}}, {'2', {7, 1, 7, 4, 7}}, {'3', {7, 1, 7, 1, 7}},
    {'4', {5, 5, 7, 1, 1}}, {'5', {7, 4, 7, 1, 7}}, {'6', {7, 4, 7, 5, 7}}, {'7', {7, 1, 1, 1, 1}},
    {'8', {7, 5, 7, 5, 7}}, {'9', {7, 5, 7, 1, 7}}, {'A', {2, 5, 7, 5, 5}}, {'B', {6, 5, 6, 5, 6}},
    {'C', {7, 4, 4, 4, 7}}, {'D', {6, 5, 5, 5, 6}}, {'E', {7, 4, 6, 4, 7}}, {'F', {7, 4, 6, 4, 4}},
    {'G', {7, 4, 5, 5, 7}}, {'H', {5, 5, 7, 5, 5}}, {'I', {7, 2, 2, 2, 7}}, {'J', {1, 1, 1, 5, 7}},
    {'K', {5, 5, 6, 5, 5}}, {'L', {4, 4, 4, 4, 7}}, {'M', {5, 7, 7, 5, 5}}, {'N', {6, 5, 5, 5, 5}},
    {'O', {7, 5, 5, 5, 7}}, {'P', {7, 5, 7, 4, 4}}, {'Q', {7, 5, 5, 7, 1}}, {'R', {7, 5, 6, 5, 5}},
    {'S', {7, 4, 7, 1, 7}}, {'T', {7, 2, 2, 2, 2}}, {'U', {5, 5, 5, 5, 7}}, {'V', {5, 5, 5, 5, 2}},
    {'W', {5, 5, 7, 7, 5}}, {'X', {5, 5, 2, 5, 5}}, {'Y', {5, 5, 2, 2, 2}}, {'Z', {7, 1, 2, 4, 7}},
    {'-', {0, 0, 7, 0, 0}}, {'.', {0, 0, 0, 0, 2}}, {'+', {0, 2, 7, 2, 0}}, {'_', {0, 0, 0, 0, 7}},
    {'(', {1, 2, 2, 2, 1}}, {')', {4, 2, 2, 2, 4}},
};

const Glifo* BuscaGlifo(char c) {
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  for (const Glifo& g : kGlifos) {
    if (g.c == c) return &g;
  }
  return nullptr;
}

}  // namespace

void LienzoMapa::Texto(double x, double y, const std::string& texto, Color c) {
  if (!std::isfinite(x) || !std::isfinite(y) || std::abs(x) > 1e7 || std::abs(y) > 1e7) return;
  double px = std::floor(vista_.PantallaX(x));
  const double py = std::floor(vista_.PantallaY(y));
  for (char ch : texto) {
    if (const Glifo* g = BuscaGlifo(ch)) {
      for (int f = 0; f < 5; ++f) {
        for (int b = 0; b < 3; ++b) {
          if (g->filas[f] & (4 >> b)) Pon(px + b, py + f, c);
        }
      }
    }
    px += 4;  // unknown characters leave a blank
  }
}

}  // namespace orva
