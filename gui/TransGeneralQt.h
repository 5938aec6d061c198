// The "Trans. General 2/3/4 Puntos" commands: the image laid on a reference image's grid by the
// transformation points of the "Trans. General" tool set on both.
#pragma once

namespace orva {

class Marco;
class VentanaImagen;

// Runs the command id (5057-5059) on the window: the user picks the reference among the other
// open images with the points set, and the recorded TRANSGENERAL line runs on the image. False
// when id is not one of these commands.
bool ComandoTransGeneral(Marco& marco, VentanaImagen& v, int id);

}  // namespace orva
