// Geometric operations: rotation, mirrors, crop, shift and resize, with their recorded lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orva {

class Imagen;

// Bilinear sample of a width x height block at a real position: outside (x < 0, y < 0,
// x >= width, y >= height) the fill value; at a whole position the pixel itself; otherwise the
// four neighbours (those outside count as the fill value) weighted
// p00 (1-fx)(1-fy) + p10 fx (1-fy) + p01 (1-fx) fy + p11 fx fy, truncated toward zero.
int16_t MuestraBilineal(const int16_t* px, long ancho, long alto, double x, double y,
                        int16_t relleno);

// Rotation by a real angle in degrees about a centre (default width div 2, height div 2).
// Multiples of 90 are exact pixel moves (90: a quarter turn clockwise as displayed, the image
// becomes height wide and width high); other angles resample with the fill value. The line's
// own value, when given, replaces the out-of-image value while the rotation runs.
struct ParamsRotacion {
  double angulo = 0.0;
  bool conCentro = false;
  double cx = 0.0, cy = 0.0;
  bool conValor = false;
  int16_t valor = 0;
};
void AplicaRotacion(Imagen& im, const ParamsRotacion& p);
// "ROTAR <angle %.2f> " then "<cx> <cy>" when the centre is given (a marked rotation centre).
std::string LineaRotacion(const ParamsRotacion& p);

enum class Espejo { kHorizontal = 0, kVertical = 1 };
void AplicaEspejo(Imagen& im, Espejo e);
std::string LineaEspejo(Espejo e);

// Crop to the w x h region at (x, y), checked first: 12045 origin x outside the image, 12046
// origin y outside, 12047 an empty region or one that passes the right or bottom edge.
struct ParamsCorte {
  int x = 0, y = 0, w = 0, h = 0;
  bool conValor = false;
  int16_t valor = 0;
};
void CompruebaCorte(const Imagen& im, const ParamsCorte& p);
void AplicaCorte(Imagen& im, const ParamsCorte& p);
std::string LineaCorte(const ParamsCorte& p);

// Resize: the source rectangle (x, y, w, h) resampled to nw x nh; sizes below 1 fail.
struct ParamsRedim {
  int x = 0, y = 0, w = 0, h = 0, nw = 0, nh = 0;
};
bool AplicaRedim(Imagen& im, const ParamsRedim& p);
std::string LineaRedim(const ParamsRedim& p);
// The resize dialog's factor check: 12048 for a factor of zero or less.
void CompruebaFactor(double factor);

// Shift by (dx, dy) keeping the size: the picture moves dx pixels right and dy down (negative
// amounts move it left and up); pixels shifted in from outside take the value.
struct ParamsDesplaza {
  double dx = 0.0, dy = 0.0;
  int16_t valor = 0;
};
void AplicaDesplaza(Imagen& im, const ParamsDesplaza& p);
std::string LineaDesplaza(const ParamsDesplaza& p);

// Window resampling: a new w x h grid whose pixel (x, y) is the bilinear sample at
// (x + ox, y + oy) with the current out-of-image value.
void RemuestreaVentana(Imagen& im, double ox, double oy, int w, int h);

}  // namespace orva
