#pragma once

#include <array>
#include <cstdint>
#include <span>

#include "basis/minimal_basis.h"
#include "model/capacities.h"
#include "model/coefficient_matrix.h"
#include "model/grid_frame.h"
#include "model/molecule_record.h"

// The per-atom, per-axis factors into which every Gaussian primitive of an
// atom splits on the grid: 51 values per axis and primitive, so that the
// exponentials grow with the planes, not with the grid points.
namespace gridorb::evaluator {

// Below this argument the exponential is taken as exactly 0.
inline constexpr float EXPONENT_CUT_OFF = -19.0f;

// exp(x) in double, rounded to float, for x >= -19; 0 otherwise (also NaN).
float guardedExp(float x);

// What the factors of one atom are made from. Coefficients are c_b .. c_b+3
// of the chosen orbital, b being the atom's first basis function (a 1s atom
// uses only c_b).
struct AtomInput {
    std::int32_t atomicNumber = 0;
    std::array<float, 3> position{};  // Bohr
    float zetaS = 0.0f;
    float zetaP = 0.0f;
    std::array<float, 4> coefficients{};
};

// The atoms of a molecule with the rows of their coefficients assigned.
struct MoleculeAtoms {
    std::int32_t count = 0;
    std::array<AtomInput, MAX_ATOMS> atoms{};
};

// Walks the atoms in order with the running basis index b = 1, advancing by
// 1 after a 1s atom and by 4 after any other (an atom beyond Z = 18 too, as
// the basis count counts it, so later atoms keep their own rows). Rows past
// the matrix, or an orbital number outside 1..MAX_ORBITALS, read as 0.
MoleculeAtoms gatherAtomInputs(const MoleculeRecord& molecule, const CoefficientMatrix& coefficients,
                               std::int32_t orbitalNumber);

// Factors of primitive k of one atom, index i = plane 0..50:
//   sx(i) = g(dx2(i)*es(k)) * Cs(k), sy(i) = g(dy2(i)*es(k)), sz alike,
//   px(i) = CXk * dx(i), py, pz alike,
//   gx(i) = g(dx2(i)*ep(k)), gy, gz alike  (p tables zero for a 1s atom)
// where Cs(k) = (Ns*c_b)*ws(k), CXk = (Np*wp(k))*c_(b+1) stored in between.
struct PrimitiveFactors {
    std::array<float, POINTS_PER_AXIS> sx{}, sy{}, sz{};
    std::array<float, POINTS_PER_AXIS> px{}, py{}, pz{};
    std::array<float, POINTS_PER_AXIS> gx{}, gy{}, gz{};
};

struct AtomFactors {
    basis::Shell shell = basis::Shell::None;
    std::array<PrimitiveFactors, 3> primitive{};
};

// The factors of one atom on the laid-out planes of `frame`.
AtomFactors computeAtomFactors(const AtomInput& atom, const GridFrame& frame, const basis::BasisWeights& weights);

// The same tables on planes of any count (gridorb-export's finer grids):
// planes[axis] holds the n plane coordinates in Bohr, and each table of
// tables[k] n values. The p tables of a 1s atom are left as they are.
struct PrimitiveTables {
    std::span<float> sx, sy, sz, px, py, pz, gx, gy, gz;
};
void fillAtomFactors(const AtomInput& atom, basis::Shell shell, const std::array<std::span<const float>, 3>& planes,
                     const basis::BasisWeights& weights, const std::array<PrimitiveTables, 3>& tables);

}  // namespace gridorb::evaluator
