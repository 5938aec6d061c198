// Synthetic star fields for the stellar and double-star tests: Gaussian stars, trails and
// deterministic noise on a flat sky, plus a progress object that records the log.
#pragma once

#include <algorithm>
#include <cmath>
#include <random>
#include <string>
#include <vector>

#include "core/Imagen.h"
#include "core/Progreso.h"

namespace orva::prueba {

struct EstrellaSintetica {
  double x, y;
  double amplitud;
  double sigma = 1.3;
};

// A w x h image of level cielo with the stars added (point-sampled Gaussians, rounded) and,
// when ruido > 0, Gaussian noise of that deviation from a fixed seed; statistics updated.
inline void CreaCampo(Imagen& im, int w, int h, double cielo,
                      const std::vector<EstrellaSintetica>& estrellas, double ruido = 0.0,
                      unsigned semilla = 1) {
  std::vector<double> v(static_cast<size_t>(w) * h, cielo);
  for (const EstrellaSintetica& e : estrellas) {
    const int r = static_cast<int>(std::ceil(6 * e.sigma));
    for (int y = std::max(0, static_cast<int>(e.y) - r); y <= std::min(h - 1, int(e.y) + r); ++y) {
      for (int x = std::max(0, static_cast<int>(e.x) - r); x <= std::min(w - 1, int(e.x) + r);
           ++x) {
        const double d2 = (x - e.x) * (x - e.x) + (y - e.y) * (y - e.y);
        v[static_cast<size_t>(y) * w + x] += e.amplitud * std::exp(-0.5 * d2 / (e.sigma * e.sigma));
      }
    }
  }
  std::mt19937 rng(semilla);
  std::normal_distribution<double> n(0.0, ruido > 0 ? ruido : 1.0);
  std::vector<int16_t> px(v.size());
  for (size_t i = 0; i < v.size(); ++i) {
    double p = v[i] + (ruido > 0 ? n(rng) : 0.0);
    p = std::clamp(std::round(p), -32768.0, 32767.0);
    px[i] = static_cast<int16_t>(p);
  }
  im.CambiaPixeles(static_cast<uint32_t>(w), static_cast<uint32_t>(h), std::move(px));
  im.Actualiza();
}

// A progress object that keeps every log line and can cancel after a number of polls.
class ProgresoRegistro : public ProgresoSilencioso {
 public:
  void AnadirLinea(const std::string& t) override { lineas.push_back(t); }
  int Cancelado() override { return cancelarTras >= 0 && ++consultas > cancelarTras ? 1 : 0; }
  bool Contiene(const std::string& prefijo) const {
    return std::any_of(lineas.begin(), lineas.end(),
                       [&](const std::string& l) { return l.rfind(prefijo, 0) == 0; });
  }
  int Cuenta(const std::string& prefijo) const {
    return static_cast<int>(std::count_if(lineas.begin(), lineas.end(), [&](const std::string& l) {
      return l.rfind(prefijo, 0) == 0;
    }));
  }
  std::vector<std::string> lineas;
  long cancelarTras = -1;
  long consultas = 0;
};

}  // namespace orva::prueba
