#include "evaluator/atom_factors.h"

#include <cmath>
#include <cstddef>

namespace gridorb::evaluator {

float guardedExp(float x) { return x >= EXPONENT_CUT_OFF ? static_cast<float>(std::exp(static_cast<double>(x))) : 0.0f; }

MoleculeAtoms gatherAtomInputs(const MoleculeRecord& molecule, const CoefficientMatrix& coefficients,
                               std::int32_t orbitalNumber) {
    MoleculeAtoms result;
    result.count = molecule.atomCount < 0 ? 0 : (molecule.atomCount > MAX_ATOMS ? MAX_ATOMS : molecule.atomCount);
    const bool validOrbital = orbitalNumber >= 1 && orbitalNumber <= MAX_ORBITALS;
    auto coefficient = [&](std::int32_t row) {
        return validOrbital && row >= 1 && row <= MAX_ORBITALS ? coefficients.at(row, orbitalNumber) : 0.0f;
    };
    std::int32_t b = 1;
    for (std::int32_t i = 0; i < result.count; ++i) {
        AtomInput& atom = result.atoms[i];
        atom.atomicNumber = molecule.atomicNumbers[i];
        atom.position = molecule.coordinates[i];
        atom.zetaS = molecule.sExponents[i];
        atom.zetaP = molecule.pExponents[i];
        const std::int32_t functions = basis::countedFunctions(atom.atomicNumber);
        for (std::int32_t f = 0; f < functions; ++f) atom.coefficients[f] = coefficient(b + f);
        b += functions;
    }
    return result;
}

AtomFactors computeAtomFactors(const AtomInput& atom, const GridFrame& frame, const basis::BasisWeights& weights) {
    AtomFactors factors;
    factors.shell = basis::shellOf(atom.atomicNumber);
    const int shell = basis::shellIndex(factors.shell);
    if (shell < 0) return factors;
    const bool sp = factors.shell != basis::Shell::OneS;

    // Distances to the planes and their squares, each stored.
    std::array<float, POINTS_PER_AXIS> d[3], d2[3];
    const std::array<float, POINTS_PER_AXIS>* planes[3] = {&frame.planeX, &frame.planeY, &frame.planeZ};
    for (int axis = 0; axis < 3; ++axis) {
        for (int i = 0; i < POINTS_PER_AXIS; ++i) {
            d[axis][i] = (*planes[axis])[i] - atom.position[axis];
            d2[axis][i] = d[axis][i] * d[axis][i];
        }
    }

    const basis::AtomNormalisation norm = basis::atomNormalisation(atom.zetaS, atom.zetaP);
    const std::array<float, 3> es = basis::scaledExponents(factors.shell, atom.zetaS);
    const std::array<float, 3> ep = basis::scaledExponents(factors.shell, atom.zetaP);
    for (int k = 0; k < 3; ++k) {
        PrimitiveFactors& f = factors.primitive[k];
        // Ns*c_b is exact in double; the product with the weight is rounded once.
        const float cs = static_cast<float>(static_cast<double>(norm.s) * atom.coefficients[0] * weights.s[shell][k]);
        for (int i = 0; i < POINTS_PER_AXIS; ++i) {
            f.sx[i] = guardedExp(d2[0][i] * es[k]) * cs;
            f.sy[i] = guardedExp(d2[1][i] * es[k]);
            f.sz[i] = guardedExp(d2[2][i] * es[k]);
        }
        if (!sp) continue;
        const float cp = norm.p * weights.p[shell - 1][k];
        const float c[3] = {cp * atom.coefficients[1], cp * atom.coefficients[2], cp * atom.coefficients[3]};
        for (int i = 0; i < POINTS_PER_AXIS; ++i) {
            f.px[i] = c[0] * d[0][i];
            f.py[i] = c[1] * d[1][i];
            f.pz[i] = c[2] * d[2][i];
            f.gx[i] = guardedExp(d2[0][i] * ep[k]);
            f.gy[i] = guardedExp(d2[1][i] * ep[k]);
            f.gz[i] = guardedExp(d2[2][i] * ep[k]);
        }
    }
    return factors;
}

}  // namespace gridorb::evaluator
