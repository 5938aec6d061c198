// Tolerant number reading.
#include "core/Numeros.h"

#include <cerrno>
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
  const std::string s(texto);
  return std::strtod(s.c_str(), nullptr);
}

}  // namespace orva
