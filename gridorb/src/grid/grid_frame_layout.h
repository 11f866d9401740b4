#pragma once

#include <array>
#include <cstdint>

#include "model/grid_frame.h"
#include "model/molecule_record.h"

namespace gridorb::grid {

inline constexpr float GRID_MARGIN = 3.0f;       // Å beyond the outermost atom
inline constexpr float INTERVAL_COUNT = 50.0f;
inline constexpr float EXTENT_LOW_SEED = 100.0f;
inline constexpr float EXTENT_HIGH_SEED = -100.0f;

struct AtomExtents {
    std::array<float, 3> lowest{};
    std::array<float, 3> highest{};
};

// Running minimum and maximum per axis, seeded with 100.0 and -100.0.
AtomExtents computeAtomExtents(const MoleculeRecord& molecule);

// Box, conversion of the atoms to Bohr in place, spanDivisor, origin, spacing.
GridFrame layOutGridFrame(MoleculeRecord& molecule);

// planeX/Y/Z: plane 1 = origin, each next plane = previous + spacing, stored.
void layOutPlanes(GridFrame& frame);

}  // namespace gridorb::grid
