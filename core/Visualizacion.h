// The display mapping: an image as the screen shows it (pixels through the gray table or the
// palette, zoom by sampling, optionally the first row at the bottom), as an RGB bitmap, and a
// drawing surface on such a bitmap. The desktop and the command line both paint through it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Lienzo.h"

namespace orva {

class Imagen;

struct MapaRGB {
  uint32_t ancho = 0;
  uint32_t alto = 0;
  std::vector<uint8_t> rgb;  // 3 bytes per pixel, row after row

  void Pon(long x, long y, Color c) {
    if (x < 0 || y < 0 || x >= static_cast<long>(ancho) || y >= static_cast<long>(alto)) return;
    uint8_t* p = &rgb[(static_cast<size_t>(y) * ancho + static_cast<size_t>(x)) * 3];
    p[0] = c.r;
    p[1] = c.g;
    p[2] = c.b;
  }
};

// Where an image sits on the screen: the zoom factor and whether the first row is shown at the
// bottom (as FITS viewers show FITS images). Screen pixel X covers [X, X + 1); image pixel x
// covers screen [x * factor, (x + 1) * factor), so its centre is at (x + 0.5) * factor.
struct Vista {
  double factor = 1.0;
  bool filaUnoAbajo = false;
  uint32_t alto = 0;  // image height, which the flip needs

  // Screen position of image position (x, y) (integer positions are pixel centres).
  double PantallaX(double x) const { return (x + 0.5) * factor; }
  double PantallaY(double y) const {
    return ((filaUnoAbajo ? static_cast<double>(alto) - 1.0 - y : y) + 0.5) * factor;
  }
  // Image column and row shown at screen position (X, Y) (outside the image when X or Y is).
  long PixelX(double X) const;
  long PixelY(double Y) const;
  // Image position (real) at screen position (X, Y), the inverse of PantallaX / PantallaY.
  double ImagenX(double X) const { return X / factor - 0.5; }
  double ImagenY(double Y) const {
    const double y = Y / factor - 0.5;
    return filaUnoAbajo ? static_cast<double>(alto) - 1.0 - y : y;
  }
};

// The view of an image at its own zoom factor (1 when it holds none).
Vista VistaDe(const Imagen& imagen, bool filaUnoAbajo);

// The largest zoom factor at which the image fits in ancho x alto screen pixels (at least
// 1/64, at most 64); 1 for an empty image or area.
double FactorAjuste(uint32_t anchoImagen, uint32_t altoImagen, uint32_t ancho, uint32_t alto);

// Size of the displayed image at a zoom factor: floor(size x factor), at least 1 for a non-empty
// image.
uint32_t TamanoZoom(uint32_t tamano, double factor);

// The image as displayed at the zoom factor: screen pixel (X, Y) shows image pixel
// (floor(X / factor), floor(Y / factor)).
MapaRGB RenderizaImagen(const Imagen& imagen, double factor);
// The screen rectangle (x0, y0, ancho, alto) of the image as displayed in the view; screen
// pixels outside the image are black. Palette images index their palette with the pixel value
// clamped to 0..255.
MapaRGB RenderizaImagen(const Imagen& imagen, const Vista& vista, long x0, long y0, uint32_t ancho,
                        uint32_t alto);
// The whole image in the view.
MapaRGB RenderizaImagen(const Imagen& imagen, const Vista& vista);

// Draws overlays on a bitmap in image coordinates placed by a view (integer coordinates at pixel
// centres); the bitmap's top left corner is screen position (x0, y0). Text is written with a
// small built-in 3 x 5 font (digits, letters, a few signs), upright in any view.
class LienzoMapa : public Lienzo {
 public:
  LienzoMapa(MapaRGB& mapa, double factor) : mapa_(mapa), vista_{factor, false, 0} {}
  LienzoMapa(MapaRGB& mapa, const Vista& vista, long x0 = 0, long y0 = 0)
      : mapa_(mapa), vista_(vista), x0_(x0), y0_(y0) {}
  void Linea(double x0, double y0, double x1, double y1, Color c) override;
  void Circulo(double cx, double cy, double radio, Color c) override;
  void Texto(double x, double y, const std::string& texto, Color c) override;

 private:
  void Pon(double X, double Y, Color c);
  MapaRGB& mapa_;
  Vista vista_;
  long x0_ = 0, y0_ = 0;
};

}  // namespace orva
