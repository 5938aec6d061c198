// Pixel-by-pixel combination of a series of frames (mean, median, sum, sigma-clipped mean) with
// optional normalisation and alignment, in bands of rows so that memory does not grow with the
// number of frames; and the stacks built on it: whole series, by reference point, by groups.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "core/Cabecera.h"
#include "stacking/Transformacion.h"

namespace orva {

class Imagen;
class ImagenPixeles;
class Progreso;

enum class MetodoCombinacion { kMedia, kMediana, kSuma, kSigma };
// Per-frame normalisation to the first frame: additive (sky levels made equal), multiplicative
// (sky levels made equal by a factor), both (sky level and dispersion made equal).
enum class Normalizacion { kNinguna, kAditiva, kMultiplicativa, kAmbas };

inline constexpr double kKappaDefecto = 3.0;
inline constexpr int kIteracionesDefecto = 3;

struct AjustesCombinacion {
  MetodoCombinacion metodo = MetodoCombinacion::kSigma;
  double kappa = kKappaDefecto;           // sigma clipping: rejection at kappa deviations
  int iteraciones = kIteracionesDefecto;  // sigma clipping: at most this many passes
  Normalizacion normalizacion = Normalizacion::kNinguna;
  bool mapaRechazos = false;    // count the rejected values of every pixel
  bool porReferencia = false;   // shift every frame by its reference point (PDESPREF)
  std::string carpetaTemporal;  // where the working file goes; empty: the system's
};

// A series of frames: how many, how to load frame i (pixels and record; its values are read
// through the image's value mapping) and its name for messages and reports.
struct FuenteFotogramas {
  size_t numero = 0;
  std::function<void(size_t, Imagen&)> carga;
  std::function<std::string(size_t)> nombre;
  // The file of frame i when it is one (empty function for images in memory): FITS frames that
  // need no resampling are then read band by band from it.
  std::function<std::string(size_t)> archivo;
};
// Frames read from files (side data files included, as every reader does).
FuenteFotogramas FotogramasArchivos(const std::vector<std::string>& archivos);
// Frames that are images in memory (copied one at a time, the originals never change).
FuenteFotogramas FotogramasMemoria(const std::vector<const Imagen*>& imagenes);
// The frames of a source with indices `indices` (a group of a series).
FuenteFotogramas SubconjuntoFotogramas(const FuenteFotogramas& fuente,
                                       const std::vector<size_t>& indices);

// What the combination measured of one frame, for reports.
struct FiguraFotograma {
  std::string nombre;
  double fondo = 0.0;         // sky level: the median of its values
  double dispersion = 0.0;    // robust deviation: 1.4826 x the median absolute deviation
  double escala = 1.0;        // the normalisation factor applied
  double dx = 0.0, dy = 0.0;  // shift of the alignment (the transform's translation)
  int64_t rechazados = 0;     // values of this frame rejected by sigma clipping
  double tiempoExp = 0.0;
};

struct ResultadoCombinacion {
  uint32_t ancho = 0, alto = 0;
  std::vector<float> valores;     // row after row; NaN where no frame has data
  std::vector<int16_t> rechazos;  // rejected values per pixel (when asked)
  std::vector<FiguraFotograma> figuras;
  MapeoValores mapeo;        // the first frame's value mapping
  double jdMedio = 0.0;      // exposure-weighted mean of the frames' mid-exposure instants
  double tiempoTotal = 0.0;  // sum of the exposure times
  bool conFecha = false;     // every frame has a date and time
};

// Combines the frames pixel by pixel on the first frame's grid. Sigma clipping drops, pass after
// pass, the values farther from the median than kappa times the deviation of the other values
// (a single outlier is found even among a handful of frames), then averages the rest. A first pass
// loads every frame once (measuring its sky level and dispersion, normalising, resampling it
// through its transform when not the identity). A FITS file that needs no resampling is then
// read again band by band through cfitsio; any other frame goes, normalised and resampled, into
// one working file of 32-bit reals, removed at the end. The second pass reads every frame's rows
// band by band, so memory holds only a band of every frame. The bands run on the thread pool
// and the result is the same for every thread count.
// `transformaciones` is empty (identity, or reference points with porReferencia) or holds one
// transform per frame mapping the first frame's pixel positions to the frame's.
// Errors: no frame 12280, a size that differs from the first frame's 12281, a transform count
// that is not the frame count 12286, a frame without reference point 12285, a sky level that
// multiplicative normalisation cannot use 12284, the working file 12288; a cancel raises 11011.
ResultadoCombinacion CombinaFotogramas(const FuenteFotogramas& fuente,
                                       const AjustesCombinacion& ajustes,
                                       const std::vector<Transformacion2D>& transformaciones,
                                       Progreso& progreso);

// Stores real values into the pixels through a value mapping: pixel = round((v - cero) / escala),
// clamped to the pixel range; NaN (no frame there) becomes the out-of-image value. Returns how
// many values were clamped.
int64_t ValoresAPixeles(const std::vector<float>& valores, uint32_t ancho, uint32_t alto,
                        const MapeoValores& mapeo, ImagenPixeles& destino);

// The mapping a stack is stored with: the frames' mapping, multiplied by the frame count for a
// sum (so a sum of full-range frames still fits 16 bits: BSCALE carries the factor).
MapeoValores MapeoApilado(const ResultadoCombinacion& r, MetodoCombinacion metodo);

// A stack: the combined frames as an image (MapeoApilado) with the first frame's record, total
// exposure time, and header cards NCOMBINE, JD-MID (and HJD-MID when the object's coordinates
// are known) and HISTORY lines naming the method and the frames. Returns the clamped count.
int64_t ApilaFotogramas(const FuenteFotogramas& fuente, const AjustesCombinacion& ajustes,
                        const std::vector<Transformacion2D>& transformaciones, Imagen& resultado,
                        ResultadoCombinacion* detalle, Progreso& progreso);

// Consecutive groups of `tamano` frames of a series of n (the last one may be shorter); a size
// of 0 means one group of everything.
std::vector<std::vector<size_t>> GruposFotogramas(size_t n, size_t tamano);

// The method's name for lines and reports: MEDIA MEDIANA SUMA SIGMA.
const char* NombreMetodo(MetodoCombinacion m);

}  // namespace orva
