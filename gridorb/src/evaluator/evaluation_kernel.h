#pragma once

#include <span>

#include "evaluator/kernel_layout.h"
#include "model/orbital_volume.h"

// The fast form of the accumulation: the same roundings at every grid point,
// in the same order (atoms in order, primitives k = 1..3, for each the s
// update before the p update), but swept row by row along x in vectors, and
// with the runs skipped where a factor is exactly zero.
namespace gridorb::evaluator {

// Which code runs the sweeps: the best that the processor offers (AVX2
// where it has it), or the baseline x86-64 one. Both give the same bits;
// the choice exists so that tests can hold one against the other.
enum class KernelPath { Best, Baseline };

// Fills z-planes [izBegin, izEnd) of psi (all 51 x 51 points of each) with
// the sum over `atoms`, starting from +0 at every point. Each plane depends
// on nothing but the atoms, so disjoint blocks may run on different threads.
void evaluatePlanes(std::span<const KernelAtom> atoms, int izBegin, int izEnd, OrbitalVolume& psi,
                    KernelPath path = KernelPath::Best);

}  // namespace gridorb::evaluator
