// The dialogs of the object and observatory lists (commands 5128 and 5129): add, edit and
// delete entries, and apply one to the active image or to several chosen images.
#pragma once

namespace orva {

class Marco;

// The list of the settings folder in a dialog: "Añadir" and "Editar" open a form of the entry's
// fields (an illegal field is shown in a message box and the form stays open), "Borrar" removes
// the chosen entry, the two apply buttons fill the image data of the active image or of the
// images chosen in the frame's chooser with the chosen entry. "Aceptar" writes the list back
// (a failure is shown and the dialog stays open); "Cancelar" leaves the file as it was.
// A list file that does not read is shown in a message box and no dialog opens.
void DialogoListaObjetos(Marco& marco);
void DialogoListaObservatorios(Marco& marco);

}  // namespace orva
