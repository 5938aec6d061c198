// The desktop's pretreatment, several-image (stacks) and two-image commands: their dialogs, the
// work on the worker thread under a progress window, results in new windows.
#pragma once

namespace orva {

class Marco;
class VentanaImagen;

// Runs 5060/5061 (pretreatment of one / several images), 5112 (two-image operations) and
// 5113-5119 (mean, median, sum, by reference, by groups); false for another id.
bool ComandoApilado(Marco& marco, VentanaImagen& v, int id);

}  // namespace orva
