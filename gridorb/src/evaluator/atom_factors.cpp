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
    std::array<PrimitiveTables, 3> tables;
    for (int k = 0; k < 3; ++k) {
        PrimitiveFactors& f = factors.primitive[k];
        tables[k] = {f.sx, f.sy, f.sz, f.px, f.py, f.pz, f.gx, f.gy, f.gz};
    }
    fillAtomFactors(atom, factors.shell, {frame.planeX, frame.planeY, frame.planeZ}, weights, tables);
    return factors;
}

void fillAtomFactors(const AtomInput& atom, basis::Shell shell, const std::array<std::span<const float>, 3>& planes,
                     const basis::BasisWeights& weights, const std::array<PrimitiveTables, 3>& tables) {
    const int s = basis::shellIndex(shell);
    if (s < 0) return;
    const bool sp = shell != basis::Shell::OneS;
    const basis::AtomNormalisation norm = basis::atomNormalisation(atom.zetaS, atom.zetaP);
    const std::array<float, 3> es = basis::scaledExponents(shell, atom.zetaS);
    const std::array<float, 3> ep = basis::scaledExponents(shell, atom.zetaP);
    for (int k = 0; k < 3; ++k) {
        const PrimitiveTables& f = tables[k];
        // Ns*c_b is exact in double; the product with the weight is rounded once.
        const float cs = static_cast<float>(static_cast<double>(norm.s) * atom.coefficients[0] * weights.s[s][k]);
        const float cpk = sp ? norm.p * weights.p[s - 1][k] : 0.0f;
        const std::span<float> sTables[3] = {f.sx, f.sy, f.sz};
        const std::span<float> pTables[3] = {f.px, f.py, f.pz};
        const std::span<float> gTables[3] = {f.gx, f.gy, f.gz};
        for (int axis = 0; axis < 3; ++axis) {
            const float c = cpk * atom.coefficients[1 + axis];
            for (std::size_t i = 0; i < planes[axis].size(); ++i) {
                // The distance to the plane and its square, each rounded to float.
                const float d = planes[axis][i] - atom.position[axis];
                const float d2 = d * d;
                const float g = guardedExp(d2 * es[k]);
                sTables[axis][i] = axis == 0 ? g * cs : g;
                if (!sp) continue;
                pTables[axis][i] = c * d;
                gTables[axis][i] = guardedExp(d2 * ep[k]);
            }
        }
    }
}

}  // namespace gridorb::evaluator
