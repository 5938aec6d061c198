// Gray-scale transforms: every curve's table against the formulas, application with the clamp,
// keywords, the macro path, the display reset, the recorded line, dialog check and cancel.
#include "processing/EscalaGris.h"

#include <gtest/gtest.h>

#include "base/JError.h"
#include "base/Numeros.h"
#include "tests/processing/Referencia.h"

namespace orva {
namespace {

using prueba::Bloque;

int16_t Bajos(int64_t v) {
  return static_cast<int16_t>(static_cast<uint16_t>(v & 0xFFFF));
}

int64_t Tr(double v) {
  return static_cast<int64_t>(std::trunc(v));
}

int64_t RefEstira(int v, int a, int b, int c, int d) {
  const double r = std::abs(static_cast<double>(b) - a + 1) / (static_cast<double>(d) - c + 1);
  if (r == 0) return v < a ? c : d;
  if (a < b) return v <= a ? c : v >= b ? d : Tr((v - a) / r + c);
  return v >= a ? c : v <= b ? d : Tr((d + 1) - (v - b) / r);
}

// The table from the curve formulas, one value at a time.
std::vector<int16_t> RefTabla(const Imagen& im, const std::string& clave,
                              const std::vector<std::string>& t) {
  const int lo = Rango().minimo, hi = Rango().maximo, n = hi - lo + 1;
  std::vector<int16_t> tabla(static_cast<size_t>(n), 0);
  auto clamp = [&](int64_t v) { return static_cast<int16_t>(std::clamp<int64_t>(v, lo, hi)); };
  auto E = [&](int k) { return LeeEntero(t[static_cast<size_t>(k)]); };
  auto R = [&](int k) { return LeeReal(t[static_cast<size_t>(k)]); };
  std::vector<double> cum(static_cast<size_t>(n), 0);
  double S = 0;
  if (clave == "EQUALIZAR") {
    std::vector<double> cnt(static_cast<size_t>(n), 0);
    for (int16_t v : im.Pixeles())
      if (v >= lo && v <= hi) cnt[static_cast<size_t>(v - lo)]++;
    for (int v = std::max(E(0), lo); v <= std::min(E(1), hi); ++v) {
      S += cnt[static_cast<size_t>(v - lo)];
      cum[static_cast<size_t>(v - lo)] = std::trunc(S);
    }
  }
  const bool perc = clave == "EXPANPERC";
  const int pb = perc ? im.Percentil(E(0)) : 0, pw = perc ? im.Percentil(E(1)) : 0;
  for (int i = 0; i < n; ++i) {
    const int v = lo + i;
    int16_t& e = tabla[static_cast<size_t>(i)];
    if (clave == "EXPANDIR") {
      e = Bajos(RefEstira(v, E(0), E(1), lo, hi));
    } else if (clave == "EXPANPERC") {
      e = Bajos(RefEstira(v, pb, pw, lo, hi));
    } else if (clave == "COMPRIMIR") {
      e = Bajos(RefEstira(v, lo, hi, E(0), E(1)));
    } else if (clave == "ALGEBRAICO") {
      e = clamp(Tr((i - E(0)) * R(1) + R(2)));
    } else if (clave == "LOG_10") {
      e = clamp(Tr(std::log10(i + 1.0) * E(0) + lo));
    } else if (clave == "LOG_E") {
      e = clamp(Tr(std::log(i + 1.0) * E(0) + lo));
    } else if (clave == "EXPONENCIAL") {
      e = clamp(Tr(std::pow(static_cast<double>(i) / n, R(0)) * n + lo));
    } else if (clave == "EQUALIZAR") {
      const int g1 = std::max(E(0), lo), g2 = std::min(E(1), hi);
      e = Bajos(
          v < g1 || v > g2 || S == 0 ? v : Tr(cum[static_cast<size_t>(i)] * ((g2 - g1) / S) + g1));
    } else if (clave == "NIVELES") {
      const int paso = static_cast<int>(Tr(n / R(0)));
      e = Bajos(i / paso * paso);
    } else if (clave == "DENTADO") {
      const int k = static_cast<int>(R(0)), paso = static_cast<int>(Tr(n / R(0)));
      e = i < k * paso ? Bajos((i % paso) * k) : 0;
    } else if (clave == "CONTORNO") {
      const int bandas = E(0) + 1, paso = n / bandas,
                ancho = static_cast<int>(Tr(E(1) * 0.01 * paso));
      e = E(3) == 0 ? 0 : E(3) == 1 ? Bajos(i) : Bajos(E(3));
      if (paso > 0 && i % paso < ancho && i / paso < bandas) e = Bajos(E(2));
    } else if (clave == "MASC_NEGROS" || clave == "MASC_BLANC") {
      const bool m = clave == "MASC_NEGROS" ? v < E(0) : v > E(0);
      e = m ? Bajos(E(1)) : clamp(Tr((static_cast<double>(v) - E(0) - lo) * R(2) + E(3) + E(0)));
    }
  }
  return tabla;
}

struct Caso {
  std::string clave;
  std::vector<std::string> valores;
};

const std::vector<Caso>& Casos() {
  static const std::vector<Caso> c = {
      {"EXPANDIR", {"100", "30000"}},
      {"EXPANDIR", {"30000", "100"}},
      {"EXPANDIR", {"500", "500"}},
      {"EXPANDIR", {"-5", "-6"}},
      {"EXPANDIR", {"-32768", "32767"}},
      {"EXPANPERC", {"5", "95"}},
      {"EXPANPERC", {"0", "100"}},
      {"EXPANPERC", {"50", "10"}},
      {"COMPRIMIR", {"1000", "2000"}},
      {"COMPRIMIR", {"2000", "1000"}},
      {"COMPRIMIR", {"7", "6"}},
      {"ALGEBRAICO", {"4000", "1", "0"}},
      {"ALGEBRAICO", {"100", "-2.5", "77.7"}},
      {"LOG_10", {"5000"}},
      {"LOG_E", {"2000"}},
      {"LOG_E", {"1"}},
      {"EXPONENCIAL", {"1"}},
      {"EXPONENCIAL", {"0.1"}},
      {"EXPONENCIAL", {"30"}},
      {"EQUALIZAR", {"-32768", "32767"}},
      {"EQUALIZAR", {"10", "200"}},
      {"EQUALIZAR", {"300", "20"}},
      {"NIVELES", {"8 "}},
      {"NIVELES", {"3"}},
      {"NIVELES", {"40"}},
      {"DENTADO", {"4 "}},
      {"DENTADO", {"7"}},
      {"DENTADO", {"1"}},
      {"CONTORNO", {"8", "33", "0", "1"}},
      {"CONTORNO", {"3", "50", "65536", "0"}},
      {"CONTORNO", {"40", "99", "1000", "5"}},
      {"MASC_NEGROS", {"600", "0", "1", "0"}},
      {"MASC_NEGROS", {"-50", "-7", "-2.5", "3.5"}},
      {"MASC_BLANC", {"31000", "0", "1", "0"}},
      {"MASC_BLANC", {"20", "9", "0.5", "-1"}},
      {"MASC_BLANC", {"20", "9", "0.5", "-1.9"}},
      {"EXPANPERC", {"5.5", "95.9"}},
  };
  return c;
}

class EscalaGrisTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Rango() = RangoPixeles{};
    RestableceCurvasGris();
  }
  void TearDown() override {
    Rango() = RangoPixeles{};
    RestableceCurvasGris();
  }
};

TEST_F(EscalaGrisTest, EveryCurveMatchesItsFormulaOnSeveralRanges) {
  for (auto [lo, hi] : std::vector<std::pair<int, int>>{
           {-32768, 32767}, {0, 32767}, {0, 255}, {-100, 101}, {5, 6}}) {
    Rango().minimo = static_cast<int16_t>(lo);
    Rango().maximo = static_cast<int16_t>(hi);
    uint32_t semilla = 3;
    for (const Caso& c : Casos()) {
      if (c.clave == "NIVELES" && LeeReal(c.valores[0]) > hi - lo + 1) continue;  // step 0
      if (c.clave == "DENTADO" && LeeReal(c.valores[0]) > hi - lo + 1) continue;
      Imagen im;
      Bloque b = prueba::Aleatorio(13, 9, semilla % 2, semilla);
      ++semilla;
      prueba::Carga(im, b);
      ParamsEscalaGris p;
      p.curva = BuscaCurvaGris(c.clave);
      ASSERT_GE(p.curva, 0);
      std::copy(c.valores.begin(), c.valores.end(), p.valores.begin());
      std::vector<int16_t> tabla;
      ConstruyeTablaGris(im, p, tabla);
      const std::vector<int16_t> ref = RefTabla(im, c.clave, c.valores);
      ASSERT_EQ(tabla, ref) << c.clave << " " << c.valores[0] << " range " << lo << ".." << hi;
      // Applied: every pixel clamped to the range, then looked up.
      AplicaEscalaGris(im, p);
      for (size_t i = 0; i < b.p.size(); ++i) {
        const int v = std::clamp<int>(b.p[i], lo, hi);
        ASSERT_EQ(im.Pixeles()[i], ref[static_cast<size_t>(v - lo)]) << c.clave;
      }
    }
  }
}

TEST_F(EscalaGrisTest, NivelesStepsAndDisplayReset) {
  Rango().minimo = 0;
  Imagen im;
  Bloque b{6, 1, {0, 4095, 4096, 8191, 8192, 32767}};
  prueba::Carga(im, b);
  ASSERT_TRUE(EjecutaEscalaGris(im, {"NIVELES", "8"}));
  EXPECT_EQ(im.Pixeles(), (std::vector<int16_t>{0, 0, 4096, 4096, 8192, 28672}));
  EXPECT_EQ(im.Negro(), 0);
  EXPECT_EQ(im.Blanco(), 32767);
}

TEST_F(EscalaGrisTest, ExpandStretchesAndInverts) {
  Rango().minimo = 0;
  std::vector<int16_t> t(32768);
  // Black equal to white: below it hi, from it upward lo.
  EstiramientoLineal(t, 0, 32767, 500, 500, 0, 32767);
  EXPECT_EQ(t[499], 32767);
  EXPECT_EQ(t[500], 0);
  EXPECT_EQ(t[32767], 0);
  // Inverted: a negative image, hi goes to lo.
  EstiramientoLineal(t, 0, 32767, 32767, 0, 0, 32767);
  EXPECT_EQ(t[32767], 0);
  EXPECT_EQ(t[0], 32767);
  for (size_t i = 1; i < t.size(); ++i) ASSERT_LE(t[i], t[i - 1]);
  // Plain stretch.
  EstiramientoLineal(t, 0, 32767, 1000, 2000, 0, 32767);
  EXPECT_EQ(t[1000], 0);
  EXPECT_EQ(t[2000], 32767);
  EXPECT_EQ(t[1500], static_cast<int16_t>(std::trunc(500 / (1001.0 / 32768))));
}

TEST_F(EscalaGrisTest, KeywordsTakeImageValues) {
  Imagen im;
  Bloque b{4, 2, {10, 20, 20, 30, 40, 50, 60, 2000}};
  prueba::Carga(im, b);
  auto tabla = [&](const std::string& clave, std::string a, std::string c) {
    ParamsEscalaGris p;
    p.curva = BuscaCurvaGris(clave);
    p.valores = {a, c, "", ""};
    std::vector<int16_t> t;
    ConstruyeTablaGris(im, p, t);
    return t;
  };
  auto estira = [&](int a, int c) {
    std::vector<int16_t> t(65536);
    EstiramientoLineal(t, -32768, 32767, a, c, -32768, 32767);
    return t;
  };
  EXPECT_EQ(tabla("EXPANDIR", "%min", "%MAX"), estira(10, 2000));
  EXPECT_EQ(tabla("EXPANDIR", "%CIELO", "%max"), estira(20, 2000));
  EXPECT_EQ(tabla("EXPANDIR", "%CEL", "%BLANCO"), estira(20, im.Blanco()));
  EXPECT_EQ(tabla("EXPANDIR", "%MEDIA", "100"), estira(278, 100));
  EXPECT_EQ(tabla("EXPANDIR", "%NEGRO", "%MAX"), estira(im.Negro(), 2000));
  EXPECT_EQ(tabla("EXPANDIR", "%BLANCO", "%MAX"), estira(0, 2000));  // not a first keyword
  EXPECT_EQ(tabla("EXPANPERC", "0", "100"), estira(10, 2000));
  EXPECT_EQ(tabla("EXPANPERC", "%MIN", "50"), estira(10, im.Percentil(50)));
  // Percentages are whole numbers: the decimals of a typed value are dropped.
  EXPECT_EQ(tabla("EXPANPERC", "0.9", "50.7"), estira(10, im.Percentil(50)));
  // So is the brightness of the masks; their contrast keeps its decimals.
  for (const char* clave : {"MASC_NEGROS", "MASC_BLANC"}) {
    ParamsEscalaGris p;
    p.curva = BuscaCurvaGris(clave);
    std::vector<int16_t> decimal, entero, contraste;
    p.valores = {"100", "0", "0.0015", "7.8"};
    ConstruyeTablaGris(im, p, decimal);
    p.valores = {"100", "0", "0.0015", "7"};
    ConstruyeTablaGris(im, p, entero);
    p.valores = {"100", "0", "0", "7"};
    ConstruyeTablaGris(im, p, contraste);
    EXPECT_EQ(decimal, entero) << clave;
    EXPECT_NE(entero, contraste) << clave;
  }
}

TEST_F(EscalaGrisTest, MacroPathChecksAndRecords) {
  Imagen im;
  prueba::Carga(im, prueba::Aleatorio(5, 5, 1, 1));
  EXPECT_FALSE(EjecutaEscalaGris(im, {"expandir", "0", "10"}));  // exact, case-sensitive
  EXPECT_FALSE(EjecutaEscalaGris(im, {"EXPAND", "0", "10"}));
  EXPECT_FALSE(EjecutaEscalaGris(im, {"EXPANDIR", "0"}));
  EXPECT_FALSE(EjecutaEscalaGris(im, {"LOG_10", "0"}));        // below 1
  EXPECT_FALSE(EjecutaEscalaGris(im, {"EXPONENCIAL", "31"}));  // above 30
  EXPECT_FALSE(EjecutaEscalaGris(im, {"CONTORNO", "8", "33", "65537", "1"}));
  EXPECT_TRUE(EjecutaEscalaGris(im, {"EXPANDIR", "%MIN", "99999"}) == false);
  EXPECT_TRUE(EjecutaEscalaGris(im, {"EXPANDIR", "%MIN", "%XYZ"}));  // keywords are never checked
  EXPECT_TRUE(EjecutaEscalaGris(im, {"ALGEBRAICO", "10", "-2.5", "7"}));
  const int c = BuscaCurvaGris("ALGEBRAICO");
  EXPECT_EQ(CurvaGrisElegida(), c);
  EXPECT_EQ(CurvasGris()[static_cast<size_t>(c)].valores[1], "-2.5");
  EXPECT_EQ(LineaEscalaGris(ParamsActuales(c)), "ESCALGRIS ALGEBRAICO 10 -2.5 7 ");
  PreparaDialogoGris(0);
  EXPECT_EQ(LineaEscalaGris(ParamsActuales(0)), "ESCALGRIS EXPANDIR %NEGRO %BLANCO ");
  EXPECT_EQ(LineaEscalaGris(ParamsActuales(BuscaCurvaGris("NIVELES"))), "ESCALGRIS NIVELES 8  ");
}

TEST_F(EscalaGrisTest, DialogCheckNamesTheField) {
  const int c = BuscaCurvaGris("MASC_NEGROS");
  EXPECT_NO_THROW(CompruebaCamposGris(c, {"600", "0", "1", "0"}));
  EXPECT_NO_THROW(CompruebaCamposGris(c, {"%MIN", "0", "-8", "0"}));
  try {
    CompruebaCamposGris(c, {"600", "0", "9", "0"});
    ADD_FAILURE();
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 12070);
    EXPECT_EQ(e.Argumento(1), "Contraste: ");
    EXPECT_EQ(e.Argumento(2), "-8");
    EXPECT_EQ(e.Argumento(3), "8");
  }
}

TEST_F(EscalaGrisTest, PixelsOutsideRangeActAsItsEnds) {
  Rango().minimo = 100;
  Rango().maximo = 200;
  Imagen im;
  prueba::Carga(im, Bloque{4, 1, {-32768, 50, 250, 32767}});
  ASSERT_TRUE(EjecutaEscalaGris(im, {"ALGEBRAICO", "0", "1", "100"}));
  EXPECT_EQ(im.Pixeles(), (std::vector<int16_t>{100, 100, 200, 200}));
}

TEST_F(EscalaGrisTest, CancelKeepsReplacedRows) {
  Rango().minimo = 0;
  Rango().maximo = 255;
  Imagen im;
  Bloque b{3, 4, std::vector<int16_t>(12, 5)};
  prueba::Carga(im, b);
  // 26 polls while building 256 entries (every 10), then one per row: the 29th is row 2.
  prueba::ProgresoQueCancela cancela(29);
  try {
    EjecutaEscalaGris(im, {"ALGEBRAICO", "0", "1", "10"});
    ADD_FAILURE();
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 11011);
  }
  EXPECT_EQ(im.Pixeles(), (std::vector<int16_t>{15, 15, 15, 15, 15, 15, 5, 5, 5, 5, 5, 5}));
  EXPECT_EQ(im.Maximo(), 15);  // statistics follow the rows replaced
}

TEST_F(EscalaGrisTest, PreviewData) {
  Rango().minimo = 0;
  Rango().maximo = 99;
  Imagen im;
  prueba::Carga(im, Bloque{4, 1, {0, 0, 1, 99}});
  const std::vector<int> col = ColumnasHistogramaGris(im, 10, 100);
  ASSERT_EQ(col.size(), 10u);
  EXPECT_EQ(col[0],
            static_cast<int>(std::log(3.0) * 100 / std::log(8001.0)));  // 0 twice, 1 once: max 2
  EXPECT_EQ(col[5], 0);
  EXPECT_EQ(col[9], static_cast<int>(std::log(2.0) * 100 / std::log(8001.0)));
  std::vector<int16_t> identidad(100);
  for (int i = 0; i < 100; ++i) identidad[static_cast<size_t>(i)] = static_cast<int16_t>(i);
  const std::vector<int> curva = CurvaTablaGris(identidad, 4, 50);
  EXPECT_EQ(curva, (std::vector<int>{0, 12, 25, 37}));
}

}  // namespace
}  // namespace orva
