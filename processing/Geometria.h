// Geometric operations: rotation, mirrors, crop, shift and resize, with their recorded lines.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/Rango.h"

namespace orva {

class Imagen;
class Progreso;

// Every operation here has two forms: one polling the given progress object, and one polling
// the process-wide one (core/Progreso.h; rotation, shift and resize open a progress session on
// it, with their titles, as the menu and macro paths expect). Rows are worked
// in bands on the operations' threads (core/Hilos.h) with the same result for any thread count;
// a cancel, asked between bands, raises 11011 and leaves the image as it was.

// Bilinear sample of a width x height block at a real position: outside (x < 0, y < 0,
// x >= width, y >= height) the fill value; at a whole position the pixel itself; otherwise the
// four neighbours (those outside count as the fill value) weighted
// p00 (1-fx)(1-fy) + p10 fx (1-fy) + p01 (1-fx) fy + p11 fx fy, truncated toward zero.
int16_t MuestraBilineal(const int16_t* px, long ancho, long alto, double x, double y,
                        int16_t relleno);

// Rotation by a real angle in degrees about a centre (default width div 2, height div 2).
// Multiples of 90 are exact pixel moves (90: a quarter turn clockwise as displayed, the image
// becomes height wide and width high); other angles resample with the fill value `valor`: the
// line's own value when it gives one (conValor, recorded in the line), otherwise the configured
// out-of-image value, which a new record holds.
struct ParamsRotacion {
  double angulo = 0.0;
  bool conCentro = false;
  double cx = 0.0, cy = 0.0;
  bool conValor = false;
  int16_t valor = Rango().defecto;
};
void AplicaRotacion(Imagen& im, const ParamsRotacion& p);
void AplicaRotacion(Imagen& im, const ParamsRotacion& p, Progreso& progreso);
// "ROTAR <angle %.2f> " then "<cx> <cy>" when the centre is given (a marked rotation centre).
std::string LineaRotacion(const ParamsRotacion& p);

enum class Espejo { kHorizontal = 0, kVertical = 1 };
void AplicaEspejo(Imagen& im, Espejo e);
void AplicaEspejo(Imagen& im, Espejo e, Progreso& progreso);
std::string LineaEspejo(Espejo e);

// Crop to the w x h region at (x, y), checked first: 12045 origin x outside the image, 12046
// origin y outside, 12047 an empty region or one that passes the right or bottom edge. The
// value as in ParamsRotacion (the region lies inside the image, so it is only recorded).
struct ParamsCorte {
  int x = 0, y = 0, w = 0, h = 0;
  bool conValor = false;
  int16_t valor = Rango().defecto;
};
void CompruebaCorte(const Imagen& im, const ParamsCorte& p);
void AplicaCorte(Imagen& im, const ParamsCorte& p);
void AplicaCorte(Imagen& im, const ParamsCorte& p, Progreso& progreso);
std::string LineaCorte(const ParamsCorte& p);

// Resize: the source rectangle (x, y, w, h) resampled to nw x nh; sizes below 1 fail. Outside
// the image the samples take `valor` (the configured out-of-image value of a new record).
struct ParamsRedim {
  int x = 0, y = 0, w = 0, h = 0, nw = 0, nh = 0;
  int16_t valor = Rango().defecto;
};
bool AplicaRedim(Imagen& im, const ParamsRedim& p);
bool AplicaRedim(Imagen& im, const ParamsRedim& p, Progreso& progreso);
std::string LineaRedim(const ParamsRedim& p);
// The resize dialog's factor check: 12048 for a factor of zero or less.
void CompruebaFactor(double factor);

// Shift by (dx, dy) keeping the size: the picture moves dx pixels right and dy down (negative
// amounts move it left and up); pixels shifted in from outside take the value.
struct ParamsDesplaza {
  double dx = 0.0, dy = 0.0;
  int16_t valor = Rango().defecto;
};
void AplicaDesplaza(Imagen& im, const ParamsDesplaza& p);
void AplicaDesplaza(Imagen& im, const ParamsDesplaza& p, Progreso& progreso);
std::string LineaDesplaza(const ParamsDesplaza& p);

// Window resampling: a new w x h grid whose pixel (x, y) is the bilinear sample at
// (x + ox, y + oy) with the fill value `relleno`. Negative sizes do nothing.
void RemuestreaVentana(Imagen& im, double ox, double oy, int w, int h, int16_t relleno,
                       Progreso& progreso);

}  // namespace orva
