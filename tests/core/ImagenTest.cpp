// Statistics, percentile, gray table, pixel reads and writes, copies of the image record.
#include "core/Imagen.h"

#include <gtest/gtest.h>

#include <random>

#include "base/JError.h"
#include "core/ListaImagenes.h"
#include "core/Rango.h"
#include "shell/Configuracion.h"

namespace orva {
namespace {

class ImagenTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Configuracion::Global().RestableceDefectos();
    Rango() = RangoPixeles{0, 32767, 0};
  }
  void TearDown() override { Configuracion::Global().RestableceDefectos(); }

  static void Llena(Imagen& im, uint32_t w, uint32_t h, int16_t v) {
    im.DimensionaImagen(w, h);
    std::fill(im.Pixeles().begin(), im.Pixeles().end(), v);
  }
};

TEST_F(ImagenTest, ConstantImageGetsUnitSpanAndUnitDeviation) {
  Imagen im;
  Llena(im, 7, 5, 100);
  im.Actualiza();
  EXPECT_EQ(im.Minimo(), 100);
  EXPECT_EQ(im.Maximo(), 101);
  EXPECT_EQ(im.TablaHistograma().size(), 2u);
  EXPECT_EQ(im.Histograma(100), 35);
  EXPECT_EQ(im.Histograma(101), 0);
  EXPECT_EQ(im.ValorModa(), 100);
  EXPECT_EQ(im.NumModa(), 35);
  EXPECT_DOUBLE_EQ(im.Desviacion(), 1.0);
  EXPECT_DOUBLE_EQ(im.Media(), 100.0);
}

// At the top of the 16-bit range the span of a constant image is made by lowering the minimum.
TEST_F(ImagenTest, ConstantImageAtTopOfRangeLowersTheMinimum) {
  Imagen im;
  Llena(im, 3, 3, 32767);
  im.Actualiza();
  EXPECT_EQ(im.Minimo(), 32766);
  EXPECT_EQ(im.Maximo(), 32767);
  EXPECT_EQ(im.ValorModa(), 32767);
  EXPECT_EQ(im.Histograma(32767), 9);
  EXPECT_EQ(im.Percentil(50), 32767);
}

TEST_F(ImagenTest, RandomImageStatisticsMatchDirectComputation) {
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> d(-32768, 32767);
  Imagen im;
  im.DimensionaImagen(101, 37);
  for (auto& p : im.Pixeles()) p = static_cast<int16_t>(d(rng));
  im.Actualiza();
  const auto& px = im.Pixeles();
  const int mn = *std::min_element(px.begin(), px.end());
  const int mx = *std::max_element(px.begin(), px.end());
  double s = 0, s2 = 0;
  for (int v : px) s += v, s2 += double(v) * v;
  const double n = double(px.size());
  const double media = s / n;
  EXPECT_EQ(im.Minimo(), mn);
  EXPECT_EQ(im.Maximo(), mx);
  EXPECT_NEAR(im.Media(), media, 1e-9);
  EXPECT_NEAR(im.Desviacion(), std::sqrt((s2 - media * media * n) / (n - 1)), 1e-6);
  long total = 0;
  for (int v = mn; v <= mx; ++v) total += im.Histograma(v);
  EXPECT_EQ(total, long(px.size()));
  // The mode is the first value with the largest count.
  int moda = mn;
  for (int v = mn; v <= mx; ++v)
    if (im.Histograma(v) > im.Histograma(moda)) moda = v;
  EXPECT_EQ(im.ValorModa(), moda);
}

TEST_F(ImagenTest, PercentileAndItsFallback) {
  Imagen im;
  im.DimensionaImagen(100, 1);
  for (int i = 0; i < 100; ++i) im.Pixeles()[i] = static_cast<int16_t>(i);
  im.Actualiza();
  EXPECT_EQ(im.Percentil(0), 0);
  EXPECT_EQ(im.Percentil(100), 99);
  // More than 50 % lie at or below 50; more than 98.5 % at or below 98.
  EXPECT_EQ(im.Percentil(50), 50);
  EXPECT_EQ(im.Percentil(98.5), 98);
  // 99.5 % is never exceeded below the maximum: the top of the system range answers.
  EXPECT_EQ(im.Percentil(99.5), 32767);
}

TEST_F(ImagenTest, GrayTableStepAndEntriesOnDefaultRange) {
  Imagen im;
  Llena(im, 2, 2, 0);
  im.FijaNiveles(0, 32767);
  EXPECT_EQ(im.PasoTabla(), 8);
  EXPECT_EQ(im.TablaGris().size(), 4096u);
  for (int v = 0; v < 8; ++v) EXPECT_EQ(im.Gris(v), 0) << v;
  EXPECT_EQ(im.Gris(32767), 255);
  EXPECT_EQ(im.Gris(16384), 128);  // entry 2048 of 4096
  // Values outside the range take the end entries, never a read outside the table.
  EXPECT_EQ(im.Gris(-32768), 0);
}

TEST_F(ImagenTest, InvertingTwiceGivesTheFirstTable) {
  Imagen im;
  Llena(im, 2, 2, 0);
  im.FijaNiveles(1000, 20000);
  const auto primera = im.TablaGris();
  im.Invierte();
  EXPECT_EQ(im.Negro(), 20000);
  EXPECT_EQ(im.Blanco(), 1000);
  EXPECT_EQ(im.Gris(0), 255);
  EXPECT_EQ(im.Gris(32767), 0);
  EXPECT_NE(im.TablaGris(), primera);
  im.Invierte();
  EXPECT_EQ(im.TablaGris(), primera);
}

// Equal levels raise white by one; black and white sharing one entry keep black below white.
TEST_F(ImagenTest, EqualLevelsWork) {
  Imagen im;
  Llena(im, 2, 2, 0);
  im.FijaNiveles(1000, 1000);
  EXPECT_EQ(im.Negro(), 1000);
  EXPECT_EQ(im.Blanco(), 1001);
  EXPECT_EQ(im.Gris(900), 0);
  EXPECT_EQ(im.Gris(1100), 255);
}

TEST_F(ImagenTest, FullRangeUsesStep16) {
  Rango() = RangoPixeles{-32768, 32767, 0};
  Imagen im;
  Llena(im, 2, 2, 0);
  im.FijaNiveles(-32768, 32767);
  EXPECT_EQ(im.PasoTabla(), 16);
  EXPECT_EQ(im.TablaGris().size(), 4096u);
  EXPECT_EQ(im.Gris(-32768), 0);
  EXPECT_EQ(im.Gris(32767), 255);
}

struct CasoNiveles {
  const char* negro;
  const char* blanco;
  int esperadoNegro;
  int esperadoBlanco;
};

class NivelesTest : public ImagenTest, public ::testing::WithParamInterface<CasoNiveles> {};

// Image: 0..99 once each plus 40 pixels of 10 (the mode), mean about 42.
TEST_P(NivelesTest, KeywordsChooseTheLevels) {
  const CasoNiveles c = GetParam();
  Configuracion::Global().Asigna("General", "CONTNEGRO", c.negro);
  Configuracion::Global().Asigna("General", "CONTBLANCO", c.blanco);
  Imagen im;
  im.DimensionaImagen(140, 1);
  for (int i = 0; i < 100; ++i) im.Pixeles()[i] = static_cast<int16_t>(i);
  for (int i = 100; i < 140; ++i) im.Pixeles()[i] = 10;
  im.Actualiza();
  EXPECT_EQ(im.Negro(), c.esperadoNegro) << c.negro;
  EXPECT_EQ(im.Blanco(), c.esperadoBlanco) << c.blanco;
}

INSTANTIATE_TEST_SUITE_P(
    Palabras, NivelesTest,
    ::testing::Values(CasoNiveles{"%MIN", "%MAX", 0, 99}, CasoNiveles{"%min", "%max", 0, 99},
                      CasoNiveles{"%CIELO", "%BLANCO", 10, 32767},
                      CasoNiveles{"%CEL", "%BLA", 10, 32767},
                      CasoNiveles{"%CIELITO", "%MAXIMO", 10, 99},
                      CasoNiveles{"%MEDIA", "%MAX", 38, 99},  // 5350 / 140 = 38.2
                      CasoNiveles{"%NEGRO", "%MAX", 0, 99},
                      // A keyword of the other side leaves the starting value.
                      CasoNiveles{"%MAX", "%MIN", 0, 32767}, CasoNiveles{"50", "99", 30, 98}));

TEST_F(ImagenTest, PreviousLevelsKeyword) {
  Imagen im;
  Llena(im, 4, 4, 500);
  im.FijaNiveles(123, 456);
  Configuracion::Global().Asigna("General", "CONTNEGRO", "%ANT");
  Configuracion::Global().Asigna("General", "CONTBLANCO", "%ANTERIOR");
  im.Actualiza();
  EXPECT_EQ(im.Negro(), 123);
  EXPECT_EQ(im.Blanco(), 456);
}

TEST_F(ImagenTest, BilinearReadAtEdges) {
  Rango().defecto = 1000;
  Imagen im;
  im.DimensionaImagen(20, 20);
  for (uint32_t y = 0; y < 20; ++y)
    for (uint32_t x = 0; x < 20; ++x) im.PonPixel(long(x), long(y), int16_t(x * 10));
  // The column beyond the right edge reads as the out-of-image value.
  EXPECT_EQ(im.Pixel(19.5, 10.0), static_cast<int16_t>(190 * 0.5 + 1000 * 0.5));
  EXPECT_EQ(im.Pixel(-0.1, 0.0), 1000);
  EXPECT_EQ(im.Pixel(20.0, 0.0), 1000);
  EXPECT_EQ(im.Pixel(3.0, 4.0), 30);
  EXPECT_EQ(im.Pixel(3.25, 4.0), 32);  // 32.5 truncated
  EXPECT_EQ(im.Pixel(long(-1), long(0)), 1000);
  EXPECT_EQ(im.Pixel(long(20), long(0)), 1000);
}

TEST_F(ImagenTest, BilinearTruncatesTowardZeroForNegatives) {
  Imagen im;
  Llena(im, 2, 2, -3);
  im.PonPixel(1L, 0L, -4);
  EXPECT_EQ(im.Pixel(0.5, 0.0), -3);  // -3.5 toward zero
}

TEST_F(ImagenTest, WritesOutsideRaise11012) {
  Imagen im;
  Llena(im, 3, 2, 0);
  try {
    im.PonPixel(3L, 1L, 5);
    FAIL();
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 11012);
    EXPECT_EQ(e.Mensaje(), "Posición (3, 1) fuera de la imagen.");
  }
  try {
    im.PonPixel(size_t{6}, 5);
    FAIL();
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 11012);
    EXPECT_EQ(e.Argumento(1), "6");
  }
  EXPECT_THROW(im.PonPixel(-1L, 0L, 5), JError);
}

TEST_F(ImagenTest, DimensionaRefusesImpossibleSizes) {
  Imagen im;
  try {
    im.DimensionaImagen(4000000000u, 4000000000u);
    FAIL();
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 10100);
  }
  EXPECT_EQ(im.NumPixeles(), 0u);
  im.DimensionaImagen(3, 4);
  EXPECT_EQ(im.NumPixeles(), 12u);
  im.DimensionaImagen(4, 3);  // same count: the block is kept
  EXPECT_EQ(im.Ancho(), 4u);
}

TEST_F(ImagenTest, CopiaImagenCarriesLogLevelsAndPointsButNotTheName) {
  Imagen a;
  Llena(a, 5, 4, 7);
  a.AsignaRuta("/tmp/datos/m51.qor");
  ListaImagenes::Global().Nombra(a);
  a.datos.nombreObjeto = "M51";
  a.AnadeOperacion("ZOOM A 2");
  a.FijaNiveles(3, 300);
  a.puntos[kCentroRota] = {1, 2, 3};
  a.FijaZoom(5040, 3.0f);
  a.Actualiza();
  Imagen b;
  b.CopiaImagen(a);
  EXPECT_EQ(b.Operaciones(), a.Operaciones());
  EXPECT_EQ(b.Pixeles(), a.Pixeles());
  EXPECT_EQ(b.Negro(), a.Negro());
  EXPECT_EQ(b.TablaGris(), a.TablaGris());
  EXPECT_EQ(b.puntos[kCentroRota].x, 2);
  EXPECT_EQ(b.factorZoom, 3.0f);
  EXPECT_EQ(b.datos.nombreObjeto, "M51");
  EXPECT_EQ(b.NombreArchivo(), "m51.qor");
  EXPECT_TRUE(b.nombreVentana.empty());
  ListaImagenes::Global().Nombra(b);
  EXPECT_EQ(a.nombreVentana, "m51.qor:01");
  EXPECT_EQ(b.nombreVentana, "m51.qor:02");
}

TEST_F(ImagenTest, EveryImageIsListedWhileItLives) {
  const size_t antes = ListaImagenes::Global().Numero();
  {
    Imagen a, b;
    EXPECT_EQ(ListaImagenes::Global().Numero(), antes + 2);
  }
  EXPECT_EQ(ListaImagenes::Global().Numero(), antes);
}

class Contador : public ObservadorImagen {
 public:
  void Repinta(int paneles) override { ultimos = paneles, ++veces; }
  int ultimos = 0, veces = 0;
};

TEST_F(ImagenTest, ModificadaUpdatesStatisticsAndRepaints) {
  Imagen im;
  Contador c;
  im.AsignaObservador(&c);
  Llena(im, 3, 3, 5);
  im.Pixeles()[4] = 900;
  im.repintar = 0;
  im.Modificada(1);
  EXPECT_EQ(im.ModificadaMarca(), 1);
  EXPECT_EQ(im.Maximo(), 900);
  EXPECT_EQ(im.repintar, 1);
  EXPECT_EQ(c.ultimos, 15);
  im.Modificada(0);
  EXPECT_EQ(im.ModificadaMarca(), 0);
  EXPECT_EQ(c.veces, 1);
}

TEST_F(ImagenTest, PaletteImageHasNoGrayStatistics) {
  Imagen im;
  Llena(im, 3, 3, 5);
  im.esPaleta = 1;
  im.Actualiza();
  EXPECT_TRUE(im.TablaGris().empty());
  EXPECT_TRUE(im.TablaHistograma().empty());
}

}  // namespace
}  // namespace orva
