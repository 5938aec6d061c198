// QOR, the system's own image format: an 80-byte-line text header, the end mark 0x1A and the
// pixels coded as DIFF8, DEFLAT or DIFDEFLAT.
#pragma once

#include <string>
#include <string_view>

#include "formats/qor/CabeceraQor.h"

namespace orva {

class Archivo;
class ImagenObservacion;

// The three codings, in the order the settings dialog offers them.
inline constexpr std::string_view kCompresionesQor[] = {"DIFF8", "DEFLAT", "DIFDEFLAT"};
// Raises 11140 for a name that is not one of the three.
void CompruebaCompresionQor(std::string_view compresion);

// Reads header and pixels; the image changes only when the whole file was read. Raises 11019
// when the header lacks FORMATO_QOR or LINEAS_CAB, 11144 when it promises more lines than the
// file holds, 11143 for sizes below 1, 10100 for sizes memory cannot hold, 11140 for an unknown
// coding, 11141 for a pixel block that is short or damaged, and the file errors 10125-10133.
void LeeQor(const std::string& archivo, ImagenObservacion& imagen);
// Sizes, offsets and metadata only; first checks the file's detected type (11019).
void LeeCabeceraQor(const std::string& archivo, ImagenObservacion& imagen);
// Writes the image with the coding of the setting TipoArch_QOR/COMPRESION.
void GuardaQor(const std::string& archivo, ImagenObservacion& imagen);
// Writes the image with the given coding (11140 when unknown). The file is written under a
// temporary name and renamed over the old one only when complete.
void GuardaQor(const std::string& archivo, const ImagenObservacion& imagen,
               std::string_view compresion);

// The header of an image, as the writer builds it.
CabeceraQor CabeceraDeImagen(const ImagenObservacion& imagen, std::string_view compresion);
// Reads and checks the header of an open file (11019, 11144).
CabeceraQor LeeCabeceraArchivo(Archivo& archivo, uint64_t longitud);

// Settings of the type (section "TipoArch_QOR"): FILTRO and COMPRESION.
void LeeConfigQor(const std::string& archivoConfig);
void GuardaConfigQor(const std::string& archivoConfig);

// The settings dialog's logic: the values it starts from, and what it does when it ends; OK
// keeps the edited values (an unknown coding raises 11140 and changes nothing), any other
// ending keeps the previous ones.
struct OpcionesQor {
  std::string filtro;
  std::string compresion;
};
OpcionesQor OpcionesActualesQor();
void ConfiguraQor(const OpcionesQor& editadas, bool aceptado);

}  // namespace orva
