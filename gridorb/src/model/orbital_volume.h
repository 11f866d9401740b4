#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <limits>

#include "model/capacities.h"

namespace gridorb {

// 51 x 51 x 51 single-precision values; point (ix, iy, iz), each 0-based
// here, lies at ix + 51*iy + 2601*iz: ix fastest, the point order of the
// volume file. Default-initialisation leaves the values unset, so that a run
// can place the volume over memory it has used before; value-initialise it
// (`OrbitalVolume{}`, `std::make_unique<OrbitalVolume>()`) for zeros.
struct OrbitalVolume {
    std::array<float, GRID_POINTS> values;

    static constexpr std::size_t index(int ix, int iy, int iz) {
        return static_cast<std::size_t>(ix) + POINTS_PER_AXIS * (static_cast<std::size_t>(iy) + POINTS_PER_AXIS * static_cast<std::size_t>(iz));
    }
    float& at(int ix, int iy, int iz) { return values[index(ix, iy, iz)]; }
    float at(int ix, int iy, int iz) const { return values[index(ix, iy, iz)]; }
};

// Rows of the grid: row r = iy + 51*iz holds the 51 points (0..50, iy, iz).
inline constexpr int GRID_ROWS = POINTS_PER_AXIS * POINTS_PER_AXIS;

// The rows of a volume that the volume file can show, packed: row r has its
// 51 values at values[offset[r]] on, or none (NO_ROW: every value there is
// certain to be written as 0). values[0 .. count) are set, in whatever order
// the rows were summed. Left unset by default-initialisation, like
// OrbitalVolume, so that a run can place it over memory it has used before.
struct PackedVolume {
    static constexpr std::uint32_t NO_ROW = 0xffffffffu;
    std::array<std::uint32_t, GRID_ROWS> offset;
    std::array<float, GRID_POINTS> values;
    std::uint32_t count;
};

// The smallest and largest value of a volume. A NaN is never taken: with no
// value a number, the range is +inf .. -inf.
struct ValueRange {
    float minimum = std::numeric_limits<float>::infinity();
    float maximum = -std::numeric_limits<float>::infinity();
};

}  // namespace gridorb
