#pragma once

#include <cstdint>

#include "evaluator/kernel_layout.h"
#include "model/orbital_volume.h"

// The innermost work of the evaluation: one atom's terms added to the grid
// points of a run of z-planes, swept along x four points at a time and with
// the runs skipped where a factor is exactly zero. Every point gets the same
// roundings, in the same order, as the plain formula: primitives k = 1..3,
// for each the s update before the p update.
namespace gridorb::evaluator {

// Where the rows of the grid are: row r = iy + 51 * iz at values + offset[r],
// or not summed where offset[r] is PackedVolume::NO_ROW.
struct RowPlaces {
    float* values;
    const std::uint32_t* offset;
};

// Adds `atom` to the rows of z-planes [izBegin, izEnd). Planes depend on
// nothing but the atoms, so disjoint runs of planes may be swept on
// different threads.
void sweepAtom(const KernelAtom& atom, int izBegin, int izEnd, RowPlaces rows);

}  // namespace gridorb::evaluator
