#include "planetary/DiscoSintetico.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>

#include "core/Imagen.h"

namespace orva {
namespace {

constexpr double kGrado = std::numbers::pi / 180.0;
constexpr double kAnchoBanda = 15.0;  // deg of latitude per zone or belt
constexpr double kContrasteBandas = 0.15;

double Albedo(const DiscoSintetico& d, const PuntoDisco& p) {
  double a = 1.0;
  if (d.bandas) {
    const double fase = std::cos(2.0 * std::numbers::pi * p.lat / (2.0 * kAnchoBanda));
    a *= 1.0 - kContrasteBandas * 0.5 * (1.0 + fase);
  }
  for (const ManchaSintetica& m : d.manchas) {
    // Great-circle distance on the sphere of planetographic coordinates.
    const double c =
        std::sin(p.lat * kGrado) * std::sin(m.lat * kGrado) +
        std::cos(p.lat * kGrado) * std::cos(m.lat * kGrado) * std::cos((p.lon - m.lon) * kGrado);
    if (std::acos(std::clamp(c, -1.0, 1.0)) / kGrado < m.radio) a *= 1.0 - m.contraste;
  }
  return a;
}

}  // namespace

void RenderizaDisco(const DiscoSintetico& d, ImagenPixeles& im) {
  const int n = std::max(d.submuestras, 1);
  std::vector<int16_t> px(static_cast<size_t>(d.ancho) * d.alto);
  for (int y = 0; y < d.alto; ++y) {
    for (int x = 0; x < d.ancho; ++x) {
      double suma = 0.0;
      for (int j = 0; j < n; ++j) {
        for (int i = 0; i < n; ++i) {
          const double sx = x - 0.5 + (i + 0.5) / n, sy = y - 0.5 + (j + 0.5) / n;
          PuntoDisco p;
          if (!PixelALonLat(d.geometria, sx, sy, p) || p.mu0 <= 0.0 || p.mu <= 0.0) continue;
          suma += d.brillo * std::pow(p.mu0, d.k) * std::pow(p.mu, d.k - 1.0) * Albedo(d, p);
        }
      }
      const double v = d.fondo + suma / (n * n);
      px[static_cast<size_t>(y) * d.ancho + x] =
          static_cast<int16_t>(std::clamp(std::lround(v), -32768L, 32767L));
    }
  }
  im.CambiaPixeles(d.ancho, d.alto, std::move(px));
}

}  // namespace orva
