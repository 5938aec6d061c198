// VICAR label parsing.
#include "formats/vicar/EtiquetaVicar.h"

#include <cctype>
#include <string>

namespace orva {
namespace {

constexpr uint64_t kMaxEtiqueta = uint64_t{1} << 31;

bool Blanco(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

std::string Mayusculas(std::string s) {
  for (char& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

}  // namespace

uint64_t TamanoEtiquetaVicar(std::string_view t) {
  constexpr std::string_view kClave = "LBLSIZE";
  if (t.substr(0, kClave.size()) != kClave) return 0;
  size_t p = kClave.size();
  while (p < t.size() && t[p] == ' ') ++p;
  if (p >= t.size() || t[p] != '=') return 0;
  ++p;
  while (p < t.size() && t[p] == ' ') ++p;
  uint64_t v = 0;
  size_t digitos = 0;
  while (p < t.size() && std::isdigit(static_cast<unsigned char>(t[p]))) {
    v = v * 10 + static_cast<uint64_t>(t[p] - '0');
    if (v >= kMaxEtiqueta) return 0;
    ++p;
    ++digitos;
  }
  return digitos > 0 ? v : 0;
}

EtiquetaOdl AnalizaEtiquetaVicar(std::string_view t) {
  const size_t cero = t.find('\0');
  if (cero != std::string_view::npos) t = t.substr(0, cero);
  EtiquetaOdl e;
  std::string objeto;
  size_t p = 0;
  while (p < t.size()) {
    while (p < t.size() && Blanco(t[p])) ++p;
    if (p >= t.size()) break;
    // The key: up to '=' or a blank.
    const size_t a = p;
    while (p < t.size() && t[p] != '=' && !Blanco(t[p])) ++p;
    std::string clave(t.substr(a, p - a));
    while (p < t.size() && t[p] == ' ') ++p;
    if (p >= t.size() || t[p] != '=' || clave.empty()) {
      // Not an item: go on after the word.
      if (p < t.size() && t[p] == '=') ++p;
      continue;
    }
    ++p;  // '='
    while (p < t.size() && t[p] == ' ') ++p;
    std::string valor;
    if (p < t.size() && t[p] == '\'') {
      ++p;
      while (p < t.size()) {
        if (t[p] == '\'') {
          if (p + 1 < t.size() && t[p + 1] == '\'') {
            valor += '\'';
            p += 2;
            continue;
          }
          ++p;
          break;
        }
        valor += t[p++];
      }
    } else if (p < t.size() && t[p] == '(') {
      const size_t inicio = p;
      bool comilla = false;
      while (p < t.size()) {
        const char c = t[p++];
        if (c == '\'') comilla = !comilla;
        if (c == ')' && !comilla) break;
      }
      valor = std::string(t.substr(inicio, p - inicio));
    } else {
      const size_t inicio = p;
      while (p < t.size() && !Blanco(t[p])) ++p;
      valor = std::string(t.substr(inicio, p - inicio));
    }
    const std::string c = Mayusculas(clave);
    if (c == "TASK" || c == "PROPERTY") {
      ElementoOdl el{clave, valor, {}, {}, 0};
      e.elementos.push_back(std::move(el));
      objeto = Mayusculas(valor);
      continue;
    }
    ElementoOdl el{clave, std::move(valor), {}, objeto, objeto.empty() ? 0 : 1};
    e.elementos.push_back(std::move(el));
  }
  e.fin = t.size();
  e.conFin = true;
  return e;
}

}  // namespace orva
