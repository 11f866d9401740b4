#include "evaluator/kernel_layout.h"

#include <algorithm>
#include <cmath>

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

template <typename T>
bool allFinite(const T& table) {
    for (auto v : table) {
        if (!std::isfinite(v)) return false;
    }
    return true;
}

template <typename T>
bool allZero(const T& table) {
    for (auto v : table) {
        if (v != 0) return false;
    }
    return true;
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

KernelAtom prepareKernelAtom(const AtomFactors& factors) {
    KernelAtom atom;
    if (factors.shell == basis::Shell::None) return atom;
    atom.hasP = factors.shell != basis::Shell::OneS;
    const bool literal = !factorsFinite(factors);
    const IndexRange full{0, POINTS_PER_AXIS};
    for (int k = 0; k < 3; ++k) {
        const PrimitiveFactors& in = factors.primitive[k];
        KernelPrimitive& out = atom.primitive[k];
        std::copy(in.sx.begin(), in.sx.end(), out.sx.begin());
        std::copy(in.px.begin(), in.px.end(), out.px.begin());
        std::copy(in.gx.begin(), in.gx.end(), out.gx.begin());
        out.sy = in.sy;
        out.sz = in.sz;
        out.py = in.py;
        out.pz = in.pz;
        out.gy = in.gy;
        out.gz = in.gz;
        if (literal) {
            out.sX = out.sY = out.sZ = out.pX = out.pY = out.pZ = full;
            if (!atom.hasP) out.pX = out.pY = out.pZ = IndexRange{};
            continue;
        }
        out.sX = nonZeroRange(in.sx, POINTS_PER_AXIS);
        out.sY = nonZeroRange(in.sy, POINTS_PER_AXIS);
        out.sZ = nonZeroRange(in.sz, POINTS_PER_AXIS);
        // With every p table zero the bracket is 0 everywhere.
        const bool pZero = allZero(in.px) && allZero(in.py) && allZero(in.pz);
        out.pX = pZero ? IndexRange{} : nonZeroRange(in.gx, POINTS_PER_AXIS);
        out.pY = nonZeroRange(in.gy, POINTS_PER_AXIS);
        out.pZ = nonZeroRange(in.gz, POINTS_PER_AXIS);
    }
    // The x ranges widened to whole vectors of four, within the padded row.
    auto vectors = [](IndexRange r) {
        return r.empty() ? IndexRange{} : IndexRange{r.begin & ~3, std::min(PADDED_ROW, (r.end + 3) & ~3)};
    };
    for (KernelPrimitive& out : atom.primitive) {
        out.sXVectors = vectors(out.sX);
        out.pXVectors = vectors(out.pX);
        out.spX = vectors(IndexRange{std::min(out.sX.begin, out.pX.begin), std::max(out.sX.end, out.pX.end)});
    }
    return atom;
}

}  // namespace gridorb::evaluator
