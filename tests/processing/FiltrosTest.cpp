// Filters: every kernel and form compared with the plain reference on random images, the
// constant-image results, frames, lookups and the checks of the FILTRO forms.
#include "processing/Filtros.h"

#include <gtest/gtest.h>

#include "base/JError.h"
#include "core/Hilos.h"
#include "processing/EscalaGris.h"
#include "shell/Configuracion.h"
#include "tests/processing/Referencia.h"

namespace orva {
namespace {

using prueba::Bloque;

class FiltrosTest : public ::testing::Test {
 protected:
  void SetUp() override { Rango() = RangoPixeles{}; }
  // Runs one FILTRO line on the block; the result, or nothing when the line fails.
  static bool Corre(const Bloque& b, const std::vector<std::string>& t, Bloque& r) {
    Imagen im;
    prueba::Carga(im, b);
    if (!EjecutaFiltro(im, t)) return false;
    r = Bloque{static_cast<int>(im.Ancho()), static_cast<int>(im.Alto()), im.Pixeles()};
    return true;
  }
  // Compares a line with a reference on every size and kind of image.
  template <class F>
  void Compara(const std::vector<std::string>& t, F ref) {
    uint32_t semilla = 1;
    for (auto [w, h] : prueba::Tamanos())
      for (int tipo = 0; tipo < 3; ++tipo) {
        const Bloque in = prueba::Aleatorio(w, h, tipo, semilla++);
        Bloque r;
        ASSERT_TRUE(Corre(in, t, r)) << t[0];
        ASSERT_EQ(r.p, ref(in).p) << t[0] << " " << (t.size() > 1 ? t[1] : "") << " " << w << "x"
                                  << h << " kind " << tipo;
      }
  }
};

TEST_F(FiltrosTest, NamedIntegerKernelsMatchReference) {
  for (const std::string& n : NombresNucleosEnteros()) {
    const NucleoEntero& k = *BuscaNucleoEntero(n);
    Compara({n}, [&](const Bloque& b) { return prueba::RefConvEntera(b, k, 0, 1, 0); });
    Compara({"CONT", n}, [&](const Bloque& b) { return prueba::RefConvEntera(b, k, 0, 1, -1); });
    Compara({"RCONT", n, "-2.5"},
            [&](const Bloque& b) { return prueba::RefConvEntera(b, k, 1, -2.5, 0); });
  }
}

TEST_F(FiltrosTest, MeanKernelsMatchReferenceOddAndEven) {
  for (int s : {1, 2, 3, 4, 5, 6, 9, 10, 23, 50}) {
    NucleoEntero k;
    ASSERT_TRUE(NucleoMedia(s, k));
    const std::string ts = std::to_string(s);
    Compara({"MEDIA", ts}, [&](const Bloque& b) { return prueba::RefConvEntera(b, k, 0, 1, 0); });
    Compara({"RCONT", "MEDIA", ts, "2", "-1"},
            [&](const Bloque& b) { return prueba::RefConvEntera(b, k, 2, -1, 0); });
    Compara({"RCONT", "MEDIA", ts, "0.7", "1.3"},
            [&](const Bloque& b) { return prueba::RefConvEntera(b, k, 0.7, 1.3, 0); });
  }
}

TEST_F(FiltrosTest, RealKernelsMatchReference) {
  for (auto [sigma, radio] :
       std::vector<std::pair<double, int>>{{1, 3}, {0.5, 1}, {2.5, 5}, {6, 24}, {-1, 2}}) {
    NucleoReal g, l;
    ASSERT_TRUE(NucleoGaus(sigma, radio, g));
    ASSERT_TRUE(NucleoLaplaciana(sigma, radio, l));
    const std::string ts = std::to_string(sigma), tr = std::to_string(radio);
    Compara({"GAUS", ts, tr}, [&](const Bloque& b) { return prueba::RefConvReal(b, g, 0, 1, 0); });
    Compara({"RCONT", "GAUS", ts, tr, "2", "-1"},
            [&](const Bloque& b) { return prueba::RefConvReal(b, g, 2, -1, 0); });
    Compara({"CONT", "LAP_GENE", ts, tr},
            [&](const Bloque& b) { return prueba::RefConvReal(b, l, 0, 1, -1); });
    Compara({"RCONT", "LAP_GENE", ts, tr, "0.3"},
            [&](const Bloque& b) { return prueba::RefConvReal(b, l, 1, 0.3, 0); });
  }
}

TEST_F(FiltrosTest, GradientKernelsMatchReference) {
  for (const std::string& n : NombresNucleosGradiente()) {
    const NucleoReal& k = *BuscaNucleoGradiente(n);
    Compara({"GRAD", n}, [&](const Bloque& b) { return prueba::RefGradiente(b, k, 0, 1); });
    Compara({"RGRAD", n, "1.5", "-0.25"},
            [&](const Bloque& b) { return prueba::RefGradiente(b, k, 1.5, -0.25); });
  }
}

TEST_F(FiltrosTest, MedianMatchesReference) {
  for (const char* f : {"0", "1", "0.5", "3", "-1", "20000"})
    for (int h : {1, 2, 3}) {
      const double fv = std::atof(f);
      Compara({"MEDIANA", f, std::to_string(h)},
              [&](const Bloque& b) { return prueba::RefMediana(b, fv, h); });
    }
}

TEST_F(FiltrosTest, MedianNetworkOnEveryBinaryWindow) {
  // Every one of the 512 0/1 windows sits at some centre (x = 3k + 1); by the 0-1 principle a
  // network that orders them all orders any values. Factors -1 and 0 expose the median and the
  // spread (second largest minus second smallest).
  Bloque b{3 * 512, 3, std::vector<int16_t>(3 * 512 * 3)};
  for (int k = 0; k < 512; ++k)
    for (int i = 0; i < 9; ++i) b.p[static_cast<size_t>((i / 3) * b.w + 3 * k + i % 3)] = static_cast<int16_t>((k >> i) & 1);
  for (const char* f : {"-1", "0", "0.5"}) {
    Bloque r;
    ASSERT_TRUE(Corre(b, {"MEDIANA", f, "1"}, r));
    ASSERT_EQ(r.p, prueba::RefMediana(b, std::atof(f), 1).p) << f;
  }
}

TEST_F(FiltrosTest, MedianHalfSizeZeroKeepsImage) {
  Compara({"MEDIANA", "0", "0"}, [](const Bloque& b) { return b; });
  Compara({"MEDIANA", "1", "-2"}, [](const Bloque& b) { return b; });
}

TEST_F(FiltrosTest, ContrastNormalisationMatchesReference) {
  for (int s : {1, 2, 3, 4, 5})
    for (int modo : {0, 1}) {
      Compara({"CONTR_INV", std::to_string(s), std::to_string(modo)},
              [&](const Bloque& b) { return prueba::RefContraste(b, s, modo); });
    }
}

TEST_F(FiltrosTest, ContrastFlatWindowKeepsPixel) {
  Bloque b{5, 5, std::vector<int16_t>(25, 700)};
  Bloque r;
  ASSERT_TRUE(Corre(b, {"CONTR_INV", "3", "0"}, r));
  EXPECT_EQ(r.p, b.p);
}

TEST_F(FiltrosTest, ConstantImageResults) {
  Bloque b{6, 5, std::vector<int16_t>(30, 100)};
  Bloque r;
  ASSERT_TRUE(Corre(b, {"SUAV_1"}, r));
  EXPECT_EQ(r.p, b.p);  // S = 2000, divided by 20
  ASSERT_TRUE(Corre(b, {"CONT", "LAPLAC_1"}, r));
  for (int y = 0; y < 5; ++y)
    for (int x = 0; x < 6; ++x) {
      const bool borde = x == 0 || y == 0 || x == 5 || y == 4;
      EXPECT_EQ(r.At(x, y), borde ? 100 : -1) << x << "," << y;
    }
  // The unsharp mask 2 x pixel - mean keeps a constant image.
  ASSERT_TRUE(Corre(b, {"RCONT", "MEDIA", "3", "2", "-1"}, r));
  EXPECT_EQ(r.p, b.p);
}

TEST_F(FiltrosTest, MeanFourUsesFiveFrameWithOffCentreBlock) {
  NucleoEntero k;
  ASSERT_TRUE(NucleoMedia(4, k));
  EXPECT_EQ(k.n, 5);
  EXPECT_EQ(k.divisor, 16);
  int unos = 0;
  for (int i = 0; i < 5; ++i)
    for (int j = 0; j < 5; ++j) {
      EXPECT_EQ(k.En(i, j), i < 4 && j < 4 ? 1 : 0);
      unos += k.En(i, j);
    }
  EXPECT_EQ(unos, 16);
  // A bright pixel at (5, 5), inside the 2-pixel frame: the block covers rows and columns
  // -2..+1 around each output pixel, so only (4, 4) sees it (a centred block would reach (3, 3)).
  Bloque b{7, 7, std::vector<int16_t>(49, 0)};
  b.p[5 * 7 + 5] = 1600;
  Bloque r;
  ASSERT_TRUE(Corre(b, {"MEDIA", "4"}, r));
  for (int y = 0; y < 7; ++y)
    for (int x = 0; x < 7; ++x) {
      const int esperado = x == 4 && y == 4 ? 100 : x == 5 && y == 5 ? 1600 : 0;
      EXPECT_EQ(r.At(x, y), esperado) << x << "," << y;
    }
}

TEST_F(FiltrosTest, RobertsKeepsOnePixelFrame) {
  const Bloque in = prueba::Aleatorio(6, 5, 0, 77);
  Bloque r;
  ASSERT_TRUE(Corre(in, {"GRAD", "ROBERTS"}, r));
  for (int x = 0; x < 6; ++x) {
    EXPECT_EQ(r.At(x, 0), in.At(x, 0));
    EXPECT_EQ(r.At(x, 4), in.At(x, 4));
  }
  for (int y = 0; y < 5; ++y) {
    EXPECT_EQ(r.At(0, y), in.At(0, y));
    EXPECT_EQ(r.At(5, y), in.At(5, y));
  }
}

TEST_F(FiltrosTest, ResultsClampNotWrap) {
  Bloque b{3, 3, {0, 0, 0, 0, 32767, 0, 0, 0, 0}};
  Bloque r;
  ASSERT_TRUE(Corre(b, {"LAPLAC_2"}, r));  // 8 x 32767
  EXPECT_EQ(r.At(1, 1), 32767);
  b.p[4] = -32768;
  ASSERT_TRUE(Corre(b, {"LAPLAC_2"}, r));
  EXPECT_EQ(r.At(1, 1), -32768);
}

TEST_F(FiltrosTest, PrefixLookup) {
  EXPECT_EQ(BuscaNucleoEntero("LAPLAC")->nombre, "LAPLAC_1");
  EXPECT_EQ(BuscaNucleoEntero("S")->nombre, "SUAV_1");
  EXPECT_EQ(BuscaNucleoEntero("REALCE_4")->nombre, "REALCE_4");
  EXPECT_EQ(BuscaNucleoEntero("LAP_GENE"), nullptr);
  EXPECT_EQ(BuscaNucleoEntero(""), nullptr);
  EXPECT_EQ(BuscaNucleoGradiente("S")->nombre, "SOBEL");
  EXPECT_EQ(BuscaNucleoGradiente("STOCH_2")->nombre, "STOCH_2_3");
  EXPECT_EQ(BuscaNucleoGradiente("SOBELX"), nullptr);
}

TEST_F(FiltrosTest, GradientKernelsAreAntisymmetric) {
  const NucleoReal& k = *BuscaNucleoGradiente("STOCH_1_5");
  EXPECT_EQ(k.n, 5);
  EXPECT_DOUBLE_EQ(k.En(2, 3), 1.0);
  EXPECT_DOUBLE_EQ(k.En(2, 1), -1.0);
  EXPECT_DOUBLE_EQ(k.En(0, 4), 0.802);
  EXPECT_DOUBLE_EQ(k.En(4, 0), -0.802);
  EXPECT_DOUBLE_EQ(k.En(3, 2), 0.0);
  const NucleoReal k2 = SegundoNucleoGradiente(*BuscaNucleoGradiente("SOBEL"));
  // The vertical partner of Sobel: rows -1 -2 -1 / 0 0 0 / 1 2 1 up to sign.
  EXPECT_DOUBLE_EQ(std::fabs(k2.En(0, 1)), 2.0);
  EXPECT_DOUBLE_EQ(k2.En(1, 1), 0.0);
  EXPECT_DOUBLE_EQ(k2.En(0, 1), -k2.En(2, 1));
}

TEST_F(FiltrosTest, FormChecks) {
  const Bloque b = prueba::Aleatorio(8, 8, 0, 5);
  Bloque r;
  struct Caso {
    std::vector<std::string> t;
    bool ok;
  };
  const std::vector<Caso> casos = {
      {{"LAPLAC"}, true},
      {{"LAP_GENE", "1", "3"}, false},
      {{"NADA"}, false},
      {{"GAUS", "0", "3"}, false},
      {{"GAUS", "1", "30"}, false},  // size 61
      {{"GAUS", "1", "24"}, true},
      {{"GAUS", "1", "0"}, false},
      {{"GAUS", "1", "-3"}, false},
      {{"GAUS", "1"}, false},
      {{"MEDIA", "x3"}, false},
      {{"MEDIA", "51"}, false},
      {{"MEDIA", "0"}, false},
      {{"MEDIA", "50"}, true},
      {{"RCONT", "MEDIA", "3", "0", "1"}, false},
      {{"RCONT", "MEDIA", "3", "1", "0"}, false},
      {{"RCONT", "LAPLAC_1", "0"}, false},
      {{"RCONT", "LAPLAC_1", "2"}, true},
      {{"RCONT", "GAUS", "1", "3", "1", "0"}, false},
      {{"RCONT", "LAP_GENE", "1", "3", "0"}, false},
      {{"CONT", "XYZ"}, false},
      {{"GRAD", "SOB"}, true},
      {{"GRAD", "SUAV_1"}, false},
      {{"RGRAD", "SOBEL", "0", "1"}, false},
      {{"MEDIANA", "1", "1"}, true},
      {{"CONTR_INV", "0", "0"}, false},
      {{"CONTR_INV", "3", "2"}, false},
      {{"media", "3"}, false},  // keywords are case-sensitive; no kernel is called "media"
      {{}, false},
  };
  for (const Caso& c : casos) {
    EXPECT_EQ(Corre(b, c.t, r), c.ok)
        << (c.t.empty() ? "" : c.t[0]) << " " << (c.t.size() > 1 ? c.t[1] : "");
  }
}

TEST_F(FiltrosTest, CancelKeepsOldPixels) {
  // Only the calling thread polls, at the bands it starts: on one thread the third poll always
  // comes (with more, the other threads may take every band first and the filter ends uncancelled).
  FijaHilos(1);
  const Bloque in = prueba::Aleatorio(20, 20, 0, 9);
  for (const std::vector<std::string>& t :
       std::vector<std::vector<std::string>>{{"SUAV_1"},
                                             {"GAUS", "1", "3"},
                                             {"GRAD", "SOBEL"},
                                             {"MEDIANA", "1", "1"},
                                             {"CONTR_INV", "3", "0"}}) {
    Imagen im;
    prueba::Carga(im, in);
    prueba::ProgresoQueCancela cancela(3);
    try {
      EjecutaFiltro(im, t);
      ADD_FAILURE() << "no cancel for " << t[0];
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), 11011);
    }
    EXPECT_EQ(im.Pixeles(), in.p) << t[0];
  }
  FijaHilos(0);
}

TEST_F(FiltrosTest, MenuLinesFromSettings) {
  Configuracion::Global().RestableceDefectos();
  std::vector<std::string> lineas;
  for (const FiltroMenu& f : MenuFiltros()) lineas.push_back(LineaFiltroMenu(f));
  auto tiene = [&](const std::string& l) {
    return std::find(lineas.begin(), lineas.end(), l) != lineas.end();
  };
  EXPECT_TRUE(tiene("FILTRO SUAV_1"));
  EXPECT_TRUE(tiene("FILTRO MEDIA 3"));
  EXPECT_TRUE(tiene("FILTRO GAUS 1 3"));
  EXPECT_TRUE(tiene("FILTRO MEDIANA 1 1"));
  EXPECT_TRUE(tiene("FILTRO CONTR_INV 3 1"));
  EXPECT_TRUE(tiene("FILTRO RCONT MEDIA 3 2 -1"));
  EXPECT_TRUE(tiene("FILTRO RCONT GAUS 1 3 2 -1"));
  EXPECT_TRUE(tiene("FILTRO RCONT LAPLAC_3 1"));
  EXPECT_TRUE(tiene("FILTRO RCONT LAP_GENE 1 3 1"));
  EXPECT_TRUE(tiene("FILTRO CONT LAP_GENE 1 3"));
  EXPECT_TRUE(tiene("FILTRO GRAD STOCH_2_7"));
  Configuracion::Global().Asigna("FiltrosConvol", "GAUSSIGMA", "2.5");
  EXPECT_TRUE(LineaFiltroMenu(MenuFiltros()[5]) == "FILTRO GAUS 2.5 3");
  Configuracion::Global().RestableceDefectos();
  // Every menu line is a valid FILTRO line.
  for (const std::string& l : lineas) {
    ParamsFiltro p;
    std::vector<std::string> t;
    size_t i = 7;
    while (i < l.size()) {
      const size_t f = l.find(' ', i);
      t.push_back(l.substr(i, f == std::string::npos ? std::string::npos : f - i));
      if (f == std::string::npos) break;
      i = f + 1;
    }
    EXPECT_TRUE(LeeFiltro(t, p)) << l;
    EXPECT_EQ(LineaFiltro(p), l);
  }
}

TEST_F(FiltrosTest, SigmaCheckAndRadiusProposals) {
  EXPECT_NO_THROW(CompruebaSigma(0));
  EXPECT_NO_THROW(CompruebaSigma(6));
  try {
    CompruebaSigma(6.01);
    ADD_FAILURE();
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 12073);
  }
  // sqrt(-2 ln 0.1) = 2.1460
  EXPECT_EQ(RadioPropuestoGaus(1), 2);
  EXPECT_EQ(RadioPropuestoGaus(2), 4);
  EXPECT_EQ(RadioPropuestoGaus(0), 1);
  EXPECT_EQ(RadioPropuestoGaus(6), 13);
  EXPECT_EQ(RadioPropuestoLaplaciana(1), 4);
  EXPECT_EQ(RadioPropuestoLaplaciana(6), 24);
}

}  // namespace
}  // namespace orva
