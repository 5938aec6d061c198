// Master bias, dark and flat frames combined from series of calibration frames.
#pragma once

#include "stacking/Combinacion.h"

namespace orva {

class Imagen;
class Progreso;
struct Maestros;

enum class TipoMaestro { kBias, kDark, kFlat };

// A normalised flat is stored as pixel = round(value x 10000): BSCALE 1e-4 gives a FITS reader
// the normalised value, and 16 bits hold flats up to 3.2767.
inline constexpr double kEscalaFlat = 1e-4;

// Combines the frames into a master (settings as for any combination; the first frame's record
// kept, NCOMBINE and a HISTORY line added):
// - bias: the combined values with the frames' mapping;
// - dark: the same, keeping the first frame's exposure time;
// - flat: every frame first pretreated with the masters given (bias, dark), the combination
//   divided by its mean and stored with kEscalaFlat; a mean that is not positive raises 12282.
// Returns how many values were clamped to the pixel range.
int64_t CreaMaestro(TipoMaestro tipo, const FuenteFotogramas& fotogramas,
                    const AjustesCombinacion& ajustes, const Maestros& previos, Imagen& maestro,
                    Progreso& progreso);

const char* NombreMaestro(TipoMaestro tipo);

}  // namespace orva
