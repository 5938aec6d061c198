// Geometric operations against the per-pixel formulas: rotation (bilinear and exact turns),
// mirrors, crop and shift windows, resize, checks, recorded lines and cancel.
#include "processing/Geometria.h"

#include <gtest/gtest.h>
#include "core/Imagen.h"
#include "core/Rango.h"
#include <random>

#include "base/JError.h"
#include "tests/processing/Referencia.h"

namespace orva {
namespace {

using prueba::Bloque;

Bloque DeImagen(const Imagen& im) {
  return Bloque{static_cast<int>(im.Ancho()), static_cast<int>(im.Alto()), im.Pixeles()};
}

class GeometriaTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Rango() = RangoPixeles{};
    Rango().defecto = -7;
  }
  void TearDown() override { Rango() = RangoPixeles{}; }
};

TEST_F(GeometriaTest, RotationMatchesFormula) {
  uint32_t semilla = 11;
  for (auto [w, h] : prueba::Tamanos())
    for (double a : {30.0, -45.5, 123.4, 0.001, 359.0, -200.0}) {
      const Bloque in = prueba::Aleatorio(w, h, 0, semilla++);
      Imagen im;
      prueba::Carga(im, in);
      AplicaRotacion(im, ParamsRotacion{a});
      ASSERT_EQ(DeImagen(im).p, prueba::RefRotacion(in, a, w / 2, h / 2, -7).p)
          << a << " " << w << "x" << h;
      // About a given centre, with the line's own fill value.
      Imagen im2;
      prueba::Carga(im2, in);
      AplicaRotacion(im2, ParamsRotacion{a, true, 1.5, -2.25, true, 321});
      ASSERT_EQ(DeImagen(im2).p, prueba::RefRotacion(in, a, 1.5, -2.25, 321).p);
      EXPECT_EQ(Rango().defecto, -7);  // restored after the operation
    }
}

TEST_F(GeometriaTest, ExactTurns) {
  const Bloque in{3, 2, {1, 2, 3, 4, 5, 6}};
  auto gira = [&](double a) {
    Imagen im;
    prueba::Carga(im, in);
    AplicaRotacion(im, ParamsRotacion{a});
    return DeImagen(im);
  };
  // 90: 2 wide, 3 high; the top row is the old left column read from bottom to top.
  const Bloque q1 = gira(90);
  EXPECT_EQ(q1.w, 2);
  EXPECT_EQ(q1.h, 3);
  EXPECT_EQ(q1.p, (std::vector<int16_t>{4, 1, 5, 2, 6, 3}));
  EXPECT_EQ(gira(-270).p, q1.p);
  EXPECT_EQ(gira(450).p, q1.p);
  const Bloque q3 = gira(270);
  EXPECT_EQ(q3.w, 2);
  EXPECT_EQ(q3.p, (std::vector<int16_t>{3, 6, 2, 5, 1, 4}));
  EXPECT_EQ(gira(-90).p, q3.p);
  EXPECT_EQ(gira(180).p, (std::vector<int16_t>{6, 5, 4, 3, 2, 1}));
  EXPECT_EQ(gira(-180).p, gira(180).p);
  EXPECT_EQ(gira(0).p, in.p);
  EXPECT_EQ(gira(360).p, in.p);
  // Larger blocks (tiles) against the index formulas.
  for (auto [w, h] : std::vector<std::pair<int, int>>{{70, 131}, {129, 64}, {1, 5}}) {
    const Bloque b = prueba::Aleatorio(w, h, 0, static_cast<uint32_t>(w));
    Imagen im;
    prueba::Carga(im, b);
    AplicaRotacion(im, ParamsRotacion{90});
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(im.Pixel(static_cast<long>(h - 1 - y), static_cast<long>(x)), b.At(x, y));
    prueba::Carga(im, b);
    AplicaRotacion(im, ParamsRotacion{270});
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(im.Pixel(static_cast<long>(y), static_cast<long>(w - 1 - x)), b.At(x, y));
  }
}

TEST_F(GeometriaTest, FortyFiveDegreesLeavesCornersFilled) {
  Imagen im;
  prueba::Carga(im, Bloque{9, 9, std::vector<int16_t>(81, 500)});
  AplicaRotacion(im, ParamsRotacion{45});
  for (auto [x, y] : std::vector<std::pair<long, long>>{{0, 0}, {8, 0}, {0, 8}, {8, 8}})
    EXPECT_EQ(im.Pixel(x, y), -7);
  EXPECT_EQ(im.Pixel(4L, 4L), 500);
}

TEST_F(GeometriaTest, Mirrors) {
  for (auto [w, h] : prueba::Tamanos()) {
    const Bloque in = prueba::Aleatorio(w, h, 0, 5);
    Imagen im;
    prueba::Carga(im, in);
    AplicaEspejo(im, Espejo::kHorizontal);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(im.Pixel(static_cast<long>(w - 1 - x), static_cast<long>(y)), in.At(x, y));
    AplicaEspejo(im, Espejo::kHorizontal);
    AplicaEspejo(im, Espejo::kVertical);
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        ASSERT_EQ(im.Pixel(static_cast<long>(x), static_cast<long>(h - 1 - y)), in.At(x, y));
  }
  EXPECT_EQ(LineaEspejo(Espejo::kHorizontal), "ESPEJO HORIZONTAL");
  EXPECT_EQ(LineaEspejo(Espejo::kVertical), "ESPEJO VERTICAL");
}

TEST_F(GeometriaTest, ShiftMatchesWindowFormula) {
  uint32_t semilla = 40;
  for (auto [w, h] : prueba::Tamanos())
    for (auto [dx, dy] : std::vector<std::pair<double, double>>{
             {3, 4}, {-2, 1}, {0.5, -0.25}, {-1.75, 2.5}, {100, 0}, {0, 0}}) {
      const Bloque in = prueba::Aleatorio(w, h, 0, semilla++);
      Imagen im;
      prueba::Carga(im, in);
      AplicaDesplaza(im, ParamsDesplaza{dx, dy, 99});
      ASSERT_EQ(DeImagen(im).p, prueba::RefVentana(in, -dx, -dy, w, h, 99).p) << dx << "," << dy;
    }
}

TEST_F(GeometriaTest, ShiftMovesPictureRightAndDown) {
  Bloque in{6, 6, std::vector<int16_t>(36, 0)};
  in.p[1 * 6 + 2] = 50;  // (2, 1)
  Imagen im;
  prueba::Carga(im, in);
  AplicaDesplaza(im, ParamsDesplaza{3, 4, -1});
  EXPECT_EQ(im.Pixel(5L, 5L), 50);
  EXPECT_EQ(im.Pixel(3L, 4L), 0);  // was (0, 0)
  EXPECT_EQ(im.Pixel(2L, 1L), -1);
  EXPECT_EQ(im.Pixel(2L, 5L), -1);  // shifted in from the left
  EXPECT_EQ(im.Pixel(5L, 3L), -1);  // shifted in from the top
  EXPECT_EQ(LineaDesplaza(ParamsDesplaza{3, -4.5, 0}), "DESPLAZA 3 -4.5 0");
}

TEST_F(GeometriaTest, CropWindowsAndChecks) {
  const Bloque in = prueba::Aleatorio(9, 7, 0, 3);
  Imagen im;
  prueba::Carga(im, in);
  AplicaCorte(im, ParamsCorte{0, 0, 9, 7});
  EXPECT_EQ(DeImagen(im).p, in.p);
  AplicaCorte(im, ParamsCorte{2, 3, 4, 4});
  EXPECT_EQ(DeImagen(im).p, prueba::RefVentana(in, 2, 3, 4, 4, -7).p);
  EXPECT_EQ(im.Ancho(), 4u);
  struct Caso {
    ParamsCorte p;
    int error;
  };
  for (const Caso& c : std::vector<Caso>{{{-1, 0, 2, 2}, 12045},
                                         {{9, 0, 1, 1}, 12045},
                                         {{0, -3, 2, 2}, 12046},
                                         {{0, 7, 1, 1}, 12046},
                                         {{5, 0, 5, 2}, 12047},
                                         {{0, 5, 2, 3}, 12047},
                                         {{0, 0, 0, 2}, 12047}}) {
    Imagen otra;
    prueba::Carga(otra, in);
    try {
      AplicaCorte(otra, c.p);
      ADD_FAILURE() << c.error;
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), c.error);
    }
    EXPECT_EQ(otra.Pixeles(), in.p);
  }
  EXPECT_EQ(LineaCorte(ParamsCorte{1, 2, 3, 4}), "CORTAR 1 2 3 4");
  EXPECT_EQ(LineaCorte(ParamsCorte{1, 2, 3, 4, true, -5}), "CORTAR 1 2 3 4 -5");
}

TEST_F(GeometriaTest, ResizeMatchesFormula) {
  const Bloque in = prueba::Aleatorio(17, 12, 0, 8);
  for (const ParamsRedim& p : std::vector<ParamsRedim>{{0, 0, 17, 12, 40, 31},
                                                       {0, 0, 17, 12, 5, 3},
                                                       {3, 2, 9, 7, 9, 7},
                                                       {-4, 10, 25, 6, 13, 13},
                                                       {0, 0, 17, 12, 1, 1}}) {
    Imagen im;
    prueba::Carga(im, in);
    ASSERT_TRUE(AplicaRedim(im, p));
    EXPECT_EQ(DeImagen(im).p, prueba::RefRedim(in, p.x, p.y, p.w, p.h, p.nw, p.nh, -7).p) << p.nw;
    EXPECT_EQ(im.Ancho(), static_cast<uint32_t>(p.nw));
  }
  Imagen im;
  prueba::Carga(im, in);
  EXPECT_FALSE(AplicaRedim(im, ParamsRedim{0, 0, 17, 12, 0, 5}));
  EXPECT_FALSE(AplicaRedim(im, ParamsRedim{0, 0, 0, 12, 5, 5}));
  EXPECT_EQ(im.Pixeles(), in.p);
  EXPECT_EQ(LineaRedim(ParamsRedim{1, 2, 3, 4, 5, 6}), "REDIM 1 2 3 4 5 6");
  try {
    CompruebaFactor(0);
    ADD_FAILURE();
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 12048);
  }
  EXPECT_NO_THROW(CompruebaFactor(0.01));
}

TEST_F(GeometriaTest, BilinearBlendsAndFillsEdges) {
  const Bloque in{2, 2, {0, 100, 200, 300}};
  EXPECT_EQ(MuestraBilineal(in.p.data(), 2, 2, 0.5, 0.5, 0), 150);
  EXPECT_EQ(MuestraBilineal(in.p.data(), 2, 2, 1, 1, 0), 300);
  EXPECT_EQ(MuestraBilineal(in.p.data(), 2, 2, 1.5, 0, -100), 0);  // 100 and fill -100
  EXPECT_EQ(MuestraBilineal(in.p.data(), 2, 2, -0.5, 0, -100), -100);
  EXPECT_EQ(MuestraBilineal(in.p.data(), 2, 2, 2, 0, -100), -100);
}

TEST_F(GeometriaTest, CancelKeepsOldPixels) {
  const Bloque in = prueba::Aleatorio(30, 20, 0, 1);
  const std::vector<std::function<void(Imagen&)>> ops = {
      [](Imagen& im) { AplicaRotacion(im, ParamsRotacion{30}); },
      [](Imagen& im) { AplicaRotacion(im, ParamsRotacion{90}); },
      [](Imagen& im) { AplicaEspejo(im, Espejo::kVertical); },
      [](Imagen& im) {
        AplicaDesplaza(im, ParamsDesplaza{0.5, 0.5, 0});
      },
      [](Imagen& im) {
        AplicaRedim(im, ParamsRedim{0, 0, 30, 20, 60, 40});
      },
  };
  for (size_t i = 0; i < ops.size(); ++i) {
    Imagen im;
    prueba::Carga(im, in);
    prueba::ProgresoQueCancela cancela(1);
    try {
      ops[i](im);
      ADD_FAILURE() << i;
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), 11011);
    }
    EXPECT_EQ(im.Pixeles(), in.p) << i;
    EXPECT_EQ(im.Ancho(), 30u);
  }
}

TEST_F(GeometriaTest, RotationLine) {
  EXPECT_EQ(LineaRotacion(ParamsRotacion{30}), "ROTAR 30.00 ");
  EXPECT_EQ(LineaRotacion(ParamsRotacion{-12.345, true, 10, 20}), "ROTAR -12.35 10 20");
}

// The resampling of the operations and the image record's own real-position read are one rule.
TEST(Geometria, SampleAgreesWithTheImageRecordRead) {
  Imagen im;
  im.DimensionaImagen(7, 5);
  std::mt19937 rng(3);
  std::uniform_int_distribution<int> v(-32768, 32767);
  for (auto& p : im.Pixeles()) p = static_cast<int16_t>(v(rng));
  std::uniform_real_distribution<double> pos(-1.0, 8.0);
  for (int i = 0; i < 20000; ++i) {
    const double x = pos(rng), y = pos(rng) * 5 / 7;
    ASSERT_EQ(MuestraBilineal(im.Pixeles().data(), 7, 5, x, y, Rango().defecto), im.Pixel(x, y))
        << x << "," << y;
  }
}

}  // namespace
}  // namespace orva
