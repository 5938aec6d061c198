// The image operations run as macro lines: argument handling of each command, the per-line
// fill value, image arithmetic between slots and its errors.
#include <gtest/gtest.h>

#include "base/JError.h"
#include "macro/Macro.h"
#include "processing/Procesamiento.h"
#include "shell/Arranque.h"
#include "tests/processing/Referencia.h"

namespace orva {
namespace {

using prueba::Bloque;

class MacroProcesamientoTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Rango() = RangoPixeles{};
    InstalaSistema();
    prueba::Carga(im, prueba::Aleatorio(9, 7, 0, 21));
  }
  void TearDown() override { Rango() = RangoPixeles{}; }
  // Runs the lines; the JError id, or 0 when all ran.
  int Corre(const std::vector<std::string>& lineas) {
    try {
      EjecutaMacro(im, lineas);
      return 0;
    } catch (const JError& e) {
      return e.Id();
    }
  }
  Imagen im;
};

TEST_F(MacroProcesamientoTest, LinesReachTheOperations) {
  const std::vector<int16_t> antes = im.Pixeles();
  EXPECT_EQ(Corre({"FILTRO SUAV_1", "ESCALGRIS NIVELES 8 ", "ESPEJO H", "ESPEJO V", "ROTAR 90",
                   "ROTAR -90", "DESPLAZA 0 0 0", "CORTAR 0 0 9 7", "REDIM 0 0 9 7 9 7"}),
            0);
  EXPECT_EQ(im.Operaciones().size(), 9u);
  Imagen ref;
  prueba::Carga(ref, Bloque{9, 7, antes});
  EjecutaFiltro(ref, {"SUAV_1"});
  EjecutaEscalaGris(ref, {"NIVELES", "8"});
  AplicaRotacion(ref, ParamsRotacion{180});
  EXPECT_EQ(im.Pixeles(), ref.Pixeles());
}

TEST_F(MacroProcesamientoTest, FailingLines) {
  for (const char* l : {"FILTRO GAUS 1 30", "FILTRO LAP_GENE 1 3", "ESCALGRIS NADA 1", "ESPEJO X",
                        "DESPLAZA 3 4", "ROTAR", "REDIM 0 0 9 7 0 7", "CORTAR 0 0 9", "FILTRO"}) {
    EXPECT_EQ(Corre({l}), 12052) << l;
  }
  EXPECT_EQ(Corre({"CORTAR 9 0 1 1"}), 12045);
  EXPECT_EQ(Corre({"CORTAR 0.9 -0.5 9 7"}), 0);  // origins truncated toward zero
}

TEST_F(MacroProcesamientoTest, RotationArgumentsAndLineFill) {
  Rango().defecto = 5;
  const Bloque in{static_cast<int>(im.Ancho()), static_cast<int>(im.Alto()), im.Pixeles()};
  ASSERT_EQ(Corre({"ROTAR 30 10"}), 0);  // x alone is ignored: about the centre
  EXPECT_EQ(im.Pixeles(), prueba::RefRotacion(in, 30, 4, 3, 5).p);
  prueba::Carga(im, in);
  ASSERT_EQ(Corre({"ROTAR 30 2 1 -300"}), 0);
  EXPECT_EQ(im.Pixeles(), prueba::RefRotacion(in, 30, 2, 1, -300).p);
  EXPECT_EQ(Rango().defecto, 5);
  prueba::Carga(im, in);
  ASSERT_EQ(Corre({"DESPLAZA 0.5 -1 77"}), 0);
  EXPECT_EQ(im.Pixeles(), prueba::RefVentana(in, -0.5, 1, 9, 7, 77).p);
  EXPECT_EQ(Rango().defecto, 5);
}

TEST_F(MacroProcesamientoTest, ArithmeticBetweenSlots) {
  Rango().minimo = 0;
  Rango().maximo = 1000;
  const Bloque a{3, 1, {100, 500, 1000}};
  prueba::Carga(im, a);
  // LEER cannot run here, so slot 2 is a copy that the arithmetic then changes.
  ASSERT_EQ(Corre({"COPIAR 1 2", "SUMA 2 1 0 0.1", "SUMA 1 2 1.0 0.5"}), 0);
  // Slot 2 became trunc(0.1 a) = 10 50 100; slot 1 = trunc(a + 0.5 x slot 2), clamped to 1000.
  EXPECT_EQ(im.Pixeles(), (std::vector<int16_t>{105, 525, 1000}));
  prueba::Carga(im, a);
  ASSERT_EQ(Corre({"COPIAR 1 2", "RESTA 1 2"}), 0);
  EXPECT_EQ(im.Pixeles(), (std::vector<int16_t>{0, 0, 0}));
  prueba::Carga(im, a);
  ASSERT_EQ(Corre({"COPIAR 1 3", "SUMA 3 1 0 0.02", "DIVIDIR 1 3"}), 0);
  // Flat 2 10 20, mean 32/3: a x mean / flat.
  const double m = 32.0 / 3;
  EXPECT_EQ(im.Pixeles(), (std::vector<int16_t>{
                              static_cast<int16_t>(100 * m / 2), static_cast<int16_t>(500 * m / 10),
                              static_cast<int16_t>(std::min(1000.0, 1000 * m / 20))}));
  EXPECT_EQ(Corre({"SUMA 1 2 1.0 0.5"}), 12052);  // slot 2 empty
  prueba::Carga(im, a);
  ASSERT_EQ(Corre({"COPIAR 1 2", "SUMA 2 1 0 0", "FLAT 1 2"}), 12211);  // flat with mean 0
}

TEST_F(MacroProcesamientoTest, ArithmeticSizeMismatch) {
  Imagen otra;
  prueba::Carga(otra, Bloque{2, 2, {1, 2, 3, 4}});
  try {
    SumaImagenes(im, otra, 1, 1);
    ADD_FAILURE();
  } catch (const JError& e) {
    EXPECT_EQ(e.Id(), 12210);
  }
  EXPECT_THROW(DivideImagenes(im, otra), JError);
  EXPECT_EQ(LineaSuma(2, 1, 0.5), "SUMA 1 2 1.00 0.50");
  EXPECT_EQ(LineaResta(3), "RESTA 1 3");
  EXPECT_EQ(LineaDivide(4), "DIVIDIR 1 4");
}

TEST_F(MacroProcesamientoTest, ZeroFlatPixelKeepsValue) {
  Imagen flat;
  prueba::Carga(im, Bloque{2, 1, {300, 400}});
  prueba::Carga(flat, Bloque{2, 1, {0, 50}});
  DivideImagenes(im, flat);
  EXPECT_EQ(im.Pixeles(), (std::vector<int16_t>{300, 200}));
}

// The mapping of stored values to physical ones after operations that change the values: a
// difference of two frames of one zero point has none, a curve or mixed scales leave no mapping.
TEST_F(MacroProcesamientoTest, ValueMappingFollowsArithmeticAndCurves) {
  struct Caso {
    std::vector<std::string> lineas;
    MapeoValores copia, esperado;
  };
  const MapeoValores desplazado{32768.0, 1.0}, mitad{0.0, 2.0};
  for (const Caso& c : {Caso{{"COPIAR 1 2", "RESTA 1 2"}, desplazado, {0.0, 1.0}},
                        Caso{{"COPIAR 1 2", "SUMA 1 2 1.0 1.0"}, desplazado, {65536.0, 1.0}},
                        Caso{{"COPIAR 1 2", "SUMA 1 2 1.0 1.0"}, mitad, {}},
                        Caso{{"COPIAR 1 2", "DIVIDIR 1 2"}, desplazado, {}},
                        Caso{{"ESCALGRIS NIVELES 8 "}, desplazado, {}},
                        Caso{{"FILTRO SUAV_1", "ESPEJO H"}, desplazado, desplazado}}) {
    prueba::Carga(im, prueba::Aleatorio(9, 7, 1, 21));
    im.mapeo = desplazado;
    std::vector<std::string> lineas = c.lineas;
    // The copy in slot 2 gets its own mapping before the arithmetic line.
    if (lineas.size() == 2 && lineas[0] == "COPIAR 1 2") {
      Ranuras r(im);
      ASSERT_EQ(EjecutaLinea(r, lineas[0], 1), 1);
      r.En(2)->mapeo = c.copia;
      ASSERT_EQ(EjecutaLinea(r, lineas[1], 1), 1) << lineas[1];
    } else {
      ASSERT_EQ(Corre(lineas), 0);
    }
    EXPECT_EQ(im.mapeo, c.esperado) << lineas.back();
  }
}

}  // namespace
}  // namespace orva
