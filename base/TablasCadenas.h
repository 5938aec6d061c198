// The string tables of each language, for the lookup in base/Cadenas.cpp and nothing else.
#pragma once

#include <span>

namespace orva {

struct EntradaCadena {
  int id;
  const char* texto;
};

// Each table is sorted by id; a language's table may lack ids (they show in Spanish).
std::span<const EntradaCadena> TablaCadenasCastellano();
std::span<const EntradaCadena> TablaCadenasIngles();
std::span<const EntradaCadena> TablaCadenasCatalan();
std::span<const EntradaCadena> TablaCadenasFrances();

}  // namespace orva
