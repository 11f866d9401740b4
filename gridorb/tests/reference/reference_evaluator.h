#pragma once

#include <array>
#include <cstdint>

#include "model/capacities.h"
#include "model/molecule_record.h"

// A second, deliberately plain implementation of the numerics, written
// straight from the definition of every formula and built without
// optimisation, so that an optimiser fault cannot hide in both it and the
// program. It shares no code with the program.
namespace gridorb::reference {

using Planes = std::array<std::array<float, POINTS_PER_AXIS>, 3>;  // [axis][plane]

// p = b * a, n x n column-major, k ascending from the k = 1 term.
void multiplySquare(const double* a, const double* b, double* p, int n);

// Box around the atoms (Å, 3.0 margin, seeds +-100), atoms converted to
// Bohr in place, planes accumulated from origin and spacing.
Planes layOutPlanes(MoleculeRecord& molecule);

// The orbital on the grid, psi[ix + 51*iy + 2601*iz], through the loop
// nest atom, iz, iy, k, ix. `column` holds the coefficients of rows
// 1..MAX_ORBITALS of the chosen orbital; coordinates are in Bohr. A 1s atom
// takes one row, every other atom four (Z > 18 takes them and adds nothing).
void evaluate(const MoleculeRecord& molecule, const float* column, const Planes& planes, float* psi);

}  // namespace gridorb::reference
