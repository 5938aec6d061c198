// A deterministic synthetic 16-bit star field: sky with a gentle gradient and noise, and stars
// with Gaussian profiles, from a seeded generator of its own so every machine makes the same
// pixels (shared by the sample generator and the benchmarks).
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace orva {

// splitmix64: small, fast, and the same sequence everywhere.
class GeneradorCampo {
 public:
  explicit GeneradorCampo(uint64_t semilla) : estado_(semilla) {}
  uint64_t Siguiente() {
    uint64_t z = (estado_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in [0, 1).
  double Uniforme() { return static_cast<double>(Siguiente() >> 11) * 0x1.0p-53; }
  // Standard normal (Box-Muller, one value per call).
  double Normal() {
    const double u = 1.0 - Uniforme();
    const double v = Uniforme();
    return std::sqrt(-2.0 * std::log(u)) * std::cos(6.283185307179586 * v);
  }

 private:
  uint64_t estado_;
};

// ancho x alto pixels, row after row: sky about 1000 counts rising 10% across the field, read
// and photon noise, and numEstrellas stars (sigma 1.2 to 2.2 px, peaks 200 to 30000 counts on a
// steep luminosity function); values limited to 0..32767.
inline std::vector<int16_t> GeneraCampoEstelar(uint32_t ancho, uint32_t alto, uint64_t semilla,
                                               int numEstrellas) {
  GeneradorCampo g(semilla);
  std::vector<double> cielo(static_cast<size_t>(ancho) * alto);
  for (uint32_t y = 0; y < alto; ++y) {
    for (uint32_t x = 0; x < ancho; ++x) {
      cielo[static_cast<size_t>(y) * ancho + x] =
          1000.0 + 100.0 * (static_cast<double>(x) / ancho + static_cast<double>(y) / alto) / 2.0;
    }
  }
  for (int i = 0; i < numEstrellas; ++i) {
    const double cx = g.Uniforme() * ancho;
    const double cy = g.Uniforme() * alto;
    const double sigma = 1.2 + g.Uniforme();
    const double pico = 200.0 * std::pow(150.0, std::pow(g.Uniforme(), 3.0));
    const int r = static_cast<int>(std::ceil(5.0 * sigma));
    for (int dy = -r; dy <= r; ++dy) {
      for (int dx = -r; dx <= r; ++dx) {
        const long x = static_cast<long>(cx) + dx, y = static_cast<long>(cy) + dy;
        if (x < 0 || y < 0 || x >= static_cast<long>(ancho) || y >= static_cast<long>(alto)) {
          continue;
        }
        const double ex = x + 0.5 - cx, ey = y + 0.5 - cy;
        cielo[static_cast<size_t>(y) * ancho + static_cast<size_t>(x)] +=
            pico * std::exp(-(ex * ex + ey * ey) / (2.0 * sigma * sigma));
      }
    }
  }
  std::vector<int16_t> px(cielo.size());
  for (size_t i = 0; i < px.size(); ++i) {
    // Photon noise (gain 1) plus a read noise of 8 counts.
    const double v = cielo[i] + std::sqrt(cielo[i] + 64.0) * g.Normal();
    px[i] = static_cast<int16_t>(std::clamp(std::lround(v), 0L, 32767L));
  }
  return px;
}

}  // namespace orva
