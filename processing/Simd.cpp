// The instruction set of the row loops and its cap.
#include "processing/Simd.h"

#include <algorithm>
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

// The cap of ORVA_SIMD: "portable" or "avx2"; none otherwise.
NivelSimd TopeEntorno() {
  const char* v = std::getenv("ORVA_SIMD");
  const std::string_view t = v == nullptr ? "" : v;
  return t == "portable" ? NivelSimd::kPortable
         : t == "avx2"   ? NivelSimd::kAvx2
                         : NivelSimd::kAvx512;
}

NivelSimd Limitado(NivelSimd tope) {
  return std::min(NivelProcesador(), tope);
}

std::atomic<NivelSimd>& Nivel() {
  static std::atomic<NivelSimd> nivel{Limitado(TopeEntorno())};
  return nivel;
}

}  // namespace

NivelSimd NivelSimdActual() {
  return Nivel().load(std::memory_order_relaxed);
}

void LimitaSimd(NivelSimd tope) {
  Nivel().store(Limitado(tope));
}

}  // namespace orva
