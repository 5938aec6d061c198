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

// The one process-wide instance, set by the configuration's derived values.
RangoPixeles& Rango();

// Replaces the out-of-image value for one scope (one macro line) and restores it on exit.
class ValorDefectoTemporal {
 public:
  explicit ValorDefectoTemporal(int16_t valor) : anterior_(Rango().defecto) {
    Rango().defecto = valor;
  }
  ~ValorDefectoTemporal() { Rango().defecto = anterior_; }
  ValorDefectoTemporal(const ValorDefectoTemporal&) = delete;
  ValorDefectoTemporal& operator=(const ValorDefectoTemporal&) = delete;

 private:
  int16_t anterior_;
};

}  // namespace orva
