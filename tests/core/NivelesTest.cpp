// Levels from the pixels: zscale against astropy's ZScaleInterval, percentiles, the word parser.
#include "core/Niveles.h"

#include <gtest/gtest.h>

#include <cstdint>

#include "core/Imagen.h"
#include "core/Rango.h"
#include "shell/Configuracion.h"

namespace orva {
namespace {

// A narrow sky (1000..1020) with 2 % hot and 1 % cold outliers: the fit must reject the tails.
double ValorSintetico(size_t i) {
  if (i % 50 == 0) return 30000.0;
  if (i % 101 == 0) return -500.0;
  const uint64_t h = (static_cast<uint64_t>(i) * 2654435761ull) % 4294967296ull;
  return 1000.0 + 20.0 * (static_cast<double>(h) / 4294967296.0);
}

TEST(Niveles, ZScaleMatchesAstropy) {
  // Limits computed with astropy.visualization.ZScaleInterval() (defaults) on the same values.
  struct Caso {
    std::vector<double> valores;
    double bajo, alto;
  };
  std::vector<double> cielo;
  for (size_t i = 0; i < 12345; ++i) cielo.push_back(ValorSintetico(i));
  std::vector<double> rampa;  // periodic ramp with spikes: the low limit is the sample minimum
  for (size_t i = 0; i < 20000; ++i) rampa.push_back((i * 37) % 101 + (i % 97 == 0 ? 5000 : 0));
  const Caso casos[] = {
      {cielo, 968.4909579624201, 1052.6099230164891},
      {rampa, 0.0, 255.48151657612019},
      {std::vector<double>(50, 3.0), 3.0, 3.0},
      {{}, 0.0, 0.0},
  };
  for (const Caso& c : casos) {
    double bajo = -1, alto = -1;
    ZScale(c.valores, bajo, alto);
    EXPECT_NEAR(bajo, c.bajo, 1e-6) << c.valores.size();
    EXPECT_NEAR(alto, c.alto, 1e-6) << c.valores.size();
  }
}

TEST(Niveles, MethodsOnAnImageAndTheirWords) {
  Configuracion::Global().RestableceDefectos();
  Rango() = RangoPixeles{-32768, 32767, 0};
  Imagen im;
  im.DimensionaImagen(100, 10);
  for (size_t i = 0; i < im.NumPixeles(); ++i) im.Pixeles()[i] = static_cast<int16_t>(i % 1000);
  im.Pixeles()[0] = -300;  // one cold and one hot pixel: minmax follows them, the others do not
  im.Pixeles()[1] = 20000;
  im.Actualiza();
  struct Caso {
    std::vector<std::string> palabras;
    size_t usadas;
    int negroMin, negroMax, blancoMin, blancoMax;
  };
  const Caso casos[] = {
      {{"minmax"}, 1, -300, -300, 20000, 20000},
      {{"percentile", "1", "99.5"}, 3, 5, 15, 990, 999},
      {{"zscale"}, 1, -300, -300, 2400, 2600},  // a flat histogram: 4x the sample spread
      {{"percentile", "50", "10"}, 0, 0, 0, 0, 0},
      {{"percentile", "1"}, 0, 0, 0, 0, 0},
      {{"percentile", "x", "9"}, 0, 0, 0, 0, 0},
      {{"median"}, 0, 0, 0, 0, 0},
  };
  for (const Caso& c : casos) {
    EleccionNiveles e;
    ASSERT_EQ(LeeEleccionNiveles(c.palabras, 0, e), c.usadas) << c.palabras[0];
    if (c.usadas == 0) continue;
    const Niveles n = CalculaNiveles(im, e);
    EXPECT_GE(n.negro, c.negroMin) << c.palabras[0];
    EXPECT_LE(n.negro, c.negroMax) << c.palabras[0];
    EXPECT_GE(n.blanco, c.blancoMin) << c.palabras[0];
    EXPECT_LE(n.blanco, c.blancoMax) << c.palabras[0];
  }
  // A flat image still gets white above black.
  std::fill(im.Pixeles().begin(), im.Pixeles().end(), int16_t{7});
  im.Actualiza();
  for (MetodoNiveles m :
       {MetodoNiveles::kMinMax, MetodoNiveles::kPercentil, MetodoNiveles::kZScale}) {
    const Niveles n = CalculaNiveles(im, EleccionNiveles{m, 1, 99.5});
    EXPECT_GT(n.blanco, n.negro);
  }
}

}  // namespace
}  // namespace orva
