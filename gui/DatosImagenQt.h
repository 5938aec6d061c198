// The image data dialogs: the observation fields of one image or of several images.
#pragma once

#include <vector>

class QWidget;

namespace orva {

class Imagen;

// "DATOS IMAGEN" for one image, "EDITAR DATOS PARA VARIAS IMAGENES" for several: one field per
// key offered in section "DatosImagen", filled from the first image. On acceptance every field is
// checked on copies first, so an invalid value (shown in a message box, the dialog stays open)
// leaves every image unchanged. With several images only the fields the user changed are
// applied. Returns 1 when accepted and applied, 0 when cancelled or there are no images.
int DialogoDatosImagen(QWidget* padre, const std::vector<Imagen*>& imagenes);

}  // namespace orva
