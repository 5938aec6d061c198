// Locale-free scanning of integers, reals and separators for the date, time and angle texts.
#include "astro/LectorTexto.h"

#include <cctype>
#include <charconv>
#include <climits>
#include <cstdint>
#include <limits>

namespace orva {

void LectorTexto::SaltaBlancos() {
  while (pos_ < texto_.size() && std::isspace(static_cast<unsigned char>(texto_[pos_]))) ++pos_;
}

bool LectorTexto::Entero(int& valor) {
  const std::size_t antes = pos_;
  SaltaBlancos();
  std::size_t p = pos_;
  pos_ = antes;
  bool negativo = false;
  if (p < texto_.size() && (texto_[p] == '+' || texto_[p] == '-')) {
    negativo = texto_[p] == '-';
    ++p;
  }
  std::size_t inicio = p;
  int64_t v = 0;
  bool desborde = false;
  while (p < texto_.size() && texto_[p] >= '0' && texto_[p] <= '9') {
    if (!desborde) {
      v = v * 10 + (texto_[p] - '0');
      if (v > static_cast<int64_t>(INT_MAX) + 1) desborde = true;
    }
    ++p;
  }
  if (p == inicio) return false;
  if (negativo) v = -v;
  if (desborde || v > INT_MAX) v = negativo ? INT_MIN : INT_MAX;
  if (v < INT_MIN) v = INT_MIN;
  valor = static_cast<int>(v);
  ultimoNegativo_ = negativo;
  pos_ = p;
  return true;
}

bool LectorTexto::Real(double& valor) {
  const std::size_t antes = pos_;
  SaltaBlancos();
  std::size_t p = pos_;
  pos_ = antes;
  bool negativo = false;
  if (p < texto_.size() && (texto_[p] == '+' || texto_[p] == '-')) {
    negativo = texto_[p] == '-';
    ++p;
  }
  // from_chars takes no leading '+' and would read a second sign, so the sign is handled here.
  if (p >= texto_.size() || texto_[p] == '+' || texto_[p] == '-') return false;
  double v = 0.0;
  const char* inicio = texto_.data() + p;
  const char* fin = texto_.data() + texto_.size();
  auto [ptr, ec] = std::from_chars(inicio, fin, v, std::chars_format::general);
  if (ptr == inicio) return false;
  if (ec == std::errc::result_out_of_range) {
    // from_chars leaves v untouched here: a negative exponent underflowed to zero, anything
    // else overflowed to infinity, as strtod gives.
    std::string_view leido(inicio, static_cast<std::size_t>(ptr - inicio));
    std::size_t e = leido.find_first_of("eE");
    bool subdesborde = e != std::string_view::npos && e + 1 < leido.size() && leido[e + 1] == '-';
    v = subdesborde ? 0.0 : std::numeric_limits<double>::infinity();
  }
  valor = negativo ? -v : v;
  pos_ = static_cast<std::size_t>(ptr - texto_.data());
  return true;
}

bool LectorTexto::Literal(char c) {
  if (pos_ < texto_.size() && texto_[pos_] == c) {
    ++pos_;
    return true;
  }
  return false;
}

int LeeEnteros(std::string_view texto, std::string_view separadores, int* valores, int maximo) {
  LectorTexto lector(texto);
  int leidos = 0;
  for (int i = 0; i < maximo; ++i) {
    if (i > 0 && !lector.Literal(separadores[static_cast<std::size_t>(i - 1)])) break;
    if (!lector.Entero(valores[i])) break;
    ++leidos;
  }
  return leidos;
}

}  // namespace orva
