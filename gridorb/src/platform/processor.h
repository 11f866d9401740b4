#pragma once

// Code that gains from AVX2 is compiled twice, for the baseline processor
// and for one with AVX2, and this is the one place that asks the processor.
// Off x86-64 the AVX2 twin is compiled for the baseline too and never
// called, so callers need no conditional code:
//
//   GRIDORB_AVX2_TARGET void fooAvx2() { fooBody(); }
//   void fooBaseline() { fooBody(); }
//   if (platform::hasAvx2()) fooAvx2(); else fooBaseline();
//
// Both must give the same bits: the body is the same source, FMA is never
// enabled, and contraction is off.
namespace gridorb::platform {

#if defined(__x86_64__)
#define GRIDORB_AVX2_TARGET __attribute__((target("avx2")))
inline bool hasAvx2() {
    static const bool avx2 = __builtin_cpu_supports("avx2");
    return avx2;
}
#else
#define GRIDORB_AVX2_TARGET
constexpr bool hasAvx2() { return false; }
#endif

}  // namespace gridorb::platform
