// Plain reference versions of the image operations, written straight from their formulas, and
// the helpers the processing tests share (random images, a cancelling progress object).
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <functional>
#include <random>
#include <vector>

#include "core/Imagen.h"
#include "core/Progreso.h"
#include "core/Rango.h"
#include "processing/Filtros.h"

namespace orva::prueba {

struct Bloque {
  int w = 0, h = 0;
  std::vector<int16_t> p;
  int16_t At(int x, int y) const { return p[static_cast<size_t>(y) * w + x]; }
};

inline int16_t Sat(int64_t v) {
  return static_cast<int16_t>(std::clamp<int64_t>(v, -32768, 32767));
}

// Random pixels: kind 0 the whole 16-bit range with the extremes sprinkled in, kind 1 a narrow
// range (many ties), kind 2 a constant block.
inline Bloque Aleatorio(int w, int h, int tipo, uint32_t semilla) {
  std::mt19937 g(semilla);
  Bloque b{w, h, std::vector<int16_t>(static_cast<size_t>(w) * h)};
  std::uniform_int_distribution<int> todo(-32768, 32767), poco(0, 40), cual(0, 9);
  for (auto& v : b.p) {
    if (tipo == 2) {
      v = 1234;
    } else if (tipo == 1) {
      v = static_cast<int16_t>(poco(g));
    } else {
      const int c = cual(g);
      v = static_cast<int16_t>(c == 0 ? -32768 : c == 1 ? 32767 : todo(g));
    }
  }
  return b;
}

// The sizes every comparison walks: tiny, odd and even.
inline const std::vector<std::pair<int, int>>& Tamanos() {
  static const std::vector<std::pair<int, int>> t = {{1, 1}, {2, 1}, {3, 2},   {4, 4},   {5, 7},
                                                     {8, 8}, {9, 6}, {16, 11}, {23, 17}, {40, 33}};
  return t;
}

inline void Carga(Imagen& im, const Bloque& b) {
  im.CambiaPixeles(static_cast<uint32_t>(b.w), static_cast<uint32_t>(b.h), b.p);
  im.Modificada(1);
}

// ---- filters -------------------------------------------------------------------------------

inline Bloque RefConvEntera(const Bloque& in, const NucleoEntero& k, double a, double b, int c) {
  Bloque out = in;
  const int h = (k.n - 1) / 2;
  for (int y = h; y < in.h - h; ++y)
    for (int x = h; x < in.w - h; ++x) {
      int64_t s = 0;
      for (int dy = -h; dy <= h; ++dy)
        for (int dx = -h; dx <= h; ++dx) s += int64_t{in.At(x + dx, y + dy)} * k.En(dy + h, dx + h);
      const int64_t f = s / k.divisor;
      const double t = static_cast<double>(f + k.offset) * b + a * in.At(x, y);
      out.p[static_cast<size_t>(y) * in.w + x] = Sat(static_cast<int64_t>(std::trunc(t)) + c);
    }
  return out;
}

inline Bloque RefConvReal(const Bloque& in, const NucleoReal& k, double a, double b, int c) {
  Bloque out = in;
  const int h = (k.n - 1) / 2;
  for (int y = h; y < in.h - h; ++y)
    for (int x = h; x < in.w - h; ++x) {
      int64_t s = 0;
      for (int dy = -h; dy <= h; ++dy)
        for (int dx = -h; dx <= h; ++dx)
          s += static_cast<int64_t>(std::trunc(in.At(x + dx, y + dy) * k.En(dy + h, dx + h)));
      const int64_t f = static_cast<int64_t>(std::trunc(s / k.divisor + k.offset));
      const double t = static_cast<double>(f) * b + a * in.At(x, y);
      out.p[static_cast<size_t>(y) * in.w + x] = Sat(static_cast<int64_t>(std::trunc(t)) + c);
    }
  return out;
}

inline Bloque RefGradiente(const Bloque& in, const NucleoReal& k, double a, double b) {
  // The partner kernel, built here from its definition.
  NucleoReal k2 = k;
  if (k.n == 2) {
    for (int i = 0; i < 3; ++i) std::swap(k2.En(i, 1), k2.En(i, 2));
  } else {
    for (int i = 0; i < k.n; ++i)
      for (int j = 0; j < k.n; ++j) k2.En(i, j) = k.En(k.n - 1 - j, i);
  }
  Bloque out = in;
  const int h = k.n == 2 ? 1 : (k.n - 1) / 2;
  for (int y = h; y < in.h - h; ++y)
    for (int x = h; x < in.w - h; ++x) {
      double g1 = 0, g2 = 0;
      for (int dy = -h; dy <= h; ++dy)
        for (int dx = -h; dx <= h; ++dx) {
          g1 += in.At(x + dx, y + dy) * k.En(dy + h, dx + h);
          g2 += in.At(x + dx, y + dy) * k2.En(dy + h, dx + h);
        }
      const double m = std::trunc(std::sqrt(g1 * g1 + g2 * g2));
      out.p[static_cast<size_t>(y) * in.w + x] =
          Sat(static_cast<int64_t>(std::trunc(m * b + a * in.At(x, y))));
    }
  return out;
}

inline Bloque RefMediana(const Bloque& in, double f, int h) {
  Bloque out = in;
  if (h <= 0) return out;
  for (int y = h; y < in.h - h; ++y)
    for (int x = h; x < in.w - h; ++x) {
      std::vector<int> v;
      for (int dy = -h; dy <= h; ++dy)
        for (int dx = -h; dx <= h; ++dx) v.push_back(in.At(x + dx, y + dy));
      std::sort(v.begin(), v.end(), std::greater<int>());
      const int m = v[(v.size() - 1) / 2];
      const int spread = v[1] - v[7];
      if (std::abs(in.At(x, y) - m) > f * spread)
        out.p[static_cast<size_t>(y) * in.w + x] = static_cast<int16_t>(m);
    }
  return out;
}

inline Bloque RefContraste(const Bloque& in, int s, int modo) {
  Bloque out = in;
  const int h = (s - 1) / 2;
  const double n = static_cast<double>(s) * s;
  for (int y = h; y < in.h - h; ++y)
    for (int x = h; x < in.w - h; ++x) {
      double suma = 0;
      for (int dy = -h; dy <= h; ++dy)
        for (int dx = -h; dx <= h; ++dx) suma += in.At(x + dx, y + dy);
      const double media = suma / n;
      double var = 0;
      for (int dy = -h; dy <= h; ++dy)
        for (int dx = -h; dx <= h; ++dx) {
          const double d = std::trunc(in.At(x + dx, y + dy) - media);
          var += d * d;
        }
      const double sd = std::sqrt(var / n);
      if (sd == 0) continue;
      const double r = (modo == 0 ? media : in.At(x, y)) / sd;
      out.p[static_cast<size_t>(y) * in.w + x] = Sat(static_cast<int64_t>(std::trunc(r)));
    }
  return out;
}

// ---- geometry ------------------------------------------------------------------------------

inline int16_t RefBilineal(const Bloque& in, double x, double y, int16_t fill) {
  if (x >= in.w || y >= in.h || x < 0 || y < 0) return fill;
  const long x0 = static_cast<long>(std::trunc(x)), y0 = static_cast<long>(std::trunc(y));
  if (x == x0 && y == y0) return in.At(static_cast<int>(x0), static_cast<int>(y0));
  auto px = [&](long xx, long yy) -> double {
    return xx < in.w && yy < in.h ? in.At(static_cast<int>(xx), static_cast<int>(yy)) : fill;
  };
  const double fx = x - x0, fy = y - y0;
  return static_cast<int16_t>(
      std::trunc(px(x0, y0) * (1 - fx) * (1 - fy) + px(x0, y0 + 1) * (1 - fx) * fy +
                 px(x0 + 1, y0) * fx * (1 - fy) + px(x0 + 1, y0 + 1) * fx * fy));
}

inline Bloque RefRotacion(const Bloque& in, double a, double cx, double cy, int16_t fill) {
  Bloque out = in;
  const double t = -a * M_PI / 180.0, c = std::cos(t), s = std::sin(t);
  for (int y = 0; y < in.h; ++y)
    for (int x = 0; x < in.w; ++x) {
      const double sx = (x - cx) * c + cx - (y - cy) * s;
      const double sy = (x - cx) * s + cy + (y - cy) * c;
      out.p[static_cast<size_t>(y) * in.w + x] = RefBilineal(in, sx, sy, fill);
    }
  return out;
}

inline Bloque RefVentana(const Bloque& in, double ox, double oy, int w, int h, int16_t fill) {
  Bloque out{w, h, std::vector<int16_t>(static_cast<size_t>(w) * h, fill)};
  for (int y = 0; y < h; ++y)
    for (int x = 0; x < w; ++x)
      out.p[static_cast<size_t>(y) * w + x] = RefBilineal(in, x + ox, y + oy, fill);
  return out;
}

inline Bloque RefRedim(const Bloque& in, int x0, int y0, int sw, int sh, int nw, int nh,
                       int16_t fill) {
  Bloque out{nw, nh, std::vector<int16_t>(static_cast<size_t>(nw) * nh)};
  for (int y = 0; y < nh; ++y)
    for (int x = 0; x < nw; ++x)
      out.p[static_cast<size_t>(y) * nw + x] = RefBilineal(
          in, static_cast<double>(x) * sw / nw + x0, static_cast<double>(y) * sh / nh + y0, fill);
  return out;
}

// ---- progress ------------------------------------------------------------------------------

// Answers "cancelled" from the given poll on (counting from 1).
class ProgresoQueCancela : public ProgresoSilencioso {
 public:
  explicit ProgresoQueCancela(int desde) : desde_(desde) { InstalaProgreso(this); }
  ~ProgresoQueCancela() override { InstalaProgreso(nullptr); }
  int Cancelado() override { return ++llamadas_ >= desde_; }

 private:
  int desde_;
  int llamadas_ = 0;
};

}  // namespace orva::prueba
