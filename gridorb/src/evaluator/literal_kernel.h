#pragma once

#include "evaluator/atom_factors.h"
#include "model/orbital_volume.h"

namespace gridorb::evaluator {

// Adds one atom's contributions to psi in the plain loop nest
// iz, iy, primitive k, ix (ix innermost), each update rounded to float:
//   psi += (sy_k(iy)*sz_k(iz))*sx_k(ix)
//   psi += ((py_k(iy)+pz_k(iz))+px_k(ix))*gx_k(ix)*gy_k(iy)*gz_k(iz)  (sp only)
// Scalar and straightforward: the baseline the fast kernel is measured and
// checked against. An atom without a shell adds nothing.
void accumulateAtomLiteral(const AtomFactors& factors, OrbitalVolume& psi);

}  // namespace gridorb::evaluator
