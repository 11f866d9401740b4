#include "evaluator/kernel_layout.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace gridorb::evaluator {
namespace {

// Scans of the bits, so that they run in vectors (the compiler leaves
// comparisons of floats in these loops scalar): a value is infinite or NaN
// when its exponent bits are all set, and +-0 when every other bit is clear.
template <std::size_t N>
std::array<std::uint32_t, N> bitsOf(const std::array<float, N>& table) {
    std::array<std::uint32_t, N> bits;
    std::memcpy(bits.data(), table.data(), sizeof bits);
    return bits;
}

template <std::size_t N>
bool allFinite(const std::array<float, N>& table) {
    std::uint32_t full = 0;
    for (std::uint32_t b : bitsOf(table)) full |= ((b & 0x7f800000u) + 0x00800000u) & 0x80000000u;
    return full == 0;
}

// Bit i set where entry i is other than +-0 (NaN counts as other): four
// entries a step where the processor gathers comparisons into a mask (an
// atom's tables are scanned a dozen times each), one at a time elsewhere.
template <std::size_t N>
std::uint64_t nonZeroMask(const std::array<float, N>& table) {
    static_assert(N <= 64);
    std::uint64_t mask = 0;
    std::size_t i = 0;
#if defined(__SSE2__)
    // v != 0 is false for +-0 only (NaN compares unequal).
    for (; i + 4 <= N; i += 4) {
        const __m128 v = _mm_loadu_ps(table.data() + i);
        mask |= static_cast<std::uint64_t>(_mm_movemask_ps(_mm_cmpneq_ps(v, _mm_setzero_ps()))) << i;
    }
#endif
    const auto bits = bitsOf(table);
    for (; i < N; ++i) mask |= static_cast<std::uint64_t>((bits[i] & 0x7fffffffu) != 0) << i;
    return mask;
}

// [first, last + 1) of the entries other than +-0, or [N, N) when there are none.
template <std::size_t N>
IndexRange nonZeroRange(const std::array<float, N>& table) {
    const std::uint64_t mask = nonZeroMask(table);
    if (mask == 0) return {static_cast<std::int32_t>(N), static_cast<std::int32_t>(N)};
    return {std::countr_zero(mask), 64 - std::countl_zero(mask)};
}

template <std::size_t N>
bool allZero(const std::array<float, N>& table) {
    return nonZeroMask(table) == 0;
}

// The largest |v| of a table of finite values: without its sign bit a
// finite float orders as its magnitude, and a maximum of integers runs in
// vectors where one of floats does not.
template <std::size_t N>
float largestMagnitude(const std::array<float, N>& table) {
    std::uint32_t largest = 0;
    for (std::uint32_t b : bitsOf(table)) largest = std::max(largest, b & 0x7fffffffu);
    return std::bit_cast<float>(largest);
}

bool factorsFinite(const AtomFactors& factors) {
    for (const PrimitiveFactors& f : factors.primitive) {
        if (!allFinite(f.sx) || !allFinite(f.sy) || !allFinite(f.sz) || !allFinite(f.px) || !allFinite(f.py) ||
            !allFinite(f.pz) || !allFinite(f.gx) || !allFinite(f.gy) || !allFinite(f.gz))
            return false;
    }
    return true;
}

}  // namespace

void prepareKernelAtom(const AtomFactors& factors, KernelAtom& atom) {
    atom.hasP = factors.shell == basis::Shell::TwoSP || factors.shell == basis::Shell::ThreeSP;
    const bool literal = !factorsFinite(factors);
    const IndexRange full{0, POINTS_PER_AXIS};
    for (int k = 0; k < 3; ++k) {
        const PrimitiveFactors& in = factors.primitive[k];
        KernelPrimitive& out = atom.primitive[k];
        for (int i = 0; i < POINTS_PER_AXIS; ++i) {
            out.sx[i] = in.sx[i];
            out.px[i] = in.px[i];
            out.gx[i] = in.gx[i];
        }
        for (int i = POINTS_PER_AXIS; i < PADDED_ROW; ++i) out.sx[i] = out.px[i] = out.gx[i] = 0.0;
        out.sy = in.sy;
        out.sz = in.sz;
        out.py = in.py;
        out.pz = in.pz;
        out.gy = in.gy;
        out.gz = in.gz;
        out.sxPeak = out.gxPeak = out.pgxPeak = INFINITY;
        if (!literal) {
            std::array<float, POINTS_PER_AXIS> pgx;
            // Each product rounded once, as in double and then to float.
            for (int i = 0; i < POINTS_PER_AXIS; ++i) pgx[i] = in.px[i] * in.gx[i];
            out.sxPeak = largestMagnitude(in.sx);
            out.gxPeak = largestMagnitude(in.gx);
            out.pgxPeak = largestMagnitude(pgx);
        }
        if (factors.shell == basis::Shell::None) {
            out.sX = out.sY = out.sZ = out.pX = out.pY = out.pZ = IndexRange{};
        } else if (literal) {
            out.sX = out.sY = out.sZ = out.pX = out.pY = out.pZ = full;
            if (!atom.hasP) out.pX = out.pY = out.pZ = IndexRange{};
        } else {
            out.sX = nonZeroRange(in.sx);
            out.sY = nonZeroRange(in.sy);
            out.sZ = nonZeroRange(in.sz);
            // With every p table zero the bracket is 0 everywhere.
            const bool pZero = !atom.hasP || (allZero(in.px) && allZero(in.py) && allZero(in.pz));
            out.pX = pZero ? IndexRange{} : nonZeroRange(in.gx);
            out.pY = nonZeroRange(in.gy);
            out.pZ = nonZeroRange(in.gz);
        }
    }
    // The x ranges widened to whole vectors of four, within the padded row.
    auto vectors = [](IndexRange r) {
        return r.empty() ? IndexRange{} : IndexRange{r.begin & ~3, std::min(PADDED_ROW, (r.end + 3) & ~3)};
    };
    for (KernelPrimitive& out : atom.primitive) {
        out.sXVectors = vectors(out.sX);
        out.pXVectors = vectors(out.pX);
    }
}

}  // namespace gridorb::evaluator
