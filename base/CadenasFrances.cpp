// The French string table, sorted by id. Not translated yet: every id shows its Spanish text
// until an entry is added here.
#include "base/TablasCadenas.h"

#include <array>

namespace orva {
namespace {

constexpr std::array<EntradaCadena, 0> kFrances{};

}  // namespace

std::span<const EntradaCadena> TablaCadenasFrances() {
  return {kFrances.data(), kFrances.size()};
}

}  // namespace orva
