// Star lists for registration from the star detectors, and the registration of images and
// files on a reference list.
#pragma once

#include <string>
#include <vector>

#include "stacking/Combinacion.h"
#include "stacking/Registro.h"
#include "stellar/BuscaEstrellas.h"

namespace orva {

class Imagen;
class ImagenPixeles;
class Progreso;

// Settings of section "Registro" read here: the detector (REGMETODO: 0 PCVISTA, 1 TASS) and,
// from the registration's own, how many of the brightest stars are kept (REGESTRELLAS).
struct OpcionesEstrellasRegistro {
  MetodoBusqueda metodo = MetodoBusqueda::kPCVista;
  int maxEstrellas = 200;
};
// Adds the keys of section "Registro" (the registration's and REGMETODO) to the settings.
void RegistraConfigEstrellasRegistro();
OpcionesEstrellasRegistro LeeOpcionesEstrellasRegistro();

// The registration's position of a star: a centroid weighted by a circular Gaussian window
// centred on the current estimate, the sky subtracted (negative pixels count as such), moved
// until a step is below the tolerance. Unbiased for any symmetric profile; the window of the
// stars' own width gives the least noise.
struct ParametrosVentana {
  double sigma = 1.3;     // of the window, in pixels (held to 0.5..10)
  double cielo = 0.0;     // sky level under the star
  double varCielo = 1.0;  // variance of a sky pixel
  double ganancia = 1.0;  // electrons per unit of the pixels: the signal's variance is v / ganancia
};
struct PosicionVentana {
  bool converge = false;  // false: no position (x, y are then the starting point)
  double x = 0.0, y = 0.0;
  double varianza = 0.0;  // of each coordinate, px^2, from the noise of the window's pixels
};
// The window centroid starting at (x, y). It does not converge when the window leaves the
// image, the weighted signal is not positive, the position wanders more than a few pixels from
// the start, or the steps do not shrink below the tolerance.
PosicionVentana CentroideVentana(const ImagenPixeles& im, double x, double y,
                                 const ParametrosVentana& p);

// The detector's stars on the image (its own star list is left alone), brightest first by the
// clean sum of their photometry, at most o.maxEstrellas. Positions are sub-pixel: the window
// centroid of each star (window from the stars' median FWHM, sky from the star's photometry)
// with its variance; where it does not converge, the finder's position (refined by the star
// centroid when the finder gives integer positions) with a large variance. The detector
// settings are the current ones. The same list for any thread count.
std::vector<EstrellaRegistro> EstrellasParaRegistro(Imagen& imagen,
                                                    const OpcionesEstrellasRegistro& o,
                                                    Progreso& progreso);

// The image's stars registered on the reference's list.
ResultadoRegistro RegistraImagen(const std::vector<EstrellaRegistro>& referencia, Imagen& imagen,
                                 const OpcionesEstrellasRegistro& o, const ParametrosRegistro& p,
                                 Progreso& progreso);

// Each file read and registered on the reference's list, one at a time; a file that cannot be
// read gives a failed result with the reading error's id and text (arg1). A cancel raises 11011.
std::vector<ResultadoRegistro> RegistraArchivos(const std::vector<EstrellaRegistro>& referencia,
                                                const std::vector<std::string>& archivos,
                                                const OpcionesEstrellasRegistro& o,
                                                const ParametrosRegistro& p, Progreso& progreso);

// A series registered on its first frame: the frames that could be registered and their
// transforms, and every frame's result.
struct SerieRegistrada {
  std::vector<size_t> indices;  // the frames kept, the reference (0) first
  std::vector<Transformacion2D>
      transformaciones;                       // of the frames kept; the reference's the identity
  std::vector<ResultadoRegistro> resultados;  // one per frame; the reference's a success
};
// Loads the frames of the series one at a time and registers each on the stars of the first. A
// frame that cannot be loaded gets a failed result with the error's id and text (arg1); one that
// cannot be registered, the registration's failure; both are left out of indices. The first
// frame's loading error and a cancel (11011) are raised.
SerieRegistrada RegistraFotogramas(const FuenteFotogramas& fuente,
                                   const OpcionesEstrellasRegistro& o, const ParametrosRegistro& p,
                                   Progreso& progreso);

// The transforms of a group of the series, taken from the group's first frame instead of the
// series' first: serie holds one transform per frame of the series (the first frame's grid to
// the frame's). Empty when serie is empty or the group's first transform cannot be inverted.
std::vector<Transformacion2D> TransformacionesGrupo(const std::vector<Transformacion2D>& serie,
                                                    const std::vector<size_t>& grupo);

}  // namespace orva
