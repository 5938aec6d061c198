// Tolerant number reading.
#include "core/Numeros.h"

#include <cctype>
#include <cerrno>
#include <charconv>
#include <climits>
#include <cstdlib>
#include <string>

namespace orva {

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

}  // namespace orva
