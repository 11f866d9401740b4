#include "orbital_picture.h"

#include <algorithm>
#include <cmath>

#include "picture/isosurface.h"

namespace gridorb::exporter {

picture::Image renderOrbital(const ExportVolume& volume, const ExportGrid& grid, const MoleculeRecord& molecule,
                             const Options& options) {
    picture::Volume field;
    field.dimensions = {volume.points, volume.points, volume.points};
    for (int a = 0; a < 3; ++a) {
        field.origin[a] = grid.lowCorner[a];
        field.spacing[a] = static_cast<double>(grid.spacing[a]) * BOHR_LENGTH;
    }
    field.values = volume.values;

    picture::Scene scene;
    for (int i = 0; i < molecule.atomCount && i < MAX_ATOMS; ++i) {
        picture::Atom atom;
        atom.atomicNumber = molecule.atomicNumbers[i];
        for (int a = 0; a < 3; ++a) atom.position[a] = static_cast<double>(molecule.coordinates[i][a]) * BOHR_LENGTH;
        scene.molecule.atoms.push_back(atom);
    }
    scene.bonds = picture::findBonds(scene.molecule);

    double peak = 0;
    for (float v : volume.values) {
        if (std::isfinite(v)) peak = std::max(peak, static_cast<double>(std::fabs(v)));
    }
    // The front end's default level, from the picture library; none for an orbital that is 0 everywhere.
    const double level = options.isovalue ? *options.isovalue : (peak > 0 ? picture::defaultLevel(peak) : 0.0);
    // An orbital that is zero everywhere has no lobes to draw: only the atoms.
    if (level > 0) {
        scene.positive = picture::extractIsosurface(field, static_cast<float>(level));
        scene.negative = picture::extractIsosurface(field, static_cast<float>(-level));
    }

    picture::RenderOptions render;
    render.width = options.width;
    render.height = options.height;
    render.translucent = options.translucent;
    // The lobes are fitted in with the atoms: a diffuse orbital is not cut off.
    const picture::Camera camera = picture::defaultCamera(
        scene.molecule, field, options.view, static_cast<double>(options.width) / options.height, level > 0 ? level : 0.0);
    return picture::render(scene, camera, render);
}

}  // namespace gridorb::exporter
