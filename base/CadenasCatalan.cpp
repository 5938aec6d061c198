// The Catalan string table, sorted by id. Not translated yet: every id shows its Spanish text
// until an entry is added here.
#include "base/TablasCadenas.h"

#include <array>

namespace orva {
namespace {

constexpr std::array<EntradaCadena, 2> kCatalan{{
    {12590, "E&xporta les marques (CSV)..."},
    {12591, "Marques de retícula"},
}};

}  // namespace

std::span<const EntradaCadena> TablaCadenasCatalan() {
  return {kCatalan.data(), kCatalan.size()};
}

}  // namespace orva
