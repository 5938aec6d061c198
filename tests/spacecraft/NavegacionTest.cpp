// Navigation data: the pointing offset from the limb fit of a synthetic disc off the frame
// centre, the label's view geometry read from the header (units and quotes), and a frame with
// neither.
#include <gtest/gtest.h>

#include <string>

#include "core/Imagen.h"
#include "planetary/DiscoSintetico.h"
#include "spacecraft/Navegacion.h"

namespace orva {
namespace {

TEST(Navegacion, LimboYEtiqueta) {
  DiscoSintetico d;
  d.ancho = d.alto = 200;
  d.geometria.cx = 112.4;
  d.geometria.cy = 93.7;
  d.geometria.radio = 60.0;
  ImagenObservacion im;
  RenderizaDisco(d, im);
  im.Actualiza();
  im.cabecera.Anade("COMMENT TARGET_NAME = \"IO\"");
  im.cabecera.Anade("COMMENT   TARGET_CENTER_DISTANCE = 806244.5 <KM>");
  im.cabecera.Anade("COMMENT   SUB_SPACECRAFT_LATITUDE = -0.54");
  im.cabecera.Anade("COMMENT   SUB_SPACECRAFT_LONGITUDE = N/A");
  const NavegacionVoyager n = Navega(im);
  ASSERT_TRUE(n.conLimbo);
  EXPECT_NEAR(n.dx, 112.4 - 99.5, 0.2);
  EXPECT_NEAR(n.dy, 93.7 - 99.5, 0.2);
  EXPECT_NEAR(n.radio, 60.0, 0.3);
  EXPECT_EQ(n.objetivo, "IO");
  ASSERT_TRUE(n.distancia);
  EXPECT_DOUBLE_EQ(*n.distancia, 806244.5);
  ASSERT_TRUE(n.latSub);
  EXPECT_DOUBLE_EQ(*n.latSub, -0.54);
  EXPECT_FALSE(n.lonSub);  // "N/A" is no number

  // A blank frame: no limb and no label, said so rather than made up.
  ImagenObservacion vacia;
  vacia.CambiaPixeles(64, 64, std::vector<int16_t>(64 * 64, 100));
  vacia.Actualiza();
  const NavegacionVoyager v = Navega(vacia);
  EXPECT_FALSE(v.conLimbo);
  EXPECT_FALSE(v.distancia);
  const std::vector<std::string> l = LineasNavegacion(v);
  ASSERT_EQ(l.size(), 1u);
  EXPECT_EQ(l[0], "Limbo: no se puede ajustar");
}

}  // namespace
}  // namespace orva
