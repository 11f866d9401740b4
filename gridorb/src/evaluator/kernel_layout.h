#pragma once

#include <array>
#include <cstdint>

#include "evaluator/atom_factors.h"

// One atom's factors laid out for the fast sweeps, with the index ranges
// outside which its terms are exact zeros.
namespace gridorb::evaluator {

// A row of psi padded from 51 to 52 values, so that vectors of four cover it.
inline constexpr int PADDED_ROW = 52;

// [begin, end) of plane indices outside which a factor table is exactly 0.
struct IndexRange {
    std::int32_t begin;
    std::int32_t end;
    bool contains(int i) const { return i >= begin && i < end; }
    bool empty() const { return begin >= end; }
};

// One primitive of one atom, laid out for the kernel. The x tables are
// widened to double and zero-padded to PADDED_ROW; y and z stay float. Left
// unset by default (prepareKernelAtom sets every field), so that the
// layouts can be placed over memory a run has used before.
struct KernelPrimitive {
    alignas(32) std::array<double, PADDED_ROW> sx;
    alignas(32) std::array<double, PADDED_ROW> px;
    alignas(32) std::array<double, PADDED_ROW> gx;
    std::array<float, POINTS_PER_AXIS> sy, sz, py, pz, gy, gz;
    // The largest |sx|, |gx| and |px*gx| along x, for bounding the terms of
    // a whole row (+inf for an atom with a non-finite factor).
    float sxPeak, gxPeak, pgxPeak;
    // Where the s term and the p term can be other than +-0: outside them
    // the term is an exact zero, which leaves psi as it is (up to the sign
    // of a zero psi, which no output shows).
    IndexRange sX, sY, sZ;
    IndexRange pX, pY, pZ;
    // The x ranges widened to whole vectors of four.
    IndexRange sXVectors, pXVectors;
};

struct KernelAtom {
    bool hasP;
    std::array<KernelPrimitive, 3> primitive;
};

// Lays out one atom's factors into `atom`, every field of which it sets. An
// atom with a non-finite factor anywhere gets full ranges: 0*inf and NaN
// must then be formed as written, so none of its terms is skipped. An atom
// without a shell gets empty ranges.
void prepareKernelAtom(const AtomFactors& factors, KernelAtom& atom);

}  // namespace gridorb::evaluator
