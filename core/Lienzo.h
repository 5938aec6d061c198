// A drawing surface for analysis overlays, in image pixel coordinates. The desktop draws it with
// its painter; the command-line renderer draws it into a bitmap.
#pragma once

#include <cstdint>
#include <string>

namespace orva {

struct Color {
  uint8_t r = 255, g = 255, b = 255;
};

class Lienzo {
 public:
  virtual ~Lienzo() = default;
  virtual void Linea(double x0, double y0, double x1, double y1, Color c) = 0;
  virtual void Circulo(double cx, double cy, double radio, Color c) = 0;
  virtual void Texto(double x, double y, const std::string& texto, Color c) = 0;

  // A cross of half size r centred on (x, y).
  void Cruz(double x, double y, double r, Color c) {
    Linea(x - r, y, x + r, y, c);
    Linea(x, y - r, x, y + r, c);
  }
};

}  // namespace orva
