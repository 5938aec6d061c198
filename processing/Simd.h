// Vector variants of the hot row loops. A row loop is written once, as an ORVA_FILA function,
// and compiled into an AVX2 and an AVX-512 variant beside the portable one; Simd<F>(...) picks
// the variant per call. Every variant does the same integer and double operations (no fused
// multiply-add), so the results are the same bits on every path.
//
// The variants can be capped: ORVA_SIMD=portable (or avx2) in the environment, read once, or
// LimitaSimd from the tests. The hand-written intrinsics ask UsaAvx2().
#pragma once

#if defined(__x86_64__) && defined(__GNUC__)
#define ORVA_SIMD_X86 1
#define ORVA_AVX2 __attribute__((target("avx2")))
#define ORVA_AVX512 __attribute__((target("avx2,avx512f,avx512bw,avx512dq,avx512vl")))
#define ORVA_FILA __attribute__((always_inline)) inline
#else
#define ORVA_SIMD_X86 0
#define ORVA_AVX2
#define ORVA_AVX512
#define ORVA_FILA inline
#endif

// Load-time clones, only for loops without arithmetic (table lookups, copies), whose result
// cannot depend on the variant; the cap does not reach them.
#if ORVA_SIMD_X86 && !defined(__clang__)
#define ORVA_VARIANTES_512 __attribute__((target_clones("avx512f", "avx2", "default")))
#else
#define ORVA_VARIANTES_512
#endif

namespace orva {

enum class NivelSimd { kPortable = 0, kAvx2 = 1, kAvx512 = 2 };

// The instruction set the row loops use: the best the processor has, within the cap.
NivelSimd NivelSimdActual();
// Caps the instruction set (kAvx512: no cap).
void LimitaSimd(NivelSimd tope);
// Whether the processor has AVX2 and the cap allows it.
inline bool UsaAvx2() {
  return NivelSimdActual() >= NivelSimd::kAvx2;
}

namespace simd {
template <auto F, class... A>
ORVA_AVX2 auto EnAvx2(A... a) {
  return F(a...);
}
template <auto F, class... A>
ORVA_AVX512 auto EnAvx512(A... a) {
  return F(a...);
}
}  // namespace simd

// Runs the row loop F in the best variant the processor and the switch allow; its result.
template <auto F, class... A>
inline auto Simd(A... a) {
#if ORVA_SIMD_X86
  const NivelSimd n = NivelSimdActual();
  if (n == NivelSimd::kAvx512) return simd::EnAvx512<F>(a...);
  if (n == NivelSimd::kAvx2) return simd::EnAvx2<F>(a...);
#endif
  return F(a...);
}

}  // namespace orva
