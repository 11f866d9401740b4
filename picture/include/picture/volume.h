#pragma once

#include <array>
#include <cstddef>
#include <vector>

// A scalar field on a regular grid with per-axis spacing, in Å. The values
// are stored with x fastest, then y, then z: the point order of a
// STRUCTURED_POINTS file and of gridorb's own volume.
namespace picture {

struct Volume {
    std::array<int, 3> dimensions{};      // points along x, y, z
    std::array<double, 3> origin{};       // Å, position of point (0, 0, 0)
    std::array<double, 3> spacing{};      // Å between neighbouring planes, per axis
    std::vector<float> values;            // dimensions[0] * dimensions[1] * dimensions[2]

    std::size_t index(int ix, int iy, int iz) const {
        return static_cast<std::size_t>(ix) +
               static_cast<std::size_t>(dimensions[0]) *
                   (static_cast<std::size_t>(iy) + static_cast<std::size_t>(dimensions[1]) * static_cast<std::size_t>(iz));
    }
    float at(int ix, int iy, int iz) const { return values[index(ix, iy, iz)]; }
    std::array<double, 3> position(int ix, int iy, int iz) const {
        return {origin[0] + ix * spacing[0], origin[1] + iy * spacing[1], origin[2] + iz * spacing[2]};
    }
};

}  // namespace picture
