#pragma once

#include <memory>

#include "basis/minimal_basis.h"
#include "evaluator/atom_factors.h"
#include "evaluator/volume_evaluation.h"
#include "grid/grid_frame_layout.h"
#include "model/coefficient_matrix.h"
#include "model/orbital_volume.h"

namespace gridorb::testsupport {

// A molecule taken through the run's own steps: frame (atoms to Bohr),
// planes, atom inputs for orbital 1, and the fast volume.
struct EvaluatedMolecule {
    MoleculeRecord molecule;
    CoefficientMatrix coefficients;
    GridFrame frame;
    evaluator::MoleculeAtoms atoms;
    OrbitalVolume psi;

    float at(int ix, int iy, int iz) const { return psi.at(ix - 1, iy - 1, iz - 1); }  // 1-based
};

inline std::unique_ptr<EvaluatedMolecule> evaluateMolecule(const MoleculeRecord& molecule,
                                                           const CoefficientMatrix& coefficients, int threads = 2) {
    auto e = std::make_unique<EvaluatedMolecule>();
    e->molecule = molecule;
    e->coefficients = coefficients;
    e->frame = grid::layOutGridFrame(e->molecule);
    grid::layOutPlanes(e->frame);
    e->atoms = evaluator::gatherAtomInputs(e->molecule, e->coefficients, 1);
    evaluator::evaluateVolume(e->atoms, e->frame, basis::prepareBasisWeights(), e->psi, threads);
    return e;
}

}  // namespace gridorb::testsupport
