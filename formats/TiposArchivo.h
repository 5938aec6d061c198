// File types: the registry of the 21 image file types, detection of a file's type, and the two
// image-level entry points through which every image file is read and written.
#pragma once

#include <string>
#include <vector>

namespace orva {

class ImagenObservacion;
class Imagen;

enum TipoArchivo : int {
  kTipoDesconocido = 0,
  kST4 = 1,
  kLynxx,
  kFits,
  kQor,
  kTiff,
  kGif,
  kPantalla,
  kBuil,
  kSbig,
  kPds,
  kPic7852,
  kPic7863,
  kCcdred,
  kXpress,
  kXpress2,
  kT1m,
  kTc245_1,
  kTc245_2,
  kPix,
  kVicar2,
  kGeneral,
  kDatosOrva = 22,  // detection result only: a side data file, not an image
};

// Entry points of a file type; each may be absent. Readers fill the image (sizes, pixels,
// metadata) and raise JError on failure; writers write the image they are given (a working copy
// that they may change) and raise JError on failure.
using FuncionLee = void (*)(const std::string& archivo, ImagenObservacion& imagen);
using FuncionGuarda = void (*)(const std::string& archivo, ImagenObservacion& imagen);
using FuncionConfig = void (*)(const std::string& archivoConfig);

struct RegistroTipoArchivo {
  int id = 0;
  int idCadena = 0;         // display name in the string table
  std::string clave;        // "QOR", "FITS"...; its settings section is "TipoArch_" + clave
  std::string filtro;       // extension patterns separated by ';'
  FuncionLee lee = nullptr;
  FuncionLee leeCabecera = nullptr;
  FuncionGuarda guarda = nullptr;
  FuncionConfig leeConfig = nullptr;
  FuncionConfig guardaConfig = nullptr;
};

// The process-wide list in presentation order (QOR, FITS, GIF, TIFF, ST4, ...).
std::vector<RegistroTipoArchivo>& ListaTiposArchivo();
// The record of a type id or key; nullptr when none.
RegistroTipoArchivo* BuscaTipoArchivo(int id);
RegistroTipoArchivo* BuscaTipoArchivo(const std::string& clave);

// The type of a file from its first bytes and length; kTipoDesconocido when nothing matches.
int DetectaTipoArchivo(const std::string& archivo);

// Reads an image file into imagen (type detected when TIPOAUTO is on, else tipo, else
// TIPARCHLEER) with its side data file when LEEDATORVA is on.
void LeeArchivo(const std::string& archivo, Imagen& imagen, int tipo = kTipoDesconocido);
// Writes imagen as the given type (else TIPARCHGUARDAR) through a working copy: the image in
// memory never changes by saving except for its modified mark and file identity.
void GuardaArchivo(const std::string& archivo, Imagen& imagen, int tipo = kTipoDesconocido);

}  // namespace orva
