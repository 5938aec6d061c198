// The lists of objects and observatories kept as text files in the settings folder, and what
// applying an entry does to an image's observation data.
//
// One entry per line, fields separated by ';', '#' starting a comment line:
//   objects:       name;RA;Dec;equinox;type;period (days);epoch of minimum (HJD)
//   observatories: name;longitude;latitude;altitude (m)
// RA, Dec, longitude and latitude are written as the image data writes them ("05h35m17s.300",
// "-05g23m28s.000"); longitudes count positive toward the west. Period and epoch of minimum may
// be empty when unknown.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "astro/Angulos.h"

namespace orva {

struct DatosImagen;

struct ObjetoLista {
  std::string nombre;
  AscensionRecta ar;
  Declinacion dec;
  int32_t epoca = 2000;
  std::string tipo;                   // the variable's class ("EA", "RRAB"), free text
  std::optional<double> periodo;      // days
  std::optional<double> epocaMinimo;  // heliocentric Julian day of a minimum
};

struct ObservatorioLista {
  std::string nombre;
  Longitud longitud;  // positive west
  Latitud latitud;
  int32_t altitud = 0;  // metres
};

// The file names inside the settings folder.
inline constexpr const char* kArchivoObjetos = "OBJETOS.TXT";
inline constexpr const char* kArchivoObservatorios = "OBSERVATORIOS.TXT";

// The list file of a settings folder.
std::string RutaListaObjetos(const std::string& carpeta);
std::string RutaListaObservatorios(const std::string& carpeta);

// The fields of an entry in file order, as text.
std::vector<std::string> CamposObjeto(const ObjetoLista& o);
std::vector<std::string> CamposObservatorio(const ObservatorioLista& o);
// An entry from its fields in file order, every one validated: 12381 for a wrong count, 12382
// for an illegal name, 12386 for a number that does not read, the angle messages of the image
// data for RA, Dec, longitude and latitude.
ObjetoLista ObjetoDeCampos(const std::vector<std::string>& campos);
ObservatorioLista ObservatorioDeCampos(const std::vector<std::string>& campos);

// Reads a list; a missing file is an empty list. A line that does not read, or repeats a name
// (names compare without case), raises 12380 naming the file and the line, with the reason.
std::vector<ObjetoLista> LeeListaObjetos(const std::string& archivo);
std::vector<ObservatorioLista> LeeListaObservatorios(const std::string& archivo);
// Writes a list safely (temporary file renamed over the old one; the folder is created when
// missing). Raises 12383 for a repeated name, 12382 for an illegal one, before anything is
// written.
void GuardaListaObjetos(const std::string& archivo, const std::vector<ObjetoLista>& lista);
void GuardaListaObservatorios(const std::string& archivo,
                              const std::vector<ObservatorioLista>& lista);

// The entry of that name (without case), or nullptr.
const ObjetoLista* ObjetoNombrado(const std::vector<ObjetoLista>& lista, std::string_view nombre);
// The entry of that name (without case); 12384 / 12385 naming the list file when none.
const ObjetoLista& BuscaObjeto(const std::vector<ObjetoLista>& lista, std::string_view nombre,
                               const std::string& archivo);
const ObservatorioLista& BuscaObservatorio(const std::vector<ObservatorioLista>& lista,
                                           std::string_view nombre, const std::string& archivo);

// Fills NOMOBJ, AROBJ, DECOBJ and EPOCAOBJ / OBSERVATORIO, LONOBS, LATOBS and ALTOBS, each
// marked as holding a value.
void AplicaObjeto(const ObjetoLista& o, DatosImagen& d);
void AplicaObservatorio(const ObservatorioLista& o, DatosImagen& d);

}  // namespace orva
