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

// Adds `atom` to z-planes [izBegin, izEnd) of psi. Planes depend on nothing
// but the atoms, so disjoint runs of planes may be swept on different threads.
// With `liveRows` (a row mask per plane, indexed by iz), only the rows whose
// bit is set are touched.
void sweepAtom(const KernelAtom& atom, int izBegin, int izEnd, OrbitalVolume& psi,
               const std::uint64_t* liveRows = nullptr);

}  // namespace gridorb::evaluator
