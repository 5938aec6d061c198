// Both finders on a real CCD frame (M51, 512 x 512): the three bright isolated field stars whose
// positions come from the frame's world coordinates must be among the stars found.
#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/Imagen.h"
#include "core/Rango.h"
#include "core/TiposObjeto.h"
#include "formats/TiposArchivo.h"
#include "shell/Configuracion.h"
#include "stellar/BuscaEstrellas.h"
#include "stellar/CampoSintetico.h"
#include "stellar/DatosVariables.h"

namespace orva {
namespace {

TEST(CampoReal, BothFindersFindTheReferenceStarsOfM51) {
  Configuracion::Global().RestableceDefectos();
  Rango() = RangoPixeles{0, 32767, 0};
  Imagen im;
  LeeArchivo(std::string(ORVA_TEST_DATA) + "/m51_iraf_devpix.fits", im);
  ASSERT_EQ(im.Ancho(), 512u);
  im.CambiaTipoObjeto(kVariable);
  // 1-based (column, row) of the frame's notes, here 0-based.
  const double referencia[][2] = {{464.5, 61.1}, {441.0, 408.7}, {223.4, 130.2}};
  for (MetodoBusqueda m : {MetodoBusqueda::kPCVista, MetodoBusqueda::kTASS}) {
    prueba::ProgresoRegistro log;
    const int n = BuscaEstrellas(im, m, true, log);
    SCOPED_TRACE(m == MetodoBusqueda::kPCVista ? "pcvista" : "tass");
    EXPECT_GE(n, 10);  // about ten field stars, plus knots of the galaxy
    for (const auto& r : referencia) {
      bool encontrada = false;
      for (const ObjetoEstelar& e : DatosVariablesDe(im).Estrellas()) {
        if (std::hypot(e.x - r[0], e.y - r[1]) < 0.5) {
          encontrada = true;
          EXPECT_GT(e.sumaLimpia, 0);
        }
      }
      EXPECT_TRUE(encontrada) << r[0] << "," << r[1];
    }
  }
  Configuracion::Global().RestableceDefectos();
}

}  // namespace
}  // namespace orva
