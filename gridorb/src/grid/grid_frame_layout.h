#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "model/grid_frame.h"
#include "model/molecule_record.h"

namespace gridorb::grid {

inline constexpr float GRID_MARGIN = 3.0f;       // Å beyond the outermost atom
inline constexpr float INTERVAL_COUNT = 50.0f;

// Box (per axis the atoms' running minimum and maximum, seeded with 100.0
// and -100.0, widened by the margin), conversion of the atoms to Bohr in
// place, spanDivisor, origin, spacing.
// gridorb's own frame has a 3 Å margin and 50 intervals per axis; the planes
// of another count (gridorb-export's grids) are laid out by accumulatePlanes.
GridFrame layOutGridFrame(MoleculeRecord& molecule, float margin = GRID_MARGIN, float intervalCount = INTERVAL_COUNT);

// planeX/Y/Z: plane 1 = origin, each next plane = previous + spacing, stored.
void layOutPlanes(GridFrame& frame);

// One axis of planes of any count, as layOutPlanes lays out each axis.
void accumulatePlanes(float origin, float spacing, std::span<float> planes);

}  // namespace gridorb::grid
