// A synthetic long-slit frame with known lines, shared by the spectra and desktop tests.
#pragma once

#include <cmath>
#include <random>
#include <vector>

#include "core/Imagen.h"
#include "spectra/Espectro.h"

namespace orva::prueba {

inline constexpr double kPi = 3.14159265358979323846;

struct LineaSintetica {
  double centro;    // pixels along the dispersion
  double amplitud;  // fraction of the continuum: < 0 absorption, > 0 emission
  double sigma;
};

inline const std::vector<LineaSintetica> kLineas = {
    {60.3, -0.5, 2.0}, {121.7, -0.35, 1.5}, {190.45, -0.6, 2.5}, {250.2, 0.4, 1.8}};

// The wavelength of a pixel along the dispersion in the synthetic frames.
inline double LongitudVerdadera(double x) {
  return 4000.0 + 2.1 * x + 1.0e-4 * x * x;
}

// A 360 x 140 frame: a spectrum 300 px long from (20, 70) at angle 'grados', a Gaussian profile
// across it (sigma 1.5), a continuum rising along it, the lines above, a tilted sky plane and
// Gaussian noise of 5 units per pixel.
inline BandaEspectro CreaEspectro(Imagen& im, double grados) {
  constexpr int kAncho = 360, kAlto = 140;
  constexpr double kLargo = 300, kSigmaPerfil = 1.5, kRuido = 5;
  BandaEspectro b;
  b.x1 = 20;
  b.y1 = 70;
  const double ux = std::cos(grados * kPi / 180), uy = std::sin(grados * kPi / 180);
  b.x2 = b.x1 + kLargo * ux;
  b.y2 = b.y1 + kLargo * uy;
  std::mt19937 gen(7);
  std::normal_distribution<double> ruido(0.0, kRuido);
  im.DimensionaImagen(kAncho, kAlto);
  for (int y = 0; y < kAlto; ++y) {
    for (int x = 0; x < kAncho; ++x) {
      const double dx = x - b.x1, dy = y - b.y1;
      const double t = dx * ux + dy * uy, d = -dx * uy + dy * ux;
      double espectro = 2000 + 3 * t;
      for (const LineaSintetica& l : kLineas) {
        const double u = (t - l.centro) / l.sigma;
        espectro += (2000 + 3 * t) * l.amplitud * std::exp(-0.5 * u * u);
      }
      const double v = 500 + 0.5 * x + 0.3 * y +
                       espectro * std::exp(-0.5 * d * d / (kSigmaPerfil * kSigmaPerfil)) +
                       ruido(gen);
      im.PonPixel(static_cast<long>(x), static_cast<long>(y), static_cast<int16_t>(std::lround(v)));
    }
  }
  im.Actualiza();
  b.ancho = 13;  // wide enough to hold the whole profile: no ripple from the sampling phase
  b.distanciaCielo = 15;
  return b;
}

}  // namespace orva::prueba
