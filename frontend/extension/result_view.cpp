#include "result_view.h"

#include <algorithm>
#include <cmath>
#include <stdexcept>

#include "picture/isosurface.h"
#include "picture/molecule.h"
#include "picture/result_files.h"

namespace gridorbview {

ResultView loadResult(const std::string& volumePath, const std::string& coordinatePath) {
    ResultView view;
    // File units keep the slices exact integers; the window converts its
    // level from atomic units with the run's peak.
    view.volume = picture::readVolumeFile(volumePath);
    view.scene.molecule = picture::readCoordinateFile(coordinatePath);
    view.scene.bonds = picture::findBonds(view.scene.molecule);
    for (float value : view.volume.values) {
        view.largest = std::max(view.largest, std::fabs(value));
    }
    view.camera = picture::defaultCamera(view.scene.molecule, view.volume, picture::ViewAxis::Auto, 4.0 / 3.0);
    return view;
}

void setLevel(ResultView& view, float level) {
    view.level = level;
    view.scene.positive = picture::extractIsosurface(view.volume, level);
    view.scene.negative = picture::extractIsosurface(view.volume, -level);
}

void standardView(ResultView& view, picture::ViewAxis axis, double aspect) {
    view.camera = picture::defaultCamera(view.scene.molecule, view.volume, axis, aspect);
    const auto& r = view.camera.rotation;
    const auto& c = view.camera.centre;
    double halfHeight = 0;  // Å the lobes need above and below the centre
    for (const picture::Mesh* mesh : {&view.scene.positive, &view.scene.negative}) {
        for (const auto& p : mesh->positions) {
            const double d[3] = {p[0] - c[0], p[1] - c[1], p[2] - c[2]};
            const double x = r[0][0] * d[0] + r[0][1] * d[1] + r[0][2] * d[2];
            const double y = r[1][0] * d[0] + r[1][1] * d[1] + r[1][2] * d[2];
            halfHeight = std::max({halfHeight, std::fabs(y), std::fabs(x) / aspect});
        }
    }
    view.camera.viewHeight = std::max(view.camera.viewHeight, 2 * halfHeight / 0.85);
}

std::vector<std::vector<int>> sliceRows(const picture::Volume& volume, const std::string& plane, int index) {
    // Normal, horizontal and vertical axis of each slice.
    int normal = 0, across = 0, up = 0;
    if (plane == "xy") {
        normal = 2, across = 0, up = 1;
    } else if (plane == "xz") {
        normal = 1, across = 0, up = 2;
    } else if (plane == "yz") {
        normal = 0, across = 1, up = 2;
    } else {
        throw std::out_of_range("unknown plane \"" + plane + "\": expected xy, xz or yz");
    }
    const auto& n = volume.dimensions;
    if (index < 0 || index >= n[normal]) {
        throw std::out_of_range("plane " + std::to_string(index) + " is outside 0 to " + std::to_string(n[normal] - 1));
    }
    std::vector<std::vector<int>> rows(static_cast<std::size_t>(n[up]));
    for (int row = 0; row < n[up]; ++row) {
        auto& values = rows[static_cast<std::size_t>(row)];
        values.reserve(static_cast<std::size_t>(n[across]));
        for (int column = 0; column < n[across]; ++column) {
            std::array<int, 3> point{};
            point[normal] = index;
            point[across] = column;
            point[up] = n[up] - 1 - row;
            values.push_back(static_cast<int>(std::lround(volume.at(point[0], point[1], point[2]))));
        }
    }
    return rows;
}

}  // namespace gridorbview
