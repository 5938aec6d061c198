// What the labels of planetary archive files (PDS3, ISIS3, VICAR) say about the observation,
// mapped to DatosImagen, and the label shown in the header pane.
#pragma once

#include <string>
#include <vector>

#include "formats/pds/EtiquetaOdl.h"

namespace orva {

struct DatosImagen;
class Cabecera;
class ImagenObservacion;

// Target -> object name, spacecraft -> observatory, instrument -> camera, filter, start time ->
// date and time, exposure (seconds or milliseconds by its unit). The first item with one of a
// field's keys wins; values the label leaves unknown ("N/A", "UNK", "NULL") are skipped.
void DatosDeEtiqueta(const std::vector<ElementoOdl>& elementos, DatosImagen& datos);

// The label lines as COMMENT cards (a long line goes on over several), so that a FITS file
// written from the image keeps them as valid cards.
void CabeceraDeLineas(const std::vector<std::string>& lineas, Cabecera& cabecera);

// The image's data from the items `datos` (DatosDeEtiqueta; the object type is kept) and its
// header pane from the lines of `lineas`.
void EtiquetaImagen(const std::vector<ElementoOdl>& lineas, const std::vector<ElementoOdl>& datos,
                    ImagenObservacion& imagen);

// "1997-07-04T12:30:45.123Z" or "1997-185T12:30:45": false when the text is no such time.
bool LeeTiempoEtiqueta(const std::string& texto, int& anio, int& mes, int& dia, int& hora,
                       int& minuto, int& segundo, int& milisegundo);

}  // namespace orva
