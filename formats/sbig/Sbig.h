// SBIG camera files ("Type 3": ST-4X, ST-5, ST-6, ST-7, ST-8), both varieties: reader, header
// reader, writer and the type's settings.
#pragma once

#include <string>

namespace orva {

class ImagenObservacion;

// The settings section of the SBIG type and its key: COMPRIMIR "0" (default) writes the plain
// variety, any other number the compressed one.
inline constexpr const char* kSeccionSbig = "TipoArch_SBIG";

// Reads the image after the type check by detection (11019). The stored values are unsigned
// 16-bit; they become pixels as FITS unsigned data do under the FITS setting LEEVALUNSIG (1
// halves them, 2 subtracts 32768, 0 keeps them when none exceeds 32767 and otherwise maps
// their minimum..maximum onto the pixel range), with the value mapping that undoes it.
// Header parameters fill the observation data: Exposure (hundredths of a second),
// Focal_length (inches, to millimetres), Aperture (an area in square inches, to the diameter in
// millimetres), Response_factor, Note, Date (mm/dd/yy), Time, Temperature, Observer, Filter,
// and the camera name as the CCD name; every parameter line is also kept as a "COMMENT SBIG"
// header card. A short file raises 10126 or 11144, a damaged compressed row 12332, a bad
// header 12330, 12331 or 11143; the image changes only once every pixel is read.
void LeeSbig(const std::string& archivo, ImagenObservacion& imagen);
// Sizes, observation data and header cards only, after the type check (11019).
void LeeCabeceraSbig(const std::string& archivo, ImagenObservacion& imagen);
// Writes the physical values (the pixels through the image's value mapping, rounded) through a
// temporary file renamed over the target; values outside 0..65535 raise 11021 and sizes above
// 32767 raise 11020 before anything is written. The kept "COMMENT SBIG" parameters that the
// writer does not set itself are written back.
void GuardaSbig(const std::string& archivo, ImagenObservacion& imagen);

void LeeConfigSbig(const std::string& archivoConfig);
void GuardaConfigSbig(const std::string& archivoConfig);

}  // namespace orva
