// The process-wide progress object.
#include "core/Progreso.h"

namespace orva {
namespace {

ProgresoSilencioso& Silencioso() {
  static ProgresoSilencioso silencioso;
  return silencioso;
}

Progreso*& Instalado() {
  static Progreso* instalado = nullptr;
  return instalado;
}

}  // namespace

Progreso& ProgresoActual() {
  Progreso* p = Instalado();
  return p ? *p : Silencioso();
}

void InstalaProgreso(Progreso* p) {
  Instalado() = p;
}

bool& ModoSilencioso() {
  static bool silencioso = false;
  return silencioso;
}

}  // namespace orva
