// The iterated star centroid of the interactive analyses and its failures.
#include "stellar/Centroide.h"

#include <gtest/gtest.h>

#include "base/JError.h"
#include "core/Imagen.h"
#include "core/Rango.h"
#include "shell/Configuracion.h"
#include "stellar/CampoSintetico.h"

namespace orva {
namespace {

using prueba::CreaCampo;

class CentroideTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Configuracion::Global().RestableceDefectos();
    Rango() = RangoPixeles{0, 32767, 0};
  }
  void TearDown() override { Configuracion::Global().RestableceDefectos(); }
};

TEST_F(CentroideTest, FindsTheStarFromANearbyClick) {
  Imagen im;
  CreaCampo(im, 80, 80, 300, {{40.3, 37.8, 5000, 1.4}}, 5.0, 9);
  for (int metodo : {1, 2}) {
    for (int skyStar : {0, 1}) {
      ParametrosCentroide p = LeeParametrosCentroide();
      p.metodo = metodo;
      p.skyStar = skyStar;
      SCOPED_TRACE(metodo * 10 + skyStar);
      const ResultadoCentroide r = CentroideEstrella(im, 42, 36, p);
      EXPECT_NEAR(r.x, 40.3, 0.05);
      EXPECT_NEAR(r.y, 37.8, 0.05);
      EXPECT_NEAR(r.fwhm, 2.3548 * 1.4, 0.4);
      EXPECT_NEAR(r.cielo, 300, 5);
      EXPECT_GE(r.iteraciones, 2);
    }
  }
}

TEST_F(CentroideTest, FailuresRaiseTheirMessages) {
  Imagen im;
  CreaCampo(im, 60, 60, 300, {{30, 30, 5000, 1.4}, {48, 12, 5000, 1.4}});
  ParametrosCentroide p = LeeParametrosCentroide();
  struct Caso {
    const char* nombre;
    double x, y;
    ParametrosCentroide p;
    int error;
  };
  ParametrosCentroide estrecha = p, unPaso = p;
  estrecha.maxFWHM = 2.0;
  unPaso.numItera = 1;
  const Caso casos[] = {
      {"border", 3, 30, p, 12134},         {"border right", 57, 30, p, 12134},
      {"nan", std::nan(""), 30, p, 12134}, {"empty sky", 10, 45, p, 12137},
      {"fwhm", 30, 30, estrecha, 12136},   {"one step", 33, 33, unPaso, 12135},
  };
  for (const Caso& c : casos) {
    try {
      CentroideEstrella(im, c.x, c.y, c.p);
      ADD_FAILURE() << c.nombre;
    } catch (const JError& e) {
      EXPECT_EQ(e.Id(), c.error) << c.nombre;
      if (c.error == 12135) {
        EXPECT_EQ(e.Argumento(1), "1");
      }
    }
  }
}

}  // namespace
}  // namespace orva
