#pragma once

#include <cstdint>

#include "evaluator/kernel_layout.h"

// Which rows of a z-plane can show in the volume file. Most of the grid lies
// where the orbital is far below 1/256 of its peak, and a value there scales
// to 0 in every block whatever its last bits: such rows need not be summed.
// The bound of a row is the sum over the atoms' primitives of the largest
// magnitude each term takes along the row, from the same float tables the
// sweep reads, widened for every rounding of the sweep and of the bound.
namespace gridorb::evaluator {

// Every row of a plane (bit iy for row iy).
inline constexpr std::uint64_t ALL_ROWS = (std::uint64_t{1} << POINTS_PER_AXIS) - 1;

struct PlaneRows {
    std::uint64_t live = ALL_ROWS;  // bit iy: row iy may hold a value whose |v| * 256 reaches the floor
    float deadPeak = 0.0f;          // the largest bound of a row left out; no value there reaches it
};

// The rows of plane iz whose bound times 256 is below `peakFloor` (a value no
// greater than the normaliser) are left out. A row whose bound is not a
// number or infinite (an atom with a non-finite factor) always stays.
PlaneRows boundPlaneRows(const KernelAtom* atoms, int atomCount, int iz, float peakFloor);

// The row of plane iz with the largest bound (the middle one if no bound is
// a number above 0): where the plane's largest values are likely to lie.
int strongestRow(const KernelAtom* atoms, int atomCount, int iz);

}  // namespace gridorb::evaluator
