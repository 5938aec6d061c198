// The process-wide pixel range and out-of-image value.
#pragma once

#include <cstdint>

namespace orva {

// Bottom and top of the gray range (VALORMIN, VALORMAX) and the out-of-image value (VALORDEF).
// Before the configuration is read they hold -32768, 32767 and 0.
struct RangoPixeles {
  int16_t minimo = -32768;
  int16_t maximo = 32767;
  int16_t defecto = 0;
};

// The one process-wide instance, set by the configuration's derived values. The geometric
// operations take the out-of-image value from their parameters, which callers fill from here.
RangoPixeles& Rango();

}  // namespace orva
