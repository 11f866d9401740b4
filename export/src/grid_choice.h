#pragma once

#include <array>
#include <vector>

#include "model/molecule_record.h"

// The grid of an export: gridorb's box (the atoms' extents plus a margin on
// every side) cut by `points` planes per axis, laid out by gridorb's own
// formulas. With 51 points and a 3 Å margin it is gridorb's frame itself.
namespace gridorb::exporter {

struct ExportGrid {
    int points = 0;                      // per axis
    std::array<float, 3> lowCorner{};    // Å
    std::array<float, 3> highCorner{};   // Å
    std::array<float, 3> origin{};       // Bohr, plane 0 of each axis
    std::array<float, 3> spacing{};      // Bohr, per axis
    std::array<std::vector<float>, 3> planes;  // Bohr, accumulated plane by plane
};

// Converts the molecule's coordinates from Å to Bohr in place, as gridorb
// does, and lays out the grid. points == 51 and margin == 3 give gridorb's
// layOutGridFrame and layOutPlanes; any other grid the same formulas.
ExportGrid chooseGrid(MoleculeRecord& molecule, int points, float margin);

}  // namespace gridorb::exporter
