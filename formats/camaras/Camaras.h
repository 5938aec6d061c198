// The fixed-layout camera file types: raw pixel blocks whose layout (header length, sizes,
// depth, byte order) the file's length and public descriptions of the format fix, read through
// LeeValores; and the GENERAL type, whose layout is the user's settings.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace orva {

class ImagenObservacion;

// The layout of one fixed-layout type. prefijo and sufijo are in LeeValores' units.
struct DisenoCamara {
  int tipo;           // TipoArchivo id
  const char* clave;  // registry key
  uint64_t cabecera;  // bytes before the first row
  int ancho, alto;    // pixels
  int bits;           // 8, 12 or 16
  int orden;          // LeeValores' orden
  int conSigno;       // 16-bit values two's complement
  int prefijo, sufijo;
  bool escribe;        // the type has a writer (only headerless layouts do)
  const char* fuente;  // where the layout comes from
};

// One row per type that ORVA reads; the other camera types have no reader.
const std::vector<DisenoCamara>& TablaCamaras();
// The layout of a type id; nullptr when the type has none.
const DisenoCamara* DisenoDeCamara(int tipo);

// Reads a file of a fixed-layout type: checks the detected type (11019), sizes the image and,
// with pixeles, reads the block. Raises 11017 for a type without layout and the file's errors.
void LeeCamara(const std::string& archivo, ImagenObservacion& imagen, int tipo, bool pixeles);
// Writes the image in the type's layout through a temporary file. Raises 11018 for a type that
// does not write, 11020 for other sizes, 11021 for values outside 0..2^bits - 1.
void GuardaCamara(const std::string& archivo, ImagenObservacion& imagen, int tipo);

// The registry's entry points, one per type id.
template <int kTipo>
void LeeCamaraTipo(const std::string& archivo, ImagenObservacion& imagen) {
  LeeCamara(archivo, imagen, kTipo, true);
}
template <int kTipo>
void LeeCabeceraCamaraTipo(const std::string& archivo, ImagenObservacion& imagen) {
  LeeCamara(archivo, imagen, kTipo, false);
}
template <int kTipo>
void GuardaCamaraTipo(const std::string& archivo, ImagenObservacion& imagen) {
  GuardaCamara(archivo, imagen, kTipo);
}

// ---- GENERAL: raw pixels laid out as the settings of section TipoArch_GENERAL say.

struct AjustesGeneral {
  uint64_t desplazamiento = 0;  // DESPLAZAMIENTO: bytes before the first row
  int ancho = 512;              // ANCHO
  int alto = 512;               // ALTO
  int bits = 16;                // BITS: 8, 12 or 16
  int orden = 0;                // ORDEN: 16 bits 0 low byte first, 1 high byte first;
                                // 12 bits the two packings of LeeValores
  int conSigno = 0;             // SIGNO: 8- and 16-bit values are two's complement
  int prefijo = 0;              // PREFIJO: bytes before the pixels of each row
  int sufijo = 0;               // SUFIJO: bytes after them
};

// The largest width or height and row prefix or suffix the settings accept.
constexpr int kMaxLadoGeneral = 65535;
constexpr int kMaxBordeGeneral = 1 << 20;

// The settings' keys, in the order of the settings dialog.
const std::vector<std::string>& ClavesGeneral();
// The current settings; 12361 (key, value) for a value that is no number or out of range,
// 12362 for an odd width with 12 bits.
AjustesGeneral LeeAjustesGeneral();
// Bytes of one file row and of the whole file that the settings need.
uint64_t BytesFilaGeneral(const AjustesGeneral& a);
uint64_t BytesGeneral(const AjustesGeneral& a);

// Reads the file with the current settings; 12360 (file, length, bytes needed) when the file
// is shorter than they need, 11011 when cancelled.
void LeeGeneral(const std::string& archivo, ImagenObservacion& imagen);
void LeeConfigGeneral(const std::string& archivoConfig);
void GuardaConfigGeneral(const std::string& archivoConfig);

}  // namespace orva
