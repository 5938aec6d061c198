// VICAR images: the label (LBLSIZE bytes), an optional binary header of NLB records, records of
// NBB prefix bytes and samples in BSQ, BIL or BIP order, and optional EOL labels after the data.
// Read only, first band.
#pragma once

#include <string>

namespace orva {

class ImagenObservacion;

// Reads the first band: FORMAT BYTE, HALF (WORD), FULL (LONG), REAL, DOUB in the byte orders of
// INTFMT (HIGH, LOW) and REALFMT (IEEE, RIEEE, VAX for REAL). The label items, the EOL labels'
// included, go to the header pane and the observation items to the image's data. Raises 12344
// for a missing label item, 12345 for an illegal one, 10126 when the file holds less than the
// label promises.
void LeeVicar(const std::string& archivo, ImagenObservacion& imagen);
// The same without the pixels.
void LeeCabeceraVicar(const std::string& archivo, ImagenObservacion& imagen);

}  // namespace orva
