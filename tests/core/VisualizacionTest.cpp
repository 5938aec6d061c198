// The display mapping: zoom by sampling through the gray table, palettes, drawing on bitmaps.
#include "core/Visualizacion.h"

#include <gtest/gtest.h>

#include <cmath>

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

TEST(Visualizacion, ViewPlacesPixelsAndOverlaysAlike) {
  // Every screen pixel of a region shows the pixel the view maps it to, flipped or not, and an
  // overlay point at a pixel's coordinates lands inside that pixel's screen square.
  Configuracion::Global().RestableceDefectos();
  Rango() = RangoPixeles{0, 32767, 0};
  Imagen im;
  im.DimensionaImagen(5, 4);
  for (int i = 0; i < 20; ++i) im.Pixeles()[i] = static_cast<int16_t>(i * 100);
  im.FijaNiveles(0, 1900);
  for (bool abajo : {false, true}) {
    for (double z : {1.0, 3.0, 0.5}) {
      const Vista v{z, abajo, im.Alto()};
      const long x0 = -2, y0 = 1;
      const MapaRGB m = RenderizaImagen(im, v, x0, y0, 12, 9);
      for (uint32_t y = 0; y < m.alto; ++y) {
        for (uint32_t x = 0; x < m.ancho; ++x) {
          const long px = v.PixelX(x0 + long(x)), py = v.PixelY(y0 + long(y));
          const bool dentro = px >= 0 && py >= 0 && px < 5 && py < 4;
          const uint8_t esperado = dentro ? im.Gris(im.Pixel(px, py)) : 0;
          EXPECT_EQ(m.rgb[(y * m.ancho + x) * 3], esperado) << z << " " << x << "," << y;
        }
      }
      for (long py = 0; py < 4; ++py) {
        EXPECT_EQ(v.PixelY(v.PantallaY(py)), py);
        EXPECT_EQ(v.PixelX(v.PantallaX(py)), py);
        EXPECT_NEAR(v.ImagenY(v.PantallaY(py + 0.25)), py + 0.25, 1e-12);
      }
      EXPECT_EQ(v.PixelY(0), abajo ? 3 : 0) << "top screen row";
      // An overlay line along image row 0 is drawn on that row's screen pixels.
      MapaRGB lienzo = RenderizaImagen(im, v);
      LienzoMapa l(lienzo, v);
      l.Linea(0, 0, 4, 0, {255, 0, 0});
      const size_t fila = static_cast<size_t>(std::floor(v.PantallaY(0)));
      const size_t columna = static_cast<size_t>(std::floor(v.PantallaX(0)));
      if (z >= 1) {
        EXPECT_EQ(v.PixelY(static_cast<double>(fila)), 0);
      }
      EXPECT_EQ(lienzo.rgb[(fila * lienzo.ancho + columna) * 3], 255) << z;
      EXPECT_EQ(lienzo.rgb[(fila * lienzo.ancho + columna) * 3 + 1], 0) << z;
    }
  }
  // Palette values beyond the palette take its last entry rather than wrapping.
  im.esPaleta = 1;
  im.Pixeles()[0] = 300;
  im.paleta[255 * 3] = 77;
  EXPECT_EQ(RenderizaImagen(im, 1.0).rgb[0], 77);
  EXPECT_DOUBLE_EQ(FactorAjuste(1000, 500, 500, 500), 0.5);
  EXPECT_DOUBLE_EQ(FactorAjuste(10, 20, 400, 400), 20.0);
  EXPECT_DOUBLE_EQ(FactorAjuste(0, 20, 400, 400), 1.0);
}

}  // namespace
}  // namespace orva
