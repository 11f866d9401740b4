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
#if defined(__x86_64__)
#if __has_include(<sys/platform/x86.h>)
// The header is C: its _Bool is an extension that g++ accepts and clang++ does not.
#define _Bool bool
#include <sys/platform/x86.h>
#undef _Bool
#else
#include <cpuid.h>
#endif
#endif

namespace gridorb::platform {

#if defined(__x86_64__)
#define GRIDORB_AVX2_TARGET __attribute__((target("avx2")))
// A CPUID instruction traps to the hypervisor on virtual machines (5-10 us
// each), and the compiler's own check runs a dozen of them at every start.
// The C library has asked the processor already: its answer costs nothing.
// Elsewhere, two CPUIDs: AVX2 itself, and the system saving the AVX state.
inline bool hasAvx2() {
#if __has_include(<sys/platform/x86.h>)
    return CPU_FEATURE_ACTIVE(AVX2);
#else
    static const bool avx2 = [] {
        unsigned a, b, c, d;
        if (!__get_cpuid(1, &a, &b, &c, &d) || !(c & bit_OSXSAVE) || !(c & bit_AVX)) return false;
        unsigned lo, hi;
        __asm__("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
        if ((lo & 6) != 6) return false;
        return __get_cpuid_count(7, 0, &a, &b, &c, &d) && (b & bit_AVX2) != 0;
    }();
    return avx2;
#endif
}

// Byte permutes across a whole 64-byte vector, for laying out text.
#define GRIDORB_AVX512_VBMI_TARGET __attribute__((target("avx512f,avx512bw,avx512vbmi")))
inline bool hasAvx512Vbmi() {
#if __has_include(<sys/platform/x86.h>)
    return CPU_FEATURE_ACTIVE(AVX512F) && CPU_FEATURE_ACTIVE(AVX512BW) && CPU_FEATURE_ACTIVE(AVX512_VBMI);
#else
    return false;
#endif
}
#else
#define GRIDORB_AVX2_TARGET
constexpr bool hasAvx2() { return false; }
constexpr bool hasAvx512Vbmi() { return false; }
#endif

}  // namespace gridorb::platform
