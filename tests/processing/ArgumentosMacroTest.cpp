// Hostile arguments through the interpreter: every command word with extreme values in every
// argument position either runs or raises JError, never crashes, and leaves the images as they
// were when it fails; the reported crashes and the oversized resize as regression cases.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "base/JError.h"
#include "base/Memoria.h"
#include "core/Imagen.h"
#include "core/Rango.h"
#include "macro/Macro.h"
#include "processing/Procesamiento.h"
#include "shell/Arranque.h"
#include "tests/processing/Referencia.h"

namespace orva {
namespace {

constexpr uint64_t kPresupuesto = uint64_t{64} << 20;

class ArgumentosMacroTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InstalaSistema();
    FijaLimiteMemoria(kPresupuesto);
    Rango() = RangoPixeles{};
  }
  void TearDown() override {
    FijaLimiteMemoria(0);
    RestableceCurvasGris();
  }
};

// Size and pixels of every slot.
std::vector<std::vector<int16_t>> Estado(const Ranuras& r) {
  std::vector<std::vector<int16_t>> e;
  for (int s = 1; s <= 8; ++s) {
    const Imagen* im = r.En(s);
    e.push_back(im ? im->Pixeles() : std::vector<int16_t>{});
    if (im) e.back().push_back(static_cast<int16_t>(im->Ancho()));
  }
  return e;
}

// One valid line of every command word and form; each argument position is then replaced.
std::vector<std::vector<std::string>> LineasBase() {
  std::vector<std::vector<std::string>> l = {
      {"USAR", "1"},
      {"COPIAR", "1", "3"},
      {"LEER", "no_existe.qor", "1"},
      {"MOSTRAR", "HISTO"},
      {"ZOOM", "A", "2"},
      {"INVERTIR", "1"},
      {"ROTAR", "30", "2", "1", "5"},
      {"ESPEJO", "H"},
      {"DESPLAZA", "1.5", "1", "0"},
      {"CORTAR", "0", "0", "3", "3", "0"},
      {"REDIM", "0", "0", "4", "4", "5", "5"},
      {"SUMA", "1", "2", "1", "0.5"},
      {"RESTA", "1", "2"},
      {"FLAT", "1", "2"},
      {"DIVIDIR", "1", "2"},
  };
  for (const CurvaGris& c : CurvasGris()) {
    std::vector<std::string> g = {"ESCALGRIS", c.clave};
    for (int k = 0; k < c.numParametros; ++k) g.push_back(c.minimos[static_cast<size_t>(k)]);
    l.push_back(g);
  }
  for (const char* f :
       {"SUAV_1", "MEDIA 3", "GAUS 1 2", "MEDIANA 1 1", "CONTR_INV 3 0", "CONT LAPLAC_1",
        "CONT LAP_GENE 1 2", "RCONT MEDIA 3 1 1", "RCONT GAUS 1 2 1 1", "RCONT LAP_GENE 1 2 1",
        "RCONT LAPLAC_1 1", "GRAD SOBEL", "RGRAD SOBEL 1 1"}) {
    std::vector<std::string> t = {"FILTRO"};
    std::string resto = f;
    for (size_t i = 0; i != std::string::npos;) {
      const size_t j = resto.find(' ', i);
      t.push_back(resto.substr(i, j == std::string::npos ? j : j - i));
      i = j == std::string::npos ? j : j + 1;
    }
    l.push_back(t);
  }
  return l;
}

TEST_F(ArgumentosMacroTest, ExtremeValuesInEveryPositionNeverCrash) {
  const std::vector<std::string> extremos = {
      "0",      "-1",  "2147483647", "-2147483648", "4294967296",          "1e308",
      "-1e308", "nan", "inf",        "-inf",        std::string(400, '9'), "abc"};
  const prueba::Bloque base = prueba::Aleatorio(6, 5, 0, 3);
  int corridas = 0, fallos = 0;
  for (const std::vector<std::string>& l : LineasBase()) {
    for (size_t k = 1; k < l.size(); ++k) {
      for (const std::string& v : extremos) {
        std::vector<std::string> t = l;
        t[k] = v;
        std::string linea = t[0];
        for (size_t i = 1; i < t.size(); ++i) linea += " " + t[i];
        Imagen im;
        prueba::Carga(im, base);
        Ranuras r(im);
        r.Copia(1, 2);
        const auto antes = Estado(r);
        int resultado = 0;
        try {
          resultado = EjecutaLineaConMotivo(r, linea, 1);
        } catch (const JError& e) {
          ++fallos;
          EXPECT_FALSE(e.Mensaje().empty());
          EXPECT_EQ(Estado(r), antes) << linea << ": " << e.Mensaje();
        }
        EXPECT_TRUE(resultado == 0 || (resultado >= 1 && resultado <= 8)) << linea;
        ++corridas;
      }
    }
  }
  // Most lines are refused, some (a value in range, "30abc" readings) run.
  EXPECT_GT(fallos, corridas / 2);
  EXPECT_LT(fallos, corridas);
}

// Radius 2^31 - 1: 2 r + 1 wrapped to a small number and passed the kernel-size check.
TEST_F(ArgumentosMacroTest, FiltroGausRadioEnteroMaximo) {
  NucleoReal k;
  EXPECT_FALSE(NucleoGaus(1.0, 2147483647, k));
  EXPECT_FALSE(NucleoLaplaciana(1.0, 1073741824, k));
  EXPECT_FALSE(NucleoGaus(0.0, 2, k));  // no kernel from sigma 0
  EXPECT_TRUE(NucleoGaus(1.0, kRadioMaxNucleo, k));
  Imagen im;
  prueba::Carga(im, prueba::Aleatorio(9, 7, 0, 5));
  const std::vector<int16_t> antes = im.Pixeles();
  try {
    EjecutaMacro(im, {"FILTRO GAUS 1 2147483647"});
    ADD_FAILURE();
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 12052);
    EXPECT_EQ(e.Argumento(3), "el argumento 3 ('2147483647') está fuera de rango (1 a 24)");
  }
  EXPECT_EQ(im.Pixeles(), antes);
}

TEST_F(ArgumentosMacroTest, FiltroRcontLapGeneRadioDosALaTreinta) {
  Imagen im;
  prueba::Carga(im, prueba::Aleatorio(9, 7, 0, 6));
  const std::vector<int16_t> antes = im.Pixeles();
  for (const char* l : {"FILTRO RCONT LAP_GENE 1 1073741824 2", "FILTRO MEDIANA 1 2147483647",
                        "FILTRO CONT LAP_GENE 1e-320 2"}) {
    try {
      EjecutaMacro(im, {l});
      ADD_FAILURE() << l;
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), 12052) << l;
    }
  }
  EXPECT_EQ(im.Pixeles(), antes);
}

// Two billion columns: the new image and its column table would take 24 GB. Refused before
// anything is allocated, whatever the machine (the budget is set by the fixture).
TEST_F(ArgumentosMacroTest, RedimSinMemoria) {
  Imagen im;
  prueba::Carga(im, prueba::Aleatorio(9, 7, 0, 7));
  for (const char* l : {"REDIM 0 0 512 512 2000000000 2", "REDIM 0 0 1 1 2147483647 2147483647"}) {
    try {
      EjecutaMacro(im, {l});
      ADD_FAILURE() << l;
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), 10100) << l;
    }
  }
  EXPECT_EQ(im.Ancho(), 9u);
  EXPECT_TRUE(im.Operaciones().empty());
  EXPECT_NO_THROW(EjecutaMacro(im, {"REDIM 0 0 9 7 18 14"}));
  EXPECT_EQ(im.Ancho(), 18u);
  // A copy into a slot is held to the same budget.
  FijaLimiteMemoria(16);
  try {
    EjecutaMacro(im, {"COPIAR 1 2"});
    ADD_FAILURE();
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 10100);
  }
}

}  // namespace
}  // namespace orva
