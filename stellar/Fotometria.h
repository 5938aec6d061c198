// Aperture photometry: sky level from a clipped ring histogram, aperture sum with the saturation
// stop, and the instrumental magnitude.
#pragma once

#include <cstdint>

namespace orva {

class ImagenPixeles;

// The settings of one measurement (section "AnaVariables").
struct ParametrosFotometria {
  int radioEstrella = 7;        // VARRADEST: aperture radius r
  double constanteMag = 25.0;   // VARCONSTMAGINST: C
  int valorSaturacion = 32767;  // VARVALSATUR: an aperture pixel at or above it fails
  int radioCieloInt = 15;       // VARRADCIELINT
  int radioCieloExt = 20;       // VARRADCIELEXT
  int maxIteraciones = 1;       // VARMAXITER: clipping passes on the sky histogram
  int usarMediaCielo = 0;       // VARUSARMEDIACIELO: 1 the clipped mean, else the mode
};
// The current values of the settings.
ParametrosFotometria LeeParametrosFotometria();

struct ResultadoFotometria {
  int estado = 0;  // 1 success, 0 failure
  double cielo = 0.0;
  double desvCielo = 0.0;
  int32_t numPixeles = 0;
  double sumaBruta = 0.0;
  double sumaLimpia = 0.0;
  double magnitud = 0.0;
};

// Magnitudes of the two failures: a saturated aperture (its clean sum reads 1.0) and a clean
// sum not above 0.
constexpr double kMagSaturada = -99.0;
constexpr double kMagSinFlujo = 99.0;

// Measures the star at (x, y); the integer centre is (trunc(x), trunc(y)).
ResultadoFotometria MideEstrella(const ImagenPixeles& im, double x, double y,
                                 const ParametrosFotometria& p);

struct Cielo {
  double nivel = 0.0;
  double desviacion = 1.0;
  int32_t numPixeles = 0;
};
// Sky in the ring rInt^2 <= d^2 <= rExt^2 around (x, y), pixels inside the image only. The
// deviation is the sample standard deviation, 1.0 when the variance is not positive; pasadas
// passes of clipping at median +- 3 deviations (inclusive) follow, stopping early when the mean
// no longer changes in its first decimal. The level is the clipped mean when usarMedia is 1,
// else the mode (the highest value on ties). A ring with no pixel in the image gives level 0.
Cielo EstimaCielo(const ImagenPixeles& im, long x, long y, int rInt, int rExt, int pasadas,
                  int usarMedia);

// Sum of the pixels with (c - x)^2 + (f - y)^2 <= r^2 inside the image. Returns 0 at the first
// pixel at or above saturacion (the sums are then partial and meaningless), else 1.
int SumaApertura(const ImagenPixeles& im, long x, long y, int r, int saturacion, double& suma,
                 int32_t& numPixeles);

}  // namespace orva
