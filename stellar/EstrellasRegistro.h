// Star lists for registration from the star detectors, and the registration of images and
// files on a reference list.
#pragma once

#include <string>
#include <vector>

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

}  // namespace orva
