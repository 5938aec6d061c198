// The French string table, sorted by id. Not translated yet: every id shows its Spanish text
// until an entry is added here.
#include "base/TablasCadenas.h"

#include <array>

namespace orva {
namespace {

constexpr std::array<EntradaCadena, 2> kFrances{{
    {12590, "E&xporter les marques (CSV)..."},
    {12591, "Marques du réseau"},
}};

}  // namespace

std::span<const EntradaCadena> TablaCadenasFrances() {
  return {kFrances.data(), kFrances.size()};
}

}  // namespace orva
