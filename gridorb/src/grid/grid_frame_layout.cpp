#include "grid/grid_frame_layout.h"

namespace gridorb::grid {

// Every formula is evaluated in double precision from the stored floats and
// rounded once when stored; a single operation on two floats gives the same
// bits in float arithmetic, so only multi-operation formulas spell out the
// double.

GridFrame layOutGridFrame(MoleculeRecord& molecule, float margin, float intervalCount) {
    GridFrame frame;
    for (int axis = 0; axis < 3; ++axis) {
        // Seeded, not taken from the first atom: an axis on which every atom
        // lies beyond +-100 keeps its seed (and no atoms keeps both).
        float lowest = 100.0f;
        float highest = -100.0f;
        for (int atom = 0; atom < molecule.atomCount && atom < MAX_ATOMS; ++atom) {
            float v = molecule.coordinates[atom][axis];
            if (v < lowest) lowest = v;
            if (v > highest) highest = v;
        }
        frame.lowCorner[axis] = lowest - margin;
        frame.highCorner[axis] = highest + margin;
    }

    // Atoms to Bohr by the stored reciprocal, a multiplication, while the
    // origin below divides by the Bohr length itself: the two differ in the
    // last bit for some values, and both are what the outputs hold.
    const float toBohr = 1.0f / BOHR_LENGTH;
    for (int atom = 0; atom < molecule.atomCount && atom < MAX_ATOMS; ++atom) {
        for (int axis = 0; axis < 3; ++axis) molecule.coordinates[atom][axis] *= toBohr;
    }

    frame.spanDivisor = BOHR_LENGTH * intervalCount;
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
    for (int axis = 0; axis < 3; ++axis) accumulatePlanes(frame.origin[axis], frame.spacing[axis], *planes[axis]);
}

void accumulatePlanes(float origin, float spacing, std::span<float> planes) {
    // Accumulated plane by plane, each sum stored: the last plane carries the
    // rounding built up on the way.
    if (planes.empty()) return;
    planes[0] = origin;
    for (std::size_t j = 1; j < planes.size(); ++j) planes[j] = planes[j - 1] + spacing;
}

}  // namespace gridorb::grid
