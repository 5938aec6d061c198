// The dialogs built on the dialog tables: preferences, new image, display levels, the image
// selection, and the batch settings.
#pragma once

#include <string>
#include <vector>

class QWidget;

namespace orva {

class Imagen;

// Each returns 1 when accepted (settings written) and 0 when cancelled (nothing changed).
int DialogoGenerales(QWidget* padre);
int DialogoTiposArchivo(QWidget* padre);
int DialogoHistograma(QWidget* padre);
int DialogoVentanaDatos(QWidget* padre);
// "DATOS IMAGEN NUEVA": name, width and height (IMGNUEVAX, IMGNUEVAY remember the sizes).
int DialogoImagenNueva(QWidget* padre, std::string& nombre, int& ancho, int& alto);
// "CAMBIAR CURVA GRISES": the black and white display levels of the image.
int DialogoCurvaGrises(QWidget* padre, Imagen& imagen);
// "SELECCIÓN DE IMAGENES": the chosen names among nombres (empty when cancelled).
std::vector<std::string> SeleccionImagenes(QWidget* padre, const std::vector<std::string>& nombres);
// Batch settings: the macro (MACRODISCO), the output folder (DIRGUARDAR), GUARMISMOTIPO,
// TIPARCHGUARDAR and the extension change (CAMBEXTEN, EXTENTRAT).
int DialogoMacroDisco(QWidget* padre);

}  // namespace orva
