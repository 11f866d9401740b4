#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "evaluator/atom_factors.h"
#include "model/orbital_volume.h"

// The fast form of the accumulation: the same roundings at every grid point,
// in the same order (atoms in order, primitives k = 1..3, for each the s
// update before the p update), but swept row by row along x in vectors, and
// with the runs skipped where a factor is exactly zero.
namespace gridorb::evaluator {

// A row of psi padded from 51 to 52 values, so that vectors of four cover it.
inline constexpr int PADDED_ROW = 52;

// [begin, end) of plane indices outside which a factor table is exactly 0.
struct IndexRange {
    std::int32_t begin = 0;
    std::int32_t end = 0;
    bool contains(int i) const { return i >= begin && i < end; }
    bool empty() const { return begin >= end; }
};

// One primitive of one atom, laid out for the kernel. The x tables are
// widened to double and zero-padded to PADDED_ROW; y and z stay float.
struct KernelPrimitive {
    alignas(32) std::array<double, PADDED_ROW> sx{};
    alignas(32) std::array<double, PADDED_ROW> px{};
    alignas(32) std::array<double, PADDED_ROW> gx{};
    std::array<float, POINTS_PER_AXIS> sy{}, sz{}, py{}, pz{}, gy{}, gz{};
    // Where the s term and the p term can be other than +-0: outside them
    // the term is an exact zero, which leaves psi as it is (up to the sign
    // of a zero psi, which no output shows).
    IndexRange sX, sY, sZ;
    IndexRange pX, pY, pZ;
    // The x ranges as whole vectors of four: s alone, p alone, both.
    IndexRange sXVectors, pXVectors, spX;
};

struct KernelAtom {
    bool hasP = false;
    std::array<KernelPrimitive, 3> primitive{};
};

// Lays out one atom's factors. An atom with a non-finite factor anywhere
// gets full ranges: 0*inf and NaN must then be formed as written, so none of
// its terms is skipped.
KernelAtom prepareKernelAtom(const AtomFactors& factors);

// Which code runs the sweeps: the best that the processor offers (AVX2
// where it has it), or the baseline x86-64 one. Both give the same bits;
// the choice exists so that tests can hold one against the other.
enum class KernelPath { Best, Baseline };

// Fills z-planes [izBegin, izEnd) of psi (all 51 x 51 points of each) with
// the sum over `atoms`, starting from +0 at every point. Each plane depends
// on nothing but the atoms, so disjoint blocks may run on different threads.
void evaluatePlanes(std::span<const KernelAtom> atoms, int izBegin, int izEnd, OrbitalVolume& psi,
                    KernelPath path = KernelPath::Best);

}  // namespace gridorb::evaluator
