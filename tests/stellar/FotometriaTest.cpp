// Aperture photometry: sky histogram and its clipping against a plain reference, aperture sums,
// saturation, failure values and the integer centre.
#include "stellar/Fotometria.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

#include "core/Imagen.h"
#include "core/Rango.h"
#include "shell/Configuracion.h"
#include "stellar/CampoSintetico.h"

namespace orva {
namespace {

class FotometriaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Configuracion::Global().RestableceDefectos();
    Rango() = RangoPixeles{0, 32767, 0};
  }
  void TearDown() override { Configuracion::Global().RestableceDefectos(); }

  static void Plana(Imagen& im, int w, int h, int16_t v) {
    im.CambiaPixeles(w, h, std::vector<int16_t>(static_cast<size_t>(w) * h, v));
    im.Actualiza();
  }
};

TEST_F(FotometriaTest, DefaultsComeFromTheSettings) {
  const ParametrosFotometria p = LeeParametrosFotometria();
  EXPECT_EQ(p.radioEstrella, 7);
  EXPECT_DOUBLE_EQ(p.constanteMag, 25.0);
  EXPECT_EQ(p.valorSaturacion, 32767);
  EXPECT_EQ(p.radioCieloInt, 15);
  EXPECT_EQ(p.radioCieloExt, 20);
  EXPECT_EQ(p.maxIteraciones, 1);
  EXPECT_EQ(p.usarMediaCielo, 0);
}

// A clean sum of 10^((C - m) / 2.5) gives m, on any flat sky and with either sky statistic.
TEST_F(FotometriaTest, KnownCleanSumGivesKnownMagnitude) {
  struct Caso {
    int16_t cielo;
    int usarMedia;
    double constante;
    double limpia;
    double magnitud;
  };
  const Caso casos[] = {
      {0, 0, 25, 10000, 15.0}, {100, 0, 25, 10000, 15.0}, {100, 1, 25, 10000, 15.0},
      {-50, 0, 25, 100, 20.0}, {1000, 0, 20, 1000, 12.5},
  };
  for (const Caso& c : casos) {
    Imagen im;
    Plana(im, 60, 60, c.cielo);
    // The flux split over the centre and one neighbour, both inside the aperture.
    im.PonPixel(30L, 30L, static_cast<int16_t>(c.cielo + c.limpia / 2));
    im.PonPixel(31L, 30L, static_cast<int16_t>(c.cielo + c.limpia / 2));
    ParametrosFotometria p;
    p.constanteMag = c.constante;
    p.usarMediaCielo = c.usarMedia;
    const ResultadoFotometria r = MideEstrella(im, 30.4, 30.2, p);
    SCOPED_TRACE(c.cielo);
    EXPECT_EQ(r.estado, 1);
    EXPECT_DOUBLE_EQ(r.cielo, c.cielo);
    EXPECT_DOUBLE_EQ(r.desvCielo, 1.0);  // a flat ring has no variance
    EXPECT_EQ(r.numPixeles, 149);        // pixels within radius 7 of a point
    EXPECT_DOUBLE_EQ(r.sumaLimpia, c.limpia);
    EXPECT_NEAR(r.magnitud, c.magnitud, 1e-12);
  }
}

TEST_F(FotometriaTest, SaturatedAperturePixelFailsWithMinus99) {
  for (int saturacion : {32767, 1000}) {
    Imagen im;
    Plana(im, 60, 60, 10);
    im.PonPixel(25L, 28L, static_cast<int16_t>(saturacion));  // at the aperture's edge
    ParametrosFotometria p;
    p.valorSaturacion = saturacion;
    const ResultadoFotometria r = MideEstrella(im, 30, 30, p);
    EXPECT_EQ(r.estado, 0);
    EXPECT_DOUBLE_EQ(r.magnitud, kMagSaturada);
    EXPECT_DOUBLE_EQ(r.sumaLimpia, 1.0);
    // One below the saturation value measures.
    im.PonPixel(25L, 28L, static_cast<int16_t>(saturacion - 1));
    EXPECT_EQ(MideEstrella(im, 30, 30, p).estado, 1);
  }
}

TEST_F(FotometriaTest, NoFluxAboveSkyFailsWith99) {
  Imagen im;
  Plana(im, 60, 60, 10);
  ParametrosFotometria p;
  ResultadoFotometria r = MideEstrella(im, 30, 30, p);
  EXPECT_EQ(r.estado, 0);
  EXPECT_DOUBLE_EQ(r.magnitud, kMagSinFlujo);
  EXPECT_DOUBLE_EQ(r.sumaLimpia, 0.0);
  // Far outside the image: no ring, no aperture.
  r = MideEstrella(im, -500, 30, p);
  EXPECT_EQ(r.estado, 0);
  EXPECT_DOUBLE_EQ(r.magnitud, kMagSinFlujo);
  r = MideEstrella(im, std::nan(""), 30, p);
  EXPECT_EQ(r.estado, 0);
}

// The centre is the integer part: a star at (10.9, 10.9) is measured around (10, 10), so a
// pixel 7 columns left of (10, 10) is in the aperture although it is 8 from (11, 11).
TEST_F(FotometriaTest, CentreIsTruncatedNotRounded) {
  Imagen im;
  Plana(im, 40, 40, 0);
  im.PonPixel(3L, 10L, 500);
  ParametrosFotometria p;
  const ResultadoFotometria r = MideEstrella(im, 10.9, 10.9, p);
  EXPECT_DOUBLE_EQ(r.sumaBruta, 500.0);
  EXPECT_DOUBLE_EQ(MideEstrella(im, 11.0, 11.0, p).sumaBruta, 0.0);
}

TEST_F(FotometriaTest, ApertureKeepsToTheImage) {
  Imagen im;
  Plana(im, 10, 10, 1);
  double suma = 0;
  int32_t n = 0;
  ASSERT_EQ(SumaApertura(im, 0, 0, 2, 32767, suma, n), 1);
  EXPECT_EQ(n, 6);  // (0,0) (1,0) (2,0) (0,1) (1,1) (0,2)
  EXPECT_DOUBLE_EQ(suma, 6.0);
}

// With no clipping the sky is the raw mode or raw mean of the ring; one pass removes the
// outliers from the mean.
TEST_F(FotometriaTest, ClippingPassesOfTheSkyRing) {
  Imagen im;
  Plana(im, 60, 60, 100);
  // Bright outliers on the ring (distance 16 to 19 from (30, 30)).
  for (int k = 0; k < 12; ++k) im.PonPixel(30L + 16 + (k % 3), 26L + k / 3 * 2, 5000);
  const Cielo moda0 = EstimaCielo(im, 30, 30, 15, 20, 0, 0);
  const Cielo media0 = EstimaCielo(im, 30, 30, 15, 20, 0, 1);
  const Cielo media1 = EstimaCielo(im, 30, 30, 15, 20, 1, 1);
  EXPECT_DOUBLE_EQ(moda0.nivel, 100.0);
  EXPECT_GT(media0.nivel, 150.0);
  EXPECT_DOUBLE_EQ(media1.nivel, 100.0);
  EXPECT_DOUBLE_EQ(media1.desviacion, 1.0);  // only the single bin is left
  EXPECT_LT(media1.numPixeles, media0.numPixeles);
}

// Plain reference of the sky estimate: sorted values, full recomputation per pass.
Cielo CieloReferencia(std::vector<int> v, int pasadas, int usarMedia) {
  auto estad = [](const std::vector<int>& s, double& media, double& sigma, int& mediana,
                  int& moda) {
    const double n = static_cast<double>(s.size());
    double s1 = 0, s2 = 0;
    for (int x : s) {
      s1 += x;
      s2 += double(x) * x;
    }
    media = s1 / n;
    const double var = s2 - n * media * media;
    sigma = var > 0 ? std::sqrt(var / (n - 1)) : 1.0;
    std::vector<int> o = s;
    std::sort(o.begin(), o.end());
    mediana = o[std::max<size_t>(o.size() / 2, 1) - 1];
    int mejor = 0;
    for (size_t i = 0; i < o.size();) {
      size_t j = i;
      while (j < o.size() && o[j] == o[i]) ++j;
      if (static_cast<int>(j - i) >= mejor) {
        mejor = static_cast<int>(j - i);
        moda = o[i];
      }
      i = j;
    }
  };
  double media = 0, sigma = 1;
  int mediana = 0, moda = 0;
  estad(v, media, sigma, mediana, moda);
  for (int k = 0; k < pasadas; ++k) {
    const double anterior = media;
    const double lo = mediana - 3 * sigma, hi = mediana + 3 * sigma;
    std::erase_if(v, [&](int x) { return x < lo || x > hi; });
    estad(v, media, sigma, mediana, moda);
    if (long(10 * anterior + 0.5) == long(10 * media + 0.5)) break;
  }
  Cielo c;
  c.nivel = usarMedia == 1 ? media : moda;
  c.desviacion = sigma;
  c.numPixeles = static_cast<int32_t>(v.size());
  return c;
}

TEST_F(FotometriaTest, SkyEstimateMatchesPlainReference) {
  std::mt19937 rng(11);
  for (int prueba = 0; prueba < 40; ++prueba) {
    Imagen im;
    std::normal_distribution<double> ruido(300, 3 + prueba);
    std::vector<int16_t> px(50 * 50);
    for (int16_t& p : px) p = static_cast<int16_t>(std::lround(ruido(rng)));
    // Some stars in the ring.
    for (int k = 0; k < prueba % 7; ++k) px[static_cast<size_t>(3 + k * 5) * 50 + 4] = 9000;
    im.CambiaPixeles(50, 50, px);
    const int pasadas = prueba % 4, usarMedia = prueba % 2;
    std::vector<int> anillo;
    for (int y = 0; y < 50; ++y) {
      for (int x = 0; x < 50; ++x) {
        const int d2 = (x - 24) * (x - 24) + (y - 25) * (y - 25);
        if (d2 >= 8 * 8 && d2 <= 22 * 22) anillo.push_back(px[static_cast<size_t>(y) * 50 + x]);
      }
    }
    const Cielo ref = CieloReferencia(anillo, pasadas, usarMedia);
    const Cielo c = EstimaCielo(im, 24, 25, 8, 22, pasadas, usarMedia);
    SCOPED_TRACE(prueba);
    EXPECT_NEAR(c.nivel, ref.nivel, 1e-9);
    EXPECT_NEAR(c.desviacion, ref.desviacion, 1e-9);
    EXPECT_EQ(c.numPixeles, ref.numPixeles);
  }
}

// Estimates after a failed or partial one start from an empty histogram.
TEST_F(FotometriaTest, SharedHistogramIsLeftEmpty) {
  Imagen a, b;
  Plana(a, 50, 50, 700);
  Plana(b, 50, 50, -20);
  EXPECT_DOUBLE_EQ(EstimaCielo(a, 25, 25, 5, 15, 3, 0).nivel, 700);
  const Cielo c = EstimaCielo(b, 25, 25, 5, 15, 0, 1);
  EXPECT_DOUBLE_EQ(c.nivel, -20);
  EXPECT_DOUBLE_EQ(c.desviacion, 1.0);
}

}  // namespace
}  // namespace orva
