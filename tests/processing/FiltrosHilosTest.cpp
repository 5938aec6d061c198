// Filters on the thread pool: every form gives the same bits for any thread count and on every
// SIMD level; a cancel from the progress object keeps the old pixels.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "base/JError.h"
#include "core/Hilos.h"
#include "formats/TiposArchivo.h"
#include "processing/Filtros.h"
#include "processing/Simd.h"
#include "tests/processing/Referencia.h"

namespace orva {
namespace {

using prueba::Bloque;

class FiltrosHilosTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Rango() = RangoPixeles{};
    nivel_ = NivelSimdActual();
  }
  void TearDown() override {
    FijaHilos(0);
    LimitaSimd(nivel_);
  }
  static bool PortableEnEntorno() {
    const char* v = std::getenv("ORVA_SIMD");
    return v != nullptr && std::string_view(v) == "portable";
  }
  static Bloque Corre(const Bloque& b, const std::vector<std::string>& t, int hilos,
                      NivelSimd simd) {
    FijaHilos(hilos);
    LimitaSimd(simd);
    Imagen im;
    prueba::Carga(im, b);
    EXPECT_TRUE(EjecutaFiltro(im, t)) << t[0];
    return Bloque{b.w, b.h, im.Pixeles()};
  }
  static Bloque Marco(const char* archivo) {
    Imagen im;
    LeeArchivo(std::string(ORVA_TEST_DATA) + "/" + archivo, im);
    return Bloque{static_cast<int>(im.Ancho()), static_cast<int>(im.Alto()), im.Pixeles()};
  }
  NivelSimd nivel_ = NivelSimd::kAvx512;
};

// Each form with small, edge and largest windows; `marco` also on a real frame (the slowest
// windows only on the small image).
struct Caso {
  std::vector<std::string> t;
  bool marco;
};
const std::vector<Caso>& Casos() {
  static const std::vector<Caso> casos = {
      {{"SUAV_1"}, true},
      {{"REALCE_2"}, true},
      {{"CONT", "LAPLAC_1"}, true},
      {{"RCONT", "LAPLAC_3", "-2.5"}, true},
      {{"MEDIA", "2"}, true},
      {{"MEDIA", "4"}, true},
      {{"MEDIA", "8"}, true},
      {{"MEDIA", "9"}, true},
      {{"MEDIA", "50"}, true},
      {{"RCONT", "MEDIA", "5", "0.7", "1.3"}, true},
      {{"GAUS", "1", "3"}, true},
      {{"GAUS", "0.5", "1"}, true},
      {{"GAUS", "6", "24"}, true},
      {{"RCONT", "GAUS", "2", "5", "2", "-1"}, true},
      {{"CONT", "LAP_GENE", "1", "3"}, true},
      {{"RCONT", "LAP_GENE", "3", "24", "0.3"}, false},
      {{"GRAD", "ROBERTS"}, true},
      {{"GRAD", "SOBEL"}, true},
      {{"GRAD", "STOCH_2_7"}, true},
      {{"RGRAD", "STOCH_1_5", "1.5", "-0.25"}, true},
      {{"MEDIANA", "1", "1"}, true},
      {{"MEDIANA", "0.5", "1"}, true},
      {{"MEDIANA", "0", "2"}, true},
      {{"MEDIANA", "1", "24"}, false},
      {{"CONTR_INV", "3", "0"}, true},
      {{"CONTR_INV", "2", "1"}, true},
      {{"CONTR_INV", "50", "0"}, false},
  };
  return casos;
}

TEST_F(FiltrosHilosTest, SameBitsForAnyThreadCountAndSimdLevel) {
  const Bloque aleatorio = prueba::Aleatorio(101, 67, 0, 2024);
  const Bloque marco = Marco("eyuma_r90s_cutout.fits");
  struct Ejecucion {
    int hilos;
    NivelSimd simd;
  };
  const Ejecucion otras[] = {{2, NivelSimd::kAvx512},
                             {7, NivelSimd::kAvx512},
                             {1, NivelSimd::kAvx2},
                             {1, NivelSimd::kPortable},
                             {7, NivelSimd::kPortable}};
  for (const Caso& c : Casos()) {
    for (const Bloque* b : {&aleatorio, &marco}) {
      if (b == &marco && !c.marco) continue;
      const Bloque uno = Corre(*b, c.t, 1, NivelSimd::kAvx512);
      ASSERT_NE(uno.p, b->p) << c.t[0] << " " << c.t.back() << ": the filter changed nothing";
      for (const Ejecucion& e : otras) {
        ASSERT_EQ(Corre(*b, c.t, e.hilos, e.simd).p, uno.p)
            << c.t[0] << " " << c.t.back() << " " << b->w << "x" << b->h << ", " << e.hilos
            << " threads, SIMD level " << static_cast<int>(e.simd);
      }
    }
  }
}

TEST_F(FiltrosHilosTest, MeanOfFiftyOnAFrameLargerThanItsWindow) {
  // The even size 50 has a 51-wide frame: each output is the mean of the 50 x 50 block that
  // starts 25 rows and columns before it.
  const Bloque in = prueba::Aleatorio(53, 52, 0, 50);
  const Bloque r = Corre(in, {"MEDIA", "50"}, 2, NivelSimd::kAvx512);
  for (int y = 0; y < in.h; ++y)
    for (int x = 0; x < in.w; ++x) {
      int16_t esperado = in.At(x, y);
      if (x >= 25 && x < in.w - 25 && y >= 25 && y < in.h - 25) {
        int64_t s = 0;
        for (int dy = -25; dy < 25; ++dy)
          for (int dx = -25; dx < 25; ++dx) s += in.At(x + dx, y + dy);
        esperado = static_cast<int16_t>(s / 2500);
      }
      ASSERT_EQ(r.At(x, y), esperado) << x << "," << y;
    }
}

TEST_F(FiltrosHilosTest, WholeQuotientsOfRealConvolutionMatchReference) {
  // A real kernel of ones over a whole divisor makes many quotients S / D whole numbers, where
  // S x (1 / D) may fall on the other side of the integer.
  for (auto [lado, divisor] : std::vector<std::pair<int, double>>{
           {3, 1}, {3, 3}, {3, 7}, {3, 9}, {3, 10}, {5, 25}, {7, 49}, {7, 3}, {3, -3}, {5, -7}})
    for (int tipo : {0, 1})
      for (NivelSimd simd : {NivelSimd::kAvx512, NivelSimd::kAvx2, NivelSimd::kPortable}) {
        NucleoReal k;
        k.n = lado;
        k.divisor = divisor;
        for (int i = 0; i < lado; ++i)
          for (int j = 0; j < lado; ++j) k.En(i, j) = 1.0;
        const Bloque in = prueba::Aleatorio(101, 67, tipo, 7);
        LimitaSimd(simd);
        Imagen im;
        prueba::Carga(im, in);
        ConvolucionReal(im, k, 0, 1, 0);
        ASSERT_EQ(im.Pixeles(), prueba::RefConvReal(in, k, 0, 1, 0).p)
            << lado << " / " << divisor << " kind " << tipo << " SIMD " << static_cast<int>(simd);
      }
}

TEST_F(FiltrosHilosTest, MedianWholeFactorsMatchReference) {
  // Whole factors take 16-bit lanes: products f x spread beyond 16 bits, negative factors.
  for (int f : {-3, -1, 0, 1, 2, 3, 255, 16384})
    for (int tipo : {0, 1})
      for (NivelSimd simd : {NivelSimd::kAvx512, NivelSimd::kAvx2, NivelSimd::kPortable}) {
        const Bloque in = prueba::Aleatorio(101, 67, tipo, 3);
        ASSERT_EQ(Corre(in, {"MEDIANA", std::to_string(f), "1"}, 1, simd).p,
                  prueba::RefMediana(in, f, 1).p)
            << f << " kind " << tipo << " SIMD " << static_cast<int>(simd);
      }
}

// Cancelled from its k-th poll on; polled only by the calling thread.
class CancelaTras : public ProgresoSilencioso {
 public:
  explicit CancelaTras(int k) : k_(k) {}
  int Cancelado() override { return ++llamadas_ >= k_; }

 private:
  int k_;
  int llamadas_ = 0;
};

TEST_F(FiltrosHilosTest, CancelOnTwoThreadsKeepsOldPixels) {
  // Tall enough for dozens of bands, so that the calling thread polls several times.
  const Bloque in = prueba::Aleatorio(101, 400, 0, 11);
  FijaHilos(2);
  for (const Caso& c : Casos()) {
    Imagen im;
    prueba::Carga(im, in);
    ParamsFiltro p;
    ASSERT_TRUE(LeeFiltro(c.t, p)) << c.t[0];
    CancelaTras cancela(3);
    try {
      AplicaFiltro(im, p, cancela);
      ADD_FAILURE() << "no cancel for " << c.t[0] << " " << c.t.back();
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), 11011);
    }
    EXPECT_EQ(im.Pixeles(), in.p) << c.t[0] << " " << c.t.back();
  }
}

TEST_F(FiltrosHilosTest, PortableSwitch) {
  // The ctest run with ORVA_SIMD=portable must really take the portable path.
  if (PortableEnEntorno()) {
    EXPECT_EQ(NivelSimdActual(), NivelSimd::kPortable);
  }
  LimitaSimd(NivelSimd::kPortable);
  EXPECT_EQ(NivelSimdActual(), NivelSimd::kPortable);
  EXPECT_FALSE(UsaAvx2());
  LimitaSimd(NivelSimd::kAvx2);
  EXPECT_LE(NivelSimdActual(), NivelSimd::kAvx2);
}

}  // namespace
}  // namespace orva
