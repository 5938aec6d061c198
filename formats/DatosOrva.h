// The side data file of an image: "<image file name>.dat", a text file whose first line is
// "ORVA DATOS" followed by KEY=value lines (observation data, origin offsets, reference points,
// transformation points, the entries of the image's analysis data and, as TARJETAFITS lines,
// the FITS header cards kept with the image).
#pragma once

#include <string>
#include <string_view>

namespace orva {

class Imagen;

inline constexpr const char* kCabeceraDatosOrva = "ORVA DATOS";

// "m51.qor" -> "m51.qor.dat"; through a symbolic link, beside the file it names.
std::string NombreDatosOrva(const std::string& archivoImagen);

// The file's text. Values are escaped so that each stays on its line: a backslash is written
// "\\", a line feed "\n", a carriage return "\r". Reference points are written as
// "set x y" (set 0 or 1, integers), transformation points as "set x y" with real x, y.
std::string TextoDatosOrva(const Imagen& imagen);
// Takes the entries of a side data file's text. Lines that are not KEY=value, unknown keys and
// values that do not parse are skipped; nothing raises. Returns false (and changes nothing)
// when the first line is not "ORVA DATOS".
bool AplicaDatosOrva(Imagen& imagen, std::string_view texto);

// Writes the side data file of an image file (through a temporary file; 12091, 10127).
void GuardaDatosOrva(const Imagen& imagen, const std::string& archivoImagen);
// Reads the side data file of an image file when there is one; false when there is none.
// A file that exists but cannot be read raises 10125/10126.
bool LeeDatosOrva(Imagen& imagen, const std::string& archivoImagen);

}  // namespace orva
