// A small scanner that reads numbers and separators from text the way the C "%d", "%lf" and
// literal-character directives of a scan format do, without locale and without overflow.
#pragma once

#include <string_view>

namespace orva {

class LectorTexto {
 public:
  explicit LectorTexto(std::string_view texto) : texto_(texto) {}

  // "%d": skips blanks, then an optional sign and decimal digits. Values beyond the int range
  // saturate at INT_MIN/INT_MAX (they then fail any range check). On failure nothing is consumed.
  bool Entero(int& valor);
  // "%lf": skips blanks, then an optional sign and a decimal real (".25", "1e-3", "inf", "nan").
  bool Real(double& valor);
  // A literal character of the format: must be the next character, blanks are not skipped.
  bool Literal(char c);

  // Whether the last number read by Entero carried a '-' sign (so "-0" is told from "0").
  bool UltimoNegativo() const { return ultimoNegativo_; }

 private:
  void SaltaBlancos();

  std::string_view texto_;
  std::size_t pos_ = 0;
  bool ultimoNegativo_ = false;
};

// Reads "%d<sep>%d<sep2>%d" style texts: up to `maximo` integers separated by the given literal
// characters (separadores[i] follows integer i). Returns how many integers were converted, as
// sscanf would.
int LeeEnteros(std::string_view texto, std::string_view separadores, int* valores, int maximo);

}  // namespace orva
