#pragma once

#include <cstdint>
#include <vector>

#include "picture/camera.h"
#include "picture/isosurface.h"
#include "picture/molecule.h"

// A software z-buffer renderer: the same pixels on every machine, with or
// without a display.
namespace picture {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> rgb;  // width * height * 3, rows top to bottom
};

struct Scene {
    Mesh positive;  // drawn red
    Mesh negative;  // drawn blue
    Molecule molecule;
    std::vector<Bond> bonds;
};

struct RenderOptions {
    int width = 800;
    int height = 600;
    int supersample = 2;      // samples per pixel along each axis (1: none)
    bool translucent = false; // lobes see-through, atoms visible inside them
    std::array<std::uint8_t, 3> background{255, 255, 255};
};

// The meshes are taken as closed and wound to face out, as extractIsosurface
// makes them: triangles facing away from the viewer are not drawn. The view
// is orthographic; each stick is drawn half in each of its atoms' colours.
Image render(const Scene& scene, const Camera& camera, const RenderOptions& options);

}  // namespace picture
