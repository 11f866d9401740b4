#include "evaluator/kernel_layout.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace gridorb::evaluator {
namespace {

template <typename T>
IndexRange nonZeroRange(const T& table, int size) {
    int begin = 0;
    while (begin < size && table[begin] == 0) ++begin;
    int end = size;
    while (end > begin && table[end - 1] == 0) --end;
    return {begin, end};
}

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

template <std::size_t N>
bool allZero(const std::array<float, N>& table) {
    std::uint32_t any = 0;
    for (std::uint32_t b : bitsOf(table)) any |= b & 0x7fffffffu;
    return any == 0;
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
        out.sxPeak = out.gxPeak = out.pgxPeak = literal ? INFINITY : 0.0f;
        if (!literal) {
            for (int i = 0; i < POINTS_PER_AXIS; ++i) {
                out.sxPeak = std::max(out.sxPeak, std::fabs(in.sx[i]));
                out.gxPeak = std::max(out.gxPeak, std::fabs(in.gx[i]));
                // Exact in double; rounded to float within the bound's margin.
                out.pgxPeak = std::max(out.pgxPeak, static_cast<float>(std::fabs(static_cast<double>(in.px[i]) * in.gx[i])));
            }
        }
        if (factors.shell == basis::Shell::None) {
            out.sX = out.sY = out.sZ = out.pX = out.pY = out.pZ = IndexRange{};
        } else if (literal) {
            out.sX = out.sY = out.sZ = out.pX = out.pY = out.pZ = full;
            if (!atom.hasP) out.pX = out.pY = out.pZ = IndexRange{};
        } else {
            out.sX = nonZeroRange(in.sx, POINTS_PER_AXIS);
            out.sY = nonZeroRange(in.sy, POINTS_PER_AXIS);
            out.sZ = nonZeroRange(in.sz, POINTS_PER_AXIS);
            // With every p table zero the bracket is 0 everywhere.
            const bool pZero = !atom.hasP || (allZero(in.px) && allZero(in.py) && allZero(in.pz));
            out.pX = pZero ? IndexRange{} : nonZeroRange(in.gx, POINTS_PER_AXIS);
            out.pY = nonZeroRange(in.gy, POINTS_PER_AXIS);
            out.pZ = nonZeroRange(in.gz, POINTS_PER_AXIS);
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
