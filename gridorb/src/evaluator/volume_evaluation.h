#pragma once

#include <functional>

#include "basis/minimal_basis.h"
#include "evaluator/atom_factors.h"
#include "evaluator/helper_thread.h"
#include "evaluator/kernel_layout.h"
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

// The atoms laid out for the sweep, and one more for the calling thread to
// lay an atom out into while the helper has that one in hand.
struct AtomLayouts {
    std::array<KernelAtom, MAX_ATOMS> atoms;
    KernelAtom own;
};

// Fills psi and returns its range, taken chunk by chunk as each is finished,
// while its values are in the cache of the thread that swept them (a scan
// of the whole volume afterwards was 2% of a run). The chunks go from the
// middle of the box outwards, the calling thread starting with FIRST_CHUNK;
// with threadCount >= 2 one helper thread takes every other, and the two
// share laying the atoms out. The helper holds the run's signals and its
// part is done (or never begun) when this returns. No bit of psi depends on
// the thread count or on who swept what.
ValueRange evaluateVolume(const MoleculeAtoms& atoms, const GridFrame& frame, const basis::BasisWeights& weights,
                          OrbitalVolume& psi, int threadCount = defaultThreadCount(), const AtomStarted& atomStarted = {});

// The same for the volume file, with the run's helper thread if given (it
// takes every other chunk), which shows |v| * 256 / peak cut to a whole
// number: each row is bounded against the largest value found so far, and
// only the rows that can show something other than 0 are summed, packed
// into `volume`. Their values, and the range returned (that of every value
// of the grid), are those of evaluateVolume; which rows are left out may
// depend on the threads' timing. `layouts` is the evaluation's working memory.
// The first `valuesInPlace` of volume.values lie on pages the process has
// written already; the pages of the rest are faulted in a chunk at a time.
ValueRange evaluateVisible(const MoleculeAtoms& atoms, const GridFrame& frame, const basis::BasisWeights& weights,
                           AtomLayouts& layouts, PackedVolume& volume, std::uint32_t valuesInPlace, HelperThread* helper,
                           const AtomStarted& atomStarted = {});

}  // namespace gridorb::evaluator
