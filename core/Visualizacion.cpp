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

MapaRGB RenderizaImagen(const Imagen& im, double factor) {
  MapaRGB m;
  m.ancho = TamanoZoom(im.Ancho(), factor);
  m.alto = TamanoZoom(im.Alto(), factor);
  m.rgb.assign(static_cast<size_t>(m.ancho) * m.alto * 3, 0);
  // Source column of every screen column, computed once.
  std::vector<uint32_t> columnas(m.ancho);
  for (uint32_t x = 0; x < m.ancho; ++x) {
    columnas[x] = std::min(im.Ancho() - 1, static_cast<uint32_t>(x / factor));
  }
  for (uint32_t y = 0; y < m.alto; ++y) {
    const uint32_t fila = std::min(im.Alto() - 1, static_cast<uint32_t>(y / factor));
    const int16_t* origen = im.Pixeles().data() + static_cast<size_t>(fila) * im.Ancho();
    uint8_t* destino = m.rgb.data() + static_cast<size_t>(y) * m.ancho * 3;
    for (uint32_t x = 0; x < m.ancho; ++x) {
      const int v = origen[columnas[x]];
      if (im.esPaleta) {
        const size_t i = static_cast<size_t>(v & 0xFF) * 3;
        destino[3 * x] = im.paleta[i];
        destino[3 * x + 1] = im.paleta[i + 1];
        destino[3 * x + 2] = im.paleta[i + 2];
      } else {
        const uint8_t g = im.Gris(v);
        destino[3 * x] = destino[3 * x + 1] = destino[3 * x + 2] = g;
      }
    }
  }
  return m;
}

void LienzoMapa::Linea(double x0, double y0, double x1, double y1, Color c) {
  const double ax = x0 * factor_, ay = y0 * factor_, bx = x1 * factor_, by = y1 * factor_;
  const double pasos = std::ceil(std::max(std::abs(bx - ax), std::abs(by - ay)));
  if (!(pasos < 1e6)) return;  // not finite or absurdly long
  const long n = std::max(1L, static_cast<long>(pasos));
  for (long i = 0; i <= n; ++i) {
    const double t = static_cast<double>(i) / n;
    mapa_.Pon(std::lround(ax + (bx - ax) * t), std::lround(ay + (by - ay) * t), c);
  }
}

void LienzoMapa::Circulo(double cx, double cy, double radio, Color c) {
  const double r = radio * factor_;
  if (!(r >= 0.0 && r < 1e5)) return;
  const long n = std::max(8L, static_cast<long>(std::ceil(2 * M_PI * r)));
  for (long i = 0; i < n; ++i) {
    const double a = 2 * M_PI * i / n;
    mapa_.Pon(std::lround(cx * factor_ + r * std::cos(a)),
              std::lround(cy * factor_ + r * std::sin(a)), c);
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
  long px = std::lround(x * factor_);
  const long py = std::lround(y * factor_);
  for (char ch : texto) {
    if (const Glifo* g = BuscaGlifo(ch)) {
      for (int f = 0; f < 5; ++f) {
        for (int b = 0; b < 3; ++b) {
          if (g->filas[f] & (4 >> b)) mapa_.Pon(px + b, py + f, c);
        }
      }
    }
    px += 4;  // unknown characters leave a blank
  }
}

}  // namespace orva
