#include "result_view.h"

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
