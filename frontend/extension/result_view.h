#pragma once

#include <string>
#include <vector>

#include "picture/camera.h"
#include "picture/renderer.h"
#include "picture/volume.h"

// One result of gridorb as the window shows it: the field in file units
// (POS - NEG, -256..256), the molecule, the two lobes at the chosen level and
// the camera. No Tcl here; the commands in extension.cpp drive it.
namespace gridorbview {

struct ResultView {
    picture::Volume volume;
    picture::Scene scene;
    picture::Camera camera;
    float level = 0;      // file units; 0 until a level is set
    float largest = 0;    // largest |value| on the grid, file units
};

// Reads VELD.VTK and TARNEL.COR (picture::ReadError names the file).
ResultView loadResult(const std::string& volumePath, const std::string& coordinatePath);

// The lobes value = +level and value = -level.
void setLevel(ResultView& view, float level);

// The library's standard view along `axis`, widened where the lobes reach
// beyond the molecule (a small molecule's orbital often does), so that
// atoms and lobes fill at most about 85% of a picture of the given aspect.
void standardView(ResultView& view, picture::ViewAxis axis, double aspect);

// The signed values of one central-plane style slice ("xy", "xz" or "yz" at
// plane `index` along the normal), as rows in display order: the first row is
// the top of the picture (largest vertical coordinate), left to right along
// the horizontal axis. Throws std::out_of_range for a bad plane or name.
std::vector<std::vector<int>> sliceRows(const picture::Volume& volume, const std::string& plane, int index);

}  // namespace gridorbview
