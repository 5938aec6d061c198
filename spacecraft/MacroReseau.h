// The macro word of the reseau correction: the image of the current slot replaced by its
// geometrically corrected frame.
#pragma once

#include <string>
#include <vector>

#include "spacecraft/Reseau.h"

namespace orva {

class ImagenObservacion;
class Progreso;

// RETICULA [lado | camera] [QUITA]: the marks found and the frame corrected to their object
// positions; QUITA fills the marks in afterwards. lado (2..200) takes the regular lado x lado grid,
// a camera name (VGR1_NA...) that camera's table; without either, the camera named by the frame's
// label, or the regular 9 x 9 grid.
void EnlazaReseauMacro();

// The correction itself, as the menu, the macro line and the command line run it: the image
// replaced by its frame corrected from the marks found on the grid, the operation recorded in
// its history.
void CorrigeReseau(ImagenObservacion& im, const RejillaReseau& rejilla,
                   const std::vector<MarcaEncontrada>& marcas, bool quita, Progreso& progreso);

// The line that records a correction on the grid; "RETICULA [QUITA]" (the frame's own grid)
// when rejilla is null.
std::string LineaReseau(const RejillaReseau* rejilla, bool quita);

}  // namespace orva
