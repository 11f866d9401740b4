#include "grid_choice.h"

#include "grid/grid_frame_layout.h"

namespace gridorb::exporter {
namespace {

ExportGrid coreGrid(MoleculeRecord& molecule) {
    GridFrame frame = grid::layOutGridFrame(molecule);
    grid::layOutPlanes(frame);
    ExportGrid g;
    g.points = POINTS_PER_AXIS;
    g.lowCorner = frame.lowCorner;
    g.highCorner = frame.highCorner;
    g.origin = frame.origin;
    g.spacing = frame.spacing;
    g.planes[0].assign(frame.planeX.begin(), frame.planeX.end());
    g.planes[1].assign(frame.planeY.begin(), frame.planeY.end());
    g.planes[2].assign(frame.planeZ.begin(), frame.planeZ.end());
    return g;
}

}  // namespace

ExportGrid chooseGrid(MoleculeRecord& molecule, int points, float margin) {
    if (points == POINTS_PER_AXIS && margin == grid::GRID_MARGIN) return coreGrid(molecule);

    // layOutGridFrame and layOutPlanes with another margin and plane count:
    // the same operations on the same stored floats.
    ExportGrid g;
    g.points = points;
    const grid::AtomExtents extents = grid::computeAtomExtents(molecule);
    for (int axis = 0; axis < 3; ++axis) {
        g.lowCorner[axis] = extents.lowest[axis] - margin;
        g.highCorner[axis] = extents.highest[axis] + margin;
    }
    const float toBohr = 1.0f / BOHR_LENGTH;
    for (int atom = 0; atom < molecule.atomCount && atom < MAX_ATOMS; ++atom) {
        for (int axis = 0; axis < 3; ++axis) molecule.coordinates[atom][axis] *= toBohr;
    }
    const float spanDivisor = BOHR_LENGTH * static_cast<float>(points - 1);
    for (int axis = 0; axis < 3; ++axis) {
        g.origin[axis] = g.lowCorner[axis] / BOHR_LENGTH;
        const double span = static_cast<double>(g.highCorner[axis]) - static_cast<double>(g.lowCorner[axis]);
        g.spacing[axis] = static_cast<float>(span / spanDivisor);
        std::vector<float>& plane = g.planes[axis];
        plane.resize(static_cast<std::size_t>(points));
        plane[0] = g.origin[axis];
        for (int j = 1; j < points; ++j) plane[j] = plane[j - 1] + g.spacing[axis];
    }
    return g;
}

}  // namespace gridorb::exporter
