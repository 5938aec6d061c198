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

// The detector's stars on the image (its own star list is left alone), brightest first by the
// clean sum of their photometry, at most o.maxEstrellas. Positions are sub-pixel: a finder that
// gives integer positions has them refined by the star centroid, when it converges. The detector
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
