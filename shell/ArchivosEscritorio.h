// What the desktop's file dialogs offer, without the dialogs: the name patterns of each file
// type in any letter case, the extension a saved name takes, and the list of recent files.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace orva {

struct RegistroTipoArchivo;

// How many recent files the "Archivo" menu keeps (section "Recientes", ARCHIVO1..).
constexpr size_t kMaxRecientes = 8;

// The name patterns of a type's filter, each matching its extension in any letter case
// ("*.FIT" -> "*.[fF][iI][tT]"); FITS also finds ".fits", ".fit", ".fts" and ".fz". A pattern
// that matches every name ("*.*") becomes "*".
std::vector<std::string> PatronesTipo(const RegistroTipoArchivo& tipo);
// The type's own extension: the first plain one of its filter (".FTS"); empty when none.
std::string ExtensionTipo(const RegistroTipoArchivo& tipo);
// The name with the extension added when its last part has none.
std::string ConExtension(const std::string& archivo, const std::string& extension);

// The list with the file first, once, at most kMaxRecientes long.
std::vector<std::string> AnadeReciente(std::vector<std::string> lista, const std::string& archivo);
// The recent files of the settings, newest first, and their replacement.
std::vector<std::string> ArchivosRecientes();
void GuardaRecientes(const std::vector<std::string>& lista);

}  // namespace orva
