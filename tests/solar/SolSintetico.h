// A synthetic Sun for the tests: a limb-darkened disc on a sky, optionally a corona and Venus.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "core/Imagen.h"

namespace orva::prueba {

struct SolSintetico {
  int w = 400, h = 400;
  double cx = 200.3, cy = 199.6, radio = 150;
  double i0 = 20000, fondo = 100;
  double a = 0.6, b = 0;  // I(mu)/I0 = 1 - a (1 - mu) - b (1 - mu)^2
  double corona = 0;      // corona brightness at the limb, falling as (r/R)^-8
  bool venus = false;
  double vx = 0, vy = 0, vr = 0;
};

// Pixel (i, j) covers [i - 0.5, i + 0.5]; pixels on an edge are averaged over 16 x 16 samples.
inline void Dibuja(const SolSintetico& s, ImagenPixeles& im) {
  auto f = [&s](double x, double y) {
    if (s.venus && std::hypot(x - s.vx, y - s.vy) < s.vr) return s.fondo;
    const double r = std::hypot(x - s.cx, y - s.cy) / s.radio;
    if (r >= 1) return s.fondo + s.corona * std::pow(r, -8.0);
    const double x1 = 1 - std::sqrt(1 - r * r);
    return s.fondo + s.i0 * (1 - s.a * x1 - s.b * x1 * x1);
  };
  constexpr int kSub = 16;
  std::vector<int16_t> px(static_cast<size_t>(s.w) * s.h);
  for (int j = 0; j < s.h; ++j) {
    for (int i = 0; i < s.w; ++i) {
      const bool borde = std::fabs(std::hypot(i - s.cx, j - s.cy) - s.radio) < 1 ||
                         (s.venus && std::fabs(std::hypot(i - s.vx, j - s.vy) - s.vr) < 1);
      double v = 0;
      if (borde) {
        for (int u = 0; u < kSub; ++u)
          for (int t = 0; t < kSub; ++t)
            v += f(i - 0.5 + (t + 0.5) / kSub, j - 0.5 + (u + 0.5) / kSub);
        v /= kSub * kSub;
      } else {
        v = f(i, j);
      }
      px[static_cast<size_t>(j) * s.w + i] = static_cast<int16_t>(std::lround(v));
    }
  }
  im.CambiaPixeles(static_cast<uint32_t>(s.w), static_cast<uint32_t>(s.h), std::move(px));
}

}  // namespace orva::prueba
