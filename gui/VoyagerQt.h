// The desktop side of the spacecraft frames' module: the geometric corrections run as macro
// lines on the window (undo, worker thread, a new window when DUPLIMA says so), and the marks
// found saved as a CSV table.
#pragma once

namespace orva {

class Marco;
class VentanaImagen;

// The correction and export items of the module's "Análisis" menu on a spacecraft frame; false
// for any other id or image.
bool ComandoVoyagerQt(Marco& marco, VentanaImagen& v, int id);

}  // namespace orva
