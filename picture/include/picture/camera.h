#pragma once

#include <array>

#include "picture/molecule.h"
#include "picture/volume.h"

// The view: a rotation of the scene about its centre, a zoom and a pan.
namespace picture {

using Matrix3 = std::array<std::array<double, 3>, 3>;  // row-major

struct Camera {
    Matrix3 rotation{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};  // scene to view
    std::array<double, 3> centre{};                       // Å, scene point at the picture's centre
    double viewHeight = 10.0;                             // Å shown across the picture's height
    std::array<double, 2> pan{};                          // Å, in view x (right) and y (up)
};

enum class ViewAxis { Auto, X, Y, Z };

// Looking along `axis` (Auto: the molecule's smallest principal axis, so a
// planar molecule is seen face-on), centred on the molecule, which fills
// about 80% of a picture of the given aspect (width / height). With
// level > 0 the lobes at +-level (the grid points where |value| >= level)
// are fitted in too, so that they are not cut off. Without atoms, the box.
Camera defaultCamera(const Molecule& molecule, const Volume& volume, ViewAxis axis, double aspect, double level = 0.0);

// Arcball: a drag from (x0, y0) to (x1, y1), in pixels of a width x height
// picture, turns the scene as if the cursor had rolled a ball under it.
void rotateByDrag(Camera& camera, double x0, double y0, double x1, double y1, int width, int height);

// factor > 1 brings the scene closer.
void zoom(Camera& camera, double factor);

// Moves the scene by (dx, dy) pixels of a picture `height` pixels high.
void panByPixels(Camera& camera, double dx, double dy, int height);

}  // namespace picture
