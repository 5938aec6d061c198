// The macro word of the reseau correction: the image of the current slot replaced by its
// geometrically corrected frame.
#pragma once

#include <string>
#include <vector>

#include "spacecraft/Reseau.h"

namespace orva {

class ImagenObservacion;
class Progreso;

// RETICULA [lado [QUITA]]: the marks of the regular lado x lado grid (2..200, default 9) found
// and the frame corrected to their object positions; QUITA fills the marks in afterwards.
void EnlazaReseauMacro();

// The correction itself, as the menu, the macro line and the command line run it: the image
// replaced by its frame corrected from the marks found on the grid, the operation recorded in
// its history (the macro line for a regular grid).
void CorrigeReseau(ImagenObservacion& im, const RejillaReseau& rejilla,
                   const std::vector<MarcaEncontrada>& marcas, bool quita, Progreso& progreso);

// The line that records it.
std::string LineaReseau(int lado, bool quita);

}  // namespace orva
