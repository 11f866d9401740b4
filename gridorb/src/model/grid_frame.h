#pragma once

#include <array>

#include "model/capacities.h"

namespace gridorb {

// The box around the molecule and its 51 planes per axis. Corners are in Å
// (the volume file states its origin in Å); origin, spacing and planes are
// in Bohr. Axis index 0..2 = x, y, z; plane index 0..50 is plane 1..51.
struct GridFrame {
    std::array<float, 3> lowCorner{};
    std::array<float, 3> highCorner{};
    float spanDivisor = 0.0f;
    std::array<float, 3> origin{};
    std::array<float, 3> spacing{};
    std::array<float, POINTS_PER_AXIS> planeX{};
    std::array<float, POINTS_PER_AXIS> planeY{};
    std::array<float, POINTS_PER_AXIS> planeZ{};
};

}  // namespace gridorb
