#pragma once

#include <functional>

#include "basis/minimal_basis.h"
#include "evaluator/atom_factors.h"
#include "model/grid_frame.h"
#include "model/orbital_volume.h"

// The orbital on the whole grid, without the console: psi = the sum over the
// atoms, in order, of their basis functions weighted by their coefficients,
// on the laid-out planes of `frame`. The run's evaluation step
// (orbital_evaluator) calls it; the per-atom sweep itself is atom_sweep.
namespace gridorb::evaluator {

// 2 when this process may run on two processors or more, else 1.
int defaultThreadCount();

// Told the index of an atom (into MoleculeAtoms::atoms) on the calling
// thread just before that thread starts adding it to the first chunk.
using AtomStarted = std::function<void(int atom)>;

// The z-planes are swept in chunks of this many, each for every atom in order.
inline constexpr int CHUNK_PLANES = 2;
// The chunk holding the middle plane, which the calling thread sweeps first.
inline constexpr int FIRST_CHUNK = POINTS_PER_AXIS / 2 / CHUNK_PLANES;

// Every value of the volume (a cube file shows them all), or those that can
// show in the volume file: there a value scales to |v| * 256 / peak, cut to a
// whole number, and the rows where every |v| is certain to lie below 1/256
// of the peak are left at 0 instead of summed.
enum class ValuesNeeded { Every, Visible };

// Fills psi and returns the range of the whole volume, taken chunk by chunk
// as each is finished, while its values are in the cache of the thread that
// swept them (a scan of the whole volume afterwards was 2% of a run). The
// chunks go from the middle of the box outwards, the calling thread starting
// with FIRST_CHUNK; with threadCount >= 2 one helper thread takes every
// other, and the two share laying the atoms out. The helper holds the run's
// signals and is joined before this returns. With ValuesNeeded::Every no bit
// of psi depends on the thread count or on who swept what; with Visible the
// rows left out may differ, and every value that scales to anything but 0
// in the volume file, and the range, are those of Every.
ValueRange evaluateVolume(const MoleculeAtoms& atoms, const GridFrame& frame, const basis::BasisWeights& weights,
                          OrbitalVolume& psi, int threadCount = defaultThreadCount(), const AtomStarted& atomStarted = {},
                          ValuesNeeded needed = ValuesNeeded::Every);

}  // namespace gridorb::evaluator
