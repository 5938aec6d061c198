// Pretreatment of a light frame with master frames: overscan, bias, dark scaled by exposure,
// flat field, and the repair of hot pixels and cosmic-ray hits.
#pragma once

#include <cstdint>
#include <string>

namespace orva {

class Imagen;
class Progreso;

// The masters to apply; any may be missing. They are read through their value mappings (a flat
// stored with BSCALE 1e-4 gives its normalised values).
struct Maestros {
  const Imagen* bias = nullptr;
  const Imagen* dark = nullptr;
  const Imagen* flat = nullptr;
};

inline constexpr double kKappaReparacionDefecto = 5.0;

struct AjustesPretratamiento {
  bool overscan = true;  // subtract the BIASSEC region when the header has one
  bool reparar = false;  // hot pixels and cosmic-ray hits
  double kappaReparacion = kKappaReparacionDefecto;
};

struct ResultadoPretratamiento {
  int64_t recortados = 0;   // values outside the pixel range, clamped
  int64_t reparados = 0;    // pixels replaced by the median of their neighbours
  double factorDark = 1.0;  // the dark's exposure factor
  bool overscan = false;    // an overscan region was subtracted
};

// Pretreats the light in place, on physical values (the light's mapping kept for the result):
//   overscan: when the header has BIASSEC = '[x1:x2,y1:y2]' (1-based, FITS order) the rows of the
//     region's row range lose the mean of their own pixels in the region, other rows the mean of
//     the whole region (the image keeps its size);
//   bias, dark: light - bias - (dark - bias) x r with r = light exposure / dark exposure when a
//     bias is given and both exposures are known and differ (r = 1 otherwise); without a bias,
//     light - dark;
//   flat: divided by the flat over its mean, so a raw flat given as the master works as its
//     normalised self (a master of mean 1 is hardly changed); a flat value that is not positive
//     leaves 0, a flat whose mean is not positive raises 12282;
//   repair: a pixel farther than kappa robust deviations from the median of its 8 neighbours
//     takes that median.
// A master whose size is not the light's raises 12283 (nothing changes); a malformed BIASSEC
// 12287. The header gets HISTORY lines naming the masters and the factor.
ResultadoPretratamiento Pretrata(Imagen& luz, const Maestros& maestros,
                                 const AjustesPretratamiento& ajustes, Progreso& progreso);

// Replaces every pixel that stands out from the median of its 8 neighbours by more than kappa
// deviations by that median; the deviation is the larger of the neighbours' robust one (1.4826 x
// their median absolute deviation) and the whole image's (at least one unit), so the slopes of
// a star are not taken for hits.
// Returns how many were replaced. Rows in bands, the same result for any thread count.
int64_t ReparaPixeles(Imagen& im, double kappa, Progreso& progreso);

// The macro line of a pretreatment with masters as files: "PRETRATAR [BIAS file] [DARK file]
// [FLAT file] [REPARAR kappa] [SINOVERSCAN]" (file names without blanks).
std::string LineaPretrata(const std::string& bias, const std::string& dark, const std::string& flat,
                          const AjustesPretratamiento& ajustes);
// Installs PRETRATAR in the macro interpreter (start-up code and tests call it).
void EnlazaApiladoMacro();

// The name of an image for records: its window name, else its file name.
std::string NombreImagen(const Imagen& im);

}  // namespace orva
