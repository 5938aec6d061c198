// Display levels of the real frames against astropy, and the FITS display orientation setting.
#include <gtest/gtest.h>

#include "core/Imagen.h"
#include "core/Niveles.h"
#include "formats/TiposArchivo.h"
#include "formats/fits/Fits.h"
#include "shell/Configuracion.h"

namespace orva {
namespace {

TEST(NivelesFits, ZScaleOfRealFramesMatchesAstropy) {
  // astropy.visualization.ZScaleInterval().get_limits(fits.getdata(f)) on the physical values.
  // The unsigned frame is read at half scale (LEEVALUNSIG 1), so it may differ by one level.
  struct Caso {
    const char* archivo;
    double bajo, alto, tolerancia;
  };
  const Caso casos[] = {
      {"m51_iraf_devpix.fits", 36.0, 352.89780275426534, 0.5},
      {"eyuma_r90s_cutout.fits", 2764.0, 2791.824832498185, 2.0},
  };
  Configuracion::Global().RestableceDefectos();
  for (const Caso& c : casos) {
    Imagen im;
    LeeArchivo(std::string(ORVA_TEST_DATA) + "/" + c.archivo, im);
    const Niveles n = NivelesZScale(im);
    EXPECT_NEAR(im.mapeo.Fisico(n.negro), c.bajo, c.tolerancia) << c.archivo;
    EXPECT_NEAR(im.mapeo.Fisico(n.blanco), c.alto, c.tolerancia) << c.archivo;
    EXPECT_TRUE(MuestraFilaUnoAbajo(im)) << c.archivo;
  }
  Configuracion::Global().Asigna(kSeccionFits, "FILAUNOABAJO", "0");
  Imagen im;
  LeeArchivo(std::string(ORVA_TEST_DATA) + "/m51_iraf_devpix.fits", im);
  EXPECT_FALSE(MuestraFilaUnoAbajo(im));
  Configuracion::Global().RestableceDefectos();
}

}  // namespace
}  // namespace orva
