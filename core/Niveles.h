// Display levels chosen from the pixels: minimum-maximum, percentiles, and a zscale range (a
// line fitted to a sorted sample of the image with iterative rejection, as IRAF's zscale).
#pragma once

#include <string>
#include <vector>

namespace orva {

class ImagenPixeles;

struct Niveles {
  int negro = 0;
  int blanco = 0;
};

enum class MetodoNiveles { kMinMax, kPercentil, kZScale };

struct EleccionNiveles {
  MetodoNiveles metodo = MetodoNiveles::kMinMax;
  double bajo = 1.0;  // percentiles (0..100) of the percentile method
  double alto = 99.5;
};

// The zscale settings; the defaults are IRAF's.
struct AjustesZScale {
  size_t muestras = 1000;      // at most this many pixels, taken at a regular stride
  double contraste = 0.25;     // the fitted slope is divided by it
  double rechazoMaximo = 0.5;  // the fit gives up when more than this fraction is rejected
  size_t minimoPixeles = 5;
  double kSigma = 2.5;  // rejection threshold in standard deviations of the residuals
  int iteraciones = 5;
};

// The zscale range of values (row after row, as stored). Empty input gives {0, 0}. The limits
// are real numbers: callers round them to their own units.
void ZScale(const std::vector<double>& valores, double& bajo, double& alto,
            const AjustesZScale& ajustes = {});

// Levels by each method, in the image's stored pixel units (black < white unless the image
// holds a single value).
Niveles NivelesMinMax(const ImagenPixeles& im);
Niveles NivelesPercentil(const ImagenPixeles& im, double bajo, double alto);
Niveles NivelesZScale(const ImagenPixeles& im);
Niveles CalculaNiveles(const ImagenPixeles& im, const EleccionNiveles& e);

// Reads a choice from words: "minmax", "percentile LO HI" (0 <= LO < HI <= 100) or "zscale";
// returns how many words it used, 0 when they do not make a choice.
size_t LeeEleccionNiveles(const std::vector<std::string>& palabras, size_t desde,
                          EleccionNiveles& e);

}  // namespace orva
