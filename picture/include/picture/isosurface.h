#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "picture/volume.h"

// Triangle meshes of the level sets of a volume.
namespace picture {

struct Mesh {
    std::vector<std::array<float, 3>> positions;  // Å
    std::vector<std::array<float, 3>> normals;    // unit, pointing out of the lobe
    std::vector<std::array<std::uint32_t, 3>> triangles;
};

// The surface value = level (level may be negative: the negative lobe at
// -L). Vertices are shared between neighbouring cells; normals come from the
// field's gradient and point away from the lobe, i.e. towards smaller |value|.
Mesh extractIsosurface(const Volume& volume, float level);

}  // namespace picture
