// Patterns, extensions and recent files of the desktop's file dialogs.
#include "shell/ArchivosEscritorio.h"

#include <algorithm>
#include <cctype>

#include "formats/TiposArchivo.h"
#include "shell/Configuracion.h"

namespace orva {

namespace {

constexpr const char* kSeccionRecientes = "Recientes";
const char* const kExtensionesFits[] = {"FITS", "FIT", "FTS", "FZ"};

std::string Mayusculas(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// "FIT" -> "*.[fF][iI][tT]"; characters without case stay as they are.
std::string PatronSinCaso(const std::string& extension) {
  std::string r = "*.";
  for (const char c : extension) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalpha(u)) {
      r += '[';
      r += static_cast<char>(std::tolower(u));
      r += static_cast<char>(std::toupper(u));
      r += ']';
    } else {
      r += c;
    }
  }
  return r;
}

// The extensions of the filter's "*.EXT" patterns; "*" for a pattern that takes everything.
std::vector<std::string> Extensiones(const std::string& filtro) {
  std::vector<std::string> r;
  size_t pos = 0;
  while (pos <= filtro.size()) {
    size_t fin = filtro.find(';', pos);
    if (fin == std::string::npos) fin = filtro.size();
    std::string p = filtro.substr(pos, fin - pos);
    p.erase(0, p.find_first_not_of(' '));
    p.erase(p.find_last_not_of(' ') + 1);
    pos = fin + 1;
    if (p.empty()) continue;
    if (p == "*" || p == "*.*") {
      r.emplace_back("*");
    } else if (p.rfind("*.", 0) == 0) {
      r.push_back(p.substr(2));
    }
  }
  return r;
}

}  // namespace

std::vector<std::string> PatronesTipo(const RegistroTipoArchivo& tipo) {
  std::vector<std::string> ext = Extensiones(tipo.filtro);
  if (tipo.id == kFits)
    ext.insert(ext.end(), std::begin(kExtensionesFits), std::end(kExtensionesFits));
  std::vector<std::string> vistos, patrones;
  for (const std::string& e : ext) {
    const std::string clave = Mayusculas(e);
    if (std::find(vistos.begin(), vistos.end(), clave) != vistos.end()) continue;
    vistos.push_back(clave);
    const bool literal = e.find_first_of("*?[") == std::string::npos;
    patrones.push_back(e == "*" ? e : literal ? PatronSinCaso(e) : "*." + e);
  }
  return patrones;
}

std::string ExtensionTipo(const RegistroTipoArchivo& tipo) {
  for (const std::string& e : Extensiones(tipo.filtro)) {
    if (e.find_first_of("*?[") == std::string::npos) return "." + e;
  }
  return {};
}

std::string ConExtension(const std::string& archivo, const std::string& extension) {
  const size_t barra = archivo.find_last_of('/');
  const std::string nombre = barra == std::string::npos ? archivo : archivo.substr(barra + 1);
  // A leading dot names a hidden file, not an extension.
  const size_t punto = nombre.find_last_of('.');
  if (extension.empty() || nombre.empty() || (punto != std::string::npos && punto > 0)) {
    return archivo;
  }
  return archivo + extension;
}

std::vector<std::string> AnadeReciente(std::vector<std::string> lista, const std::string& archivo) {
  lista.erase(std::remove(lista.begin(), lista.end(), archivo), lista.end());
  if (!archivo.empty()) lista.insert(lista.begin(), archivo);
  if (lista.size() > kMaxRecientes) lista.resize(kMaxRecientes);
  return lista;
}

std::vector<std::string> ArchivosRecientes() {
  const Configuracion& c = Configuracion::Global();
  std::vector<std::string> r;
  for (size_t i = 1; i <= kMaxRecientes; ++i) {
    const std::string clave = "ARCHIVO" + std::to_string(i);
    if (!c.Conocida(kSeccionRecientes, clave)) continue;
    const std::string& v = c.Valor(kSeccionRecientes, clave);
    if (!v.empty() && std::find(r.begin(), r.end(), v) == r.end()) r.push_back(v);
  }
  return r;
}

void GuardaRecientes(const std::vector<std::string>& lista) {
  Configuracion& c = Configuracion::Global();
  for (size_t i = 0; i < kMaxRecientes; ++i) {
    c.Asigna(kSeccionRecientes, "ARCHIVO" + std::to_string(i + 1),
             i < lista.size() ? lista[i] : "");
  }
}

}  // namespace orva
