// The instruction set of the row loops and the portable switch.
#include "processing/Simd.h"

#include <atomic>
#include <cstdlib>
#include <string_view>

namespace orva {

namespace {

NivelSimd NivelProcesador() {
#if ORVA_SIMD_X86
  __builtin_cpu_init();
  if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
      __builtin_cpu_supports("avx512dq") && __builtin_cpu_supports("avx512vl")) {
    return NivelSimd::kAvx512;
  }
  if (__builtin_cpu_supports("avx2")) return NivelSimd::kAvx2;
#endif
  return NivelSimd::kPortable;
}

bool PortablePedido() {
  const char* v = std::getenv("ORVA_SIMD");
  return v != nullptr && std::string_view(v) == "portable";
}

std::atomic<int>& Nivel() {
  static std::atomic<int> nivel{
      static_cast<int>(PortablePedido() ? NivelSimd::kPortable : NivelProcesador())};
  return nivel;
}

}  // namespace

NivelSimd NivelSimdActual() {
  return static_cast<NivelSimd>(Nivel().load(std::memory_order_relaxed));
}

void FijaSimdPortable(bool portable) {
  Nivel().store(static_cast<int>(portable ? NivelSimd::kPortable : NivelProcesador()));
}

}  // namespace orva
