// Tolerant number reading.
#include "base/Numeros.h"

#include <algorithm>
#include <cstddef>

#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <string>

namespace orva {

namespace {

bool EsCifra(char c) {
  return c >= '0' && c <= '9';
}

// Index of the first character after the leading blanks and one sign.
size_t InicioNumero(std::string_view texto) {
  size_t i = 0;
  while (i < texto.size() && std::isspace(static_cast<unsigned char>(texto[i]))) ++i;
  if (i < texto.size() && (texto[i] == '+' || texto[i] == '-')) ++i;
  return i;
}

}  // namespace

int LeeEntero(std::string_view texto) {
  const std::string s(texto);
  errno = 0;
  const long v = std::strtol(s.c_str(), nullptr, 10);
  if (v > INT_MAX) return INT_MAX;
  if (v < INT_MIN) return INT_MIN;
  return static_cast<int>(v);
}

double LeeReal(std::string_view texto) {
  // Read in the "C" notation whatever the process locale (the desktop may set a decimal comma).
  size_t i = 0;
  while (i < texto.size() && std::isspace(static_cast<unsigned char>(texto[i]))) ++i;
  if (i < texto.size() && texto[i] == '+') ++i;
  double v = 0.0;
  const auto r = std::from_chars(texto.data() + i, texto.data() + texto.size(), v);
  return r.ec == std::errc() || r.ec == std::errc::result_out_of_range ? v : 0.0;
}

std::optional<int> LeeEnteroComprobado(std::string_view texto) {
  const size_t i = InicioNumero(texto);
  if (i >= texto.size() || !EsCifra(texto[i])) return std::nullopt;
  return LeeEntero(texto);
}

std::optional<double> LeeRealComprobado(std::string_view texto) {
  size_t i = InicioNumero(texto);
  const bool negativo = i > 0 && texto[i - 1] == '-';
  const bool cifra = i < texto.size() && EsCifra(texto[i]);
  const bool punto = i + 1 < texto.size() && texto[i] == '.' && EsCifra(texto[i + 1]);
  if (!cifra && !punto) return std::nullopt;
  double v = 0.0;
  const auto r = std::from_chars(texto.data() + i, texto.data() + texto.size(), v);
  if (r.ec == std::errc::result_out_of_range) {
    // Overflow or underflow: a negative exponent can only underflow.
    const std::string_view leido(texto.data() + i, static_cast<size_t>(r.ptr - (texto.data() + i)));
    const size_t e = leido.find_first_of("eE");
    const bool pequeno = e != std::string_view::npos && e + 1 < leido.size() && leido[e + 1] == '-';
    v = pequeno ? 0.0 : HUGE_VAL;
  } else if (r.ec != std::errc()) {
    return std::nullopt;
  }
  return negativo ? -v : v;
}

double Mediana(std::vector<double> v) {
  if (v.empty()) return 0.0;
  const auto medio = v.begin() + static_cast<std::ptrdiff_t>(v.size() / 2);
  std::nth_element(v.begin(), medio, v.end());
  if (v.size() % 2 != 0) return *medio;
  return 0.5 * (*medio + *std::max_element(v.begin(), medio));
}

}  // namespace orva
