// The display mapping: zoom by sampling through the gray table, palettes, drawing on bitmaps.
#include "core/Visualizacion.h"

#include <gtest/gtest.h>

#include "core/Imagen.h"
#include "core/Rango.h"
#include "shell/Configuracion.h"

namespace orva {
namespace {

TEST(Visualizacion, ZoomSamplesSourcePixels) {
  Configuracion::Global().RestableceDefectos();
  Rango() = RangoPixeles{0, 32767, 0};
  Imagen im;
  im.DimensionaImagen(3, 2);
  for (int i = 0; i < 6; ++i) im.Pixeles()[i] = static_cast<int16_t>(i * 1000);
  im.FijaNiveles(0, 5000);
  struct Caso {
    double zoom;
    uint32_t ancho, alto;
  };
  for (const Caso& c : {Caso{1, 3, 2}, Caso{2, 6, 4}, Caso{0.5, 1, 1}, Caso{1.0 / 9, 1, 1}}) {
    const MapaRGB m = RenderizaImagen(im, c.zoom);
    EXPECT_EQ(m.ancho, c.ancho) << c.zoom;
    EXPECT_EQ(m.alto, c.alto) << c.zoom;
    ASSERT_EQ(m.rgb.size(), size_t{c.ancho} * c.alto * 3);
    for (uint32_t y = 0; y < m.alto; ++y) {
      for (uint32_t x = 0; x < m.ancho; ++x) {
        const int v = im.Pixel(long(x / c.zoom), long(y / c.zoom));
        EXPECT_EQ(m.rgb[(y * m.ancho + x) * 3], im.Gris(v)) << x << "," << y;
      }
    }
  }
  EXPECT_EQ(TamanoZoom(0, 2.0), 0u);
  EXPECT_EQ(TamanoZoom(5, 0.0), 0u);
}

TEST(Visualizacion, PaletteImagesUseTheirPalette) {
  Imagen im;
  im.DimensionaImagen(2, 1);
  im.Pixeles() = {1, 2};
  im.esPaleta = 1;
  im.paleta[3] = 10, im.paleta[4] = 20, im.paleta[5] = 30;
  const MapaRGB m = RenderizaImagen(im, 1.0);
  EXPECT_EQ(m.rgb[0], 10);
  EXPECT_EQ(m.rgb[1], 20);
  EXPECT_EQ(m.rgb[2], 30);
}

TEST(Visualizacion, DrawingStaysInsideTheBitmap) {
  MapaRGB m{4, 4, std::vector<uint8_t>(48, 0)};
  LienzoMapa l(m, 1.0);
  l.Circulo(1, 1, 100, {0, 255, 0});
  l.Texto(1e300, 0, "12", {0, 0, 255});
  l.Texto(0, 0, "1", {0, 0, 255});
  l.Linea(-10, 1, 10, 1, {255, 0, 0});
  for (int x = 0; x < 4; ++x) EXPECT_EQ(m.rgb[(4 + x) * 3], 255) << x;
  EXPECT_EQ(m.rgb[(0 * 4 + 1) * 3 + 2], 255);  // top of the "1" glyph
}

}  // namespace
}  // namespace orva
