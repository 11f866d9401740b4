#pragma once

#include "basis/minimal_basis.h"
#include "evaluator/atom_factors.h"
#include "model/grid_frame.h"
#include "model/orbital_volume.h"

// The orbital on the grid, without the console: psi = sum over the atoms of
// their basis functions weighted by their coefficients, on the laid-out
// planes of `frame`. Both forms give the same value at every point (a zero
// may differ in sign).
namespace gridorb::evaluator {

// Threads used when the caller does not say: the processor's, at most 8.
int defaultThreadCount();

// The fast form: factors per atom, then z-planes shared among `threadCount`
// threads (the result does not depend on their number).
void evaluateVolume(const MoleculeAtoms& atoms, const GridFrame& frame, const basis::BasisWeights& weights,
                    OrbitalVolume& psi, int threadCount = defaultThreadCount());

// The plain form: atom by atom through the literal loop nest, one thread.
void evaluateVolumeLiteral(const MoleculeAtoms& atoms, const GridFrame& frame, const basis::BasisWeights& weights,
                           OrbitalVolume& psi);

}  // namespace gridorb::evaluator
