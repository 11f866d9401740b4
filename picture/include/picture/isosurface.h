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
//
// Marching cubes, each cube's polygons traced face by face: a face with two
// diagonal corners inside is split by the mean of its four corners, which
// both cubes sharing the face see alike, so the surface has no holes or
// cracks. Where a lobe reaches a face of the box it is closed: the field is
// taken as 0 one grid step beyond each face, so the lobe gets a lid within
// that step outside the box instead of an opening into its inside.
Mesh extractIsosurface(const Volume& volume, float level);

// The level a picture starts at, from the peak of the run (atomic units):
// 0.05, or a quarter of the peak where 0.05 is more than half of it. With
// peak <= 0 (a volume in file units, 256 at the peak) a quarter of 256.
float defaultLevel(double peak);

}  // namespace picture
