// The process-wide pixel range.
#include "core/Rango.h"

namespace orva {

RangoPixeles& Rango() {
  static RangoPixeles rango;
  return rango;
}

}  // namespace orva
