#include "grid/grid_frame_layout.h"

namespace gridorb::grid {

// Every formula is evaluated in double precision from the stored floats and
// rounded once when stored; a single operation on two floats gives the same
// bits in float arithmetic, so only multi-operation formulas spell out the
// double.

AtomExtents computeAtomExtents(const MoleculeRecord& molecule) {
    AtomExtents extents;
    for (int axis = 0; axis < 3; ++axis) {
        // Seeded, not taken from the first atom: an axis on which every atom
        // lies beyond +-100 keeps its seed (and no atoms keeps both).
        float lowest = EXTENT_LOW_SEED;
        float highest = EXTENT_HIGH_SEED;
        for (int atom = 0; atom < molecule.atomCount && atom < MAX_ATOMS; ++atom) {
            float v = molecule.coordinates[atom][axis];
            if (v < lowest) lowest = v;
            if (v > highest) highest = v;
        }
        extents.lowest[axis] = lowest;
        extents.highest[axis] = highest;
    }
    return extents;
}

GridFrame layOutGridFrame(MoleculeRecord& molecule) {
    GridFrame frame;
    AtomExtents extents = computeAtomExtents(molecule);
    for (int axis = 0; axis < 3; ++axis) {
        frame.lowCorner[axis] = extents.lowest[axis] - GRID_MARGIN;
        frame.highCorner[axis] = extents.highest[axis] + GRID_MARGIN;
    }

    // Atoms to Bohr by the stored reciprocal, a multiplication, while the
    // origin below divides by the Bohr length itself: the two differ in the
    // last bit for some values, and both are what the outputs hold.
    const float toBohr = 1.0f / BOHR_LENGTH;
    for (int atom = 0; atom < molecule.atomCount && atom < MAX_ATOMS; ++atom) {
        for (int axis = 0; axis < 3; ++axis) molecule.coordinates[atom][axis] *= toBohr;
    }

    frame.spanDivisor = BOHR_LENGTH * INTERVAL_COUNT;
    for (int axis = 0; axis < 3; ++axis) {
        frame.origin[axis] = frame.lowCorner[axis] / BOHR_LENGTH;
        // The difference stays in double: it is not rounded before the division.
        double span = static_cast<double>(frame.highCorner[axis]) - static_cast<double>(frame.lowCorner[axis]);
        frame.spacing[axis] = static_cast<float>(span / frame.spanDivisor);
    }
    return frame;
}

void layOutPlanes(GridFrame& frame) {
    std::array<float, POINTS_PER_AXIS>* planes[3] = {&frame.planeX, &frame.planeY, &frame.planeZ};
    for (int axis = 0; axis < 3; ++axis) {
        std::array<float, POINTS_PER_AXIS>& plane = *planes[axis];
        // Accumulated plane by plane, each sum stored: the last plane carries
        // the rounding built up on the way.
        plane[0] = frame.origin[axis];
        for (int j = 1; j < POINTS_PER_AXIS; ++j) plane[j] = plane[j - 1] + frame.spacing[axis];
    }
}

}  // namespace gridorb::grid
