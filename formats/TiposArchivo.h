// File types: the registry of the 21 image file types, detection of a file's type, and the two
// image-level entry points through which every image file is read and written.
#pragma once

#include <cstddef>
#include <cstdint>
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
  kPds4 = 23,       // archive types read through GDAL, after the 21
  kIsis = 24,
};

// Entry points of a file type; each may be absent. Readers fill the image (sizes, pixels,
// metadata) and raise JError on failure; writers write the image they are given (a working copy
// that they may change) and raise JError on failure.
using FuncionLee = void (*)(const std::string& archivo, ImagenObservacion& imagen);
using FuncionGuarda = void (*)(const std::string& archivo, ImagenObservacion& imagen);
using FuncionConfig = void (*)(const std::string& archivoConfig);

struct RegistroTipoArchivo {
  int id = 0;
  int idCadena = 0;    // display name in the string table
  std::string clave;   // "QOR", "FITS"...; its settings section is "TipoArch_" + clave
  std::string filtro;  // extension patterns separated by ';' (setting FILTRO)
  int idDialogo = 0;   // settings dialog: 3016 for the simple types, 3017 QOR, 3109 FITS
  int idTitulo = 0;    // title string of dialog 3016 (11101...), 0 for the others
  FuncionLee lee = nullptr;
  FuncionLee leeCabecera = nullptr;
  FuncionGuarda guarda = nullptr;
  // Type-specific settings beyond FILTRO, which the registry loads and stores for every type.
  // They run at every configuration load and store (registry order), and leeConfig once more
  // with an empty file name when the registry is built, so that it can register its keys with
  // their defaults (Configuracion::Registra) before any file is read.
  FuncionConfig leeConfig = nullptr;
  FuncionConfig guardaConfig = nullptr;
};

// "TipoArch_" + key: the settings section of a type.
std::string SeccionTipoArchivo(const RegistroTipoArchivo& r);
// Changes a type's extension filter, in the record and in the settings.
void FijaFiltroTipoArchivo(RegistroTipoArchivo& r, const std::string& filtro);

// The process-wide list in presentation order (QOR, FITS, GIF, TIFF, ST4, ...).
std::vector<RegistroTipoArchivo>& ListaTiposArchivo();
// The record of a type id or key; nullptr when none.
RegistroTipoArchivo* BuscaTipoArchivo(int id);
RegistroTipoArchivo* BuscaTipoArchivo(const std::string& clave);
// The type a file name's extension names (the types' extension filters, plus ".fits", ".fz"
// and ".tiff", in any case); 0 when none.
int TipoPorExtension(const std::string& archivo);

// The type of a file from its first bytes and length; kTipoDesconocido when nothing matches,
// kDatosOrva for a side data file. A file that cannot be opened raises 10125. After the 21
// steps, where they find nothing: PDS3, PDS4 and ISIS3 labels, and (a file on disk only) data
// with a PDS3 ".LBL" beside them.
int DetectaTipoArchivo(const std::string& archivo);
// The same tests on bytes already read: the first min(length, 512) bytes of the file, its
// length and its name (only the extension is looked at).
int DetectaTipoArchivo(const unsigned char* primeros, size_t n, uint64_t longitud,
                       const std::string& archivo);
// The check a reader makes before reading: raises 11019 (file, key of tipo) when the file's
// detected type is not tipo.
void CompruebaTipoArchivo(const std::string& archivo, int tipo);

// Reads an image file into imagen (type detected when TIPOAUTO is on, else tipo, else
// TIPARCHLEER) with its side data file when LEEDATORVA is on. Raises 11098 for a side data
// file, 12225 when detection recognised nothing and TIPARCHLEER cannot read it (no reader, or
// its reader's type check refuses the file), 11017 for a type
// without reader, and the reader's own errors; on failure the image's
// file identity is put back.
void LeeArchivo(const std::string& archivo, Imagen& imagen, int tipo = kTipoDesconocido);
// Writes imagen as the given type (else TIPARCHGUARDAR) through a working copy: the image in
// memory never changes by saving except for its modified mark and file identity.
void GuardaArchivo(const std::string& archivo, Imagen& imagen, int tipo = kTipoDesconocido);

}  // namespace orva
