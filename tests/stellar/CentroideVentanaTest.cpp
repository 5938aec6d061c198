// The registration's window centroid against the truth: Gaussian stars at random sub-pixel
// positions with the noise of a camera (sky, read noise and the signal's own), its bias, its
// scatter against its own error estimate, and the cases where it must give up.
#include <gtest/gtest.h>

#include <cmath>
#include <random>
#include <vector>

#include "core/Imagen.h"
#include "core/Rango.h"
#include "stellar/EstrellasRegistro.h"

namespace orva {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kLado = 41;
constexpr double kCielo = 300.0, kLectura = 6.0;

// A kLado square frame of sky kCielo (electrons, gain 1) with a Gaussian star of the given total
// flux and sigma at (x, y), point-sampled; with ruido, each pixel gets the noise of its
// electrons plus the read noise. Rounded to whole units like a camera's output.
void Estrella(Imagen& im, double x, double y, double flujo, double sigma, bool ruido,
              std::mt19937& rng) {
  std::normal_distribution<double> normal(0.0, 1.0);
  std::vector<int16_t> px(static_cast<size_t>(kLado) * kLado);
  const double pico = flujo / (2.0 * kPi * sigma * sigma);
  for (int f = 0; f < kLado; ++f) {
    for (int c = 0; c < kLado; ++c) {
      const double d2 = (c - x) * (c - x) + (f - y) * (f - y);
      double v = kCielo + pico * std::exp(-0.5 * d2 / (sigma * sigma));
      if (ruido) v += std::sqrt(v + kLectura * kLectura) * normal(rng);
      px[static_cast<size_t>(f) * kLado + static_cast<size_t>(c)] =
          static_cast<int16_t>(std::clamp(std::round(v), -32768.0, 32767.0));
    }
  }
  im.CambiaPixeles(kLado, kLado, std::move(px));
  im.Actualiza();
}

TEST(CentroideVentanaTest, UnbiasedWithAnHonestErrorAtRandomSubpixelPositions) {
  Rango() = RangoPixeles{0, 32767, 0};
  struct Caso {
    const char* nombre;
    double flujo, sigmaEstrella, sigmaVentana;
    bool ruido;
  };
  const Caso casos[] = {
      {"no noise", 2e4, 1.3, 1.3, false},       {"bright", 3e5, 1.3, 1.3, true},
      {"faint", 1e4, 1.3, 1.3, true},           {"window too narrow", 3e4, 1.8, 1.3, true},
      {"window too wide", 3e4, 1.1, 1.6, true},
  };
  constexpr int kEstrellas = 400;
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    std::mt19937 rng(17);
    std::uniform_real_distribution<double> fase(-0.5, 0.5), inicio(-1.0, 1.0);
    ParametrosVentana p;
    p.sigma = c.sigmaVentana;
    p.cielo = kCielo;
    p.varCielo = kCielo + kLectura * kLectura;
    double sesgoX = 0, sesgoY = 0, error2 = 0, varianza = 0, peor = 0;
    for (int i = 0; i < kEstrellas; ++i) {
      const double x = kLado / 2 + fase(rng), y = kLado / 2 + fase(rng);
      Imagen im;
      Estrella(im, x, y, c.flujo, c.sigmaEstrella, c.ruido, rng);
      // Started where a finder may leave it, up to a pixel off.
      const PosicionVentana r = CentroideVentana(im, x + inicio(rng), y + inicio(rng), p);
      ASSERT_TRUE(r.converge) << i;
      sesgoX += r.x - x;
      sesgoY += r.y - y;
      error2 += (r.x - x) * (r.x - x) + (r.y - y) * (r.y - y);
      varianza += 2.0 * r.varianza;
      peor = std::max({peor, std::fabs(r.x - x), std::fabs(r.y - y)});
    }
    EXPECT_LT(std::fabs(sesgoX / kEstrellas), 0.005);
    EXPECT_LT(std::fabs(sesgoY / kEstrellas), 0.005);
    if (!c.ruido) {
      // Only the rounding of the pixels moves it.
      EXPECT_LT(peor, 0.002);
      continue;
    }
    const double dispersion = std::sqrt(error2 / kEstrellas);
    const double estimada = std::sqrt(varianza / kEstrellas);
    EXPECT_LT(dispersion, c.flujo > 1e5 ? 0.01 : 0.06);
    EXPECT_GT(estimada, dispersion / 1.5) << dispersion;
    EXPECT_LT(estimada, dispersion * 1.5) << dispersion;
  }
}

TEST(CentroideVentanaTest, GivesUpWhereThereIsNoStarToCentre) {
  Rango() = RangoPixeles{0, 32767, 0};
  std::mt19937 rng(5);
  Imagen estrella, vacio, ruido;
  Estrella(estrella, 20.3, 19.6, 3e4, 1.3, false, rng);
  Estrella(vacio, 20, 20, 0.0, 1.3, false, rng);
  Estrella(ruido, 20, 20, 0.0, 1.3, true, rng);
  ParametrosVentana p;
  p.cielo = kCielo;
  p.varCielo = kCielo;
  ParametrosVentana sinCielo = p;
  sinCielo.cielo = std::nan("");
  struct Caso {
    const char* nombre;
    const Imagen* im;
    double x, y;
    ParametrosVentana p;
  };
  const Caso casos[] = {
      {"window off the image", &estrella, 2.0, 20.0, p},
      {"beyond the image", &estrella, 1e12, 20.0, p},
      {"position not a number", &estrella, std::nan(""), 20.0, p},
      {"sky not a number", &estrella, 20.0, 20.0, sinCielo},
      {"flat sky", &vacio, 20.0, 20.0, p},
      {"noise only", &ruido, 20.0, 20.0, p},
  };
  for (const Caso& c : casos) {
    SCOPED_TRACE(c.nombre);
    const PosicionVentana r = CentroideVentana(*c.im, c.x, c.y, c.p);
    EXPECT_FALSE(r.converge);
    if (std::isfinite(c.x)) {
      EXPECT_EQ(r.x, c.x);  // the start stands
    }
  }
  // The star itself, from more than a pixel away.
  const PosicionVentana r = CentroideVentana(estrella, 21.5, 18.5, p);
  ASSERT_TRUE(r.converge);
  EXPECT_NEAR(r.x, 20.3, 0.002);
  EXPECT_NEAR(r.y, 19.6, 0.002);
}

}  // namespace
}  // namespace orva
