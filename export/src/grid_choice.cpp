#include "grid_choice.h"

#include "grid/grid_frame_layout.h"

namespace gridorb::exporter {

ExportGrid chooseGrid(MoleculeRecord& molecule, int points, float margin) {
    const GridFrame frame = grid::layOutGridFrame(molecule, margin, static_cast<float>(points - 1));
    ExportGrid g;
    g.points = points;
    g.lowCorner = frame.lowCorner;
    g.highCorner = frame.highCorner;
    g.origin = frame.origin;
    g.spacing = frame.spacing;
    for (int axis = 0; axis < 3; ++axis) {
        g.planes[axis].resize(static_cast<std::size_t>(points));
        grid::accumulatePlanes(frame.origin[axis], frame.spacing[axis], g.planes[axis]);
    }
    return g;
}

}  // namespace gridorb::exporter
