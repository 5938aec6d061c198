// ST4 camera files: 192 x 165 8-bit pixels, top row first, then a 166th line of 192 bytes of
// text: the note (80 bytes), then the exposure in milliseconds, the focal length and the
// aperture in inches and the calibration factor (10 bytes each), then 72 more bytes of
// free text. Files of 31872 bytes hold just that; the 32360-byte variety has 488 more bytes
// after it, which are not read.
#pragma once

#include <string>

namespace orva {

class ImagenObservacion;

inline constexpr unsigned kAnchoSt4 = 192;
inline constexpr unsigned kAltoSt4 = 165;

// Reads pixels and the text line after the type check by detection (11019); the note becomes
// the comment, the numbers the exposure, focal length and aperture (in millimetres) and the
// response factor. A field that is blank or not a number is left without a value.
void LeeSt4(const std::string& archivo, ImagenObservacion& imagen);
// Sizes and the text line only, after the type check (11019).
void LeeCabeceraSt4(const std::string& archivo, ImagenObservacion& imagen);
// Writes a 31872-byte file through a temporary file renamed over the target. Another size
// raises 11020 and values outside 0..255 raise 11021, before anything is written.
void GuardaSt4(const std::string& archivo, ImagenObservacion& imagen);

}  // namespace orva
