// PDS3 images: an ODL label attached at the start of the file or detached in a ".LBL" file next
// to it, pointing (^IMAGE) at lines of samples. Read only.
#pragma once

#include <string>

namespace orva {

class ImagenObservacion;

// Reads the first band of the image the label describes: samples of 8, 16, 32 or 64 bits in
// every PDS3 sample type (MSB/LSB integers signed and unsigned, IEEE, PC and VAX reals), line
// prefix and suffix bytes, SCALING_FACTOR and OFFSET as the value mapping. The label goes to the
// header pane and its target, spacecraft, instrument, filter, start time and exposure to the
// image's data. archivo may be the label or the image file. The compressed 8-bit images of the
// old archive CDs (ENCODING_TYPE "HUFFMAN_FIRST_DIFFERENCE", formats/pds/Imq.h) are decoded;
// a damaged one raises 12560 or 12561. Raises 12344 for a missing label item, 12345 for an
// illegal one (another ENCODING_TYPE among them), 12348 for a data file not found, 10126 when
// the file holds less data than the label promises.
void LeePds(const std::string& archivo, ImagenObservacion& imagen);
// The same without the pixels (sizes, data and header only).
void LeeCabeceraPds(const std::string& archivo, ImagenObservacion& imagen);

}  // namespace orva
