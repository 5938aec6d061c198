// The display mapping: an image as the screen shows it (pixels through the gray table or the
// palette, zoom by sampling), as an RGB bitmap, and a drawing surface on such a bitmap.
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

// Size of the displayed image at a zoom factor: floor(size x factor), at least 1 for a non-empty
// image.
uint32_t TamanoZoom(uint32_t tamano, double factor);

// The image as displayed at the zoom factor: screen pixel (X, Y) shows image pixel
// (floor(X / factor), floor(Y / factor)).
MapaRGB RenderizaImagen(const Imagen& imagen, double factor);

// Draws overlays on a bitmap in image coordinates scaled by the zoom factor. Text is written
// with a small built-in 3 x 5 font (digits, letters, a few signs).
class LienzoMapa : public Lienzo {
 public:
  LienzoMapa(MapaRGB& mapa, double factor) : mapa_(mapa), factor_(factor) {}
  void Linea(double x0, double y0, double x1, double y1, Color c) override;
  void Circulo(double cx, double cy, double radio, Color c) override;
  void Texto(double x, double y, const std::string& texto, Color c) override;

 private:
  MapaRGB& mapa_;
  double factor_;
};

}  // namespace orva
