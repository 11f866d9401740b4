#include "evaluator/volume_evaluation.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <memory>
#include <mutex>
#include <span>
#include <thread>

#include "evaluator/evaluation_kernel.h"
#include "evaluator/literal_kernel.h"
#include "evaluator/work_sharing.h"

namespace gridorb::evaluator {

int defaultThreadCount() {
    unsigned hardware = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(hardware, 1u, static_cast<unsigned>(MAX_THREADS)));
}

void evaluateVolume(const MoleculeAtoms& atoms, const GridFrame& frame, const basis::BasisWeights& weights,
                    OrbitalVolume& psi, int threadCount) {
    // Atoms without a shell add nothing; only the others enter the kernel.
    std::array<int, MAX_ATOMS> evaluated;
    int atomUnits = 0;
    for (int i = 0; i < atoms.count; ++i) {
        if (basis::shellOf(atoms.atoms[i].atomicNumber) != basis::Shell::None) evaluated[atomUnits++] = i;
    }
    // Kept from call to call: the tables are large enough that fresh pages
    // for them would cost more than filling them.
    static std::mutex workspaceMutex;
    static const auto workspace = std::make_unique<std::array<KernelAtom, MAX_ATOMS>>();
    std::lock_guard lock(workspaceMutex);
    std::array<KernelAtom, MAX_ATOMS>& kernelAtoms = *workspace;
    const std::span<const KernelAtom> prepared(kernelAtoms.data(), static_cast<std::size_t>(atomUnits));

    // Units 0 .. atomUnits-1 lay out the atoms, the 51 after them fill one
    // z-plane each once every atom is laid out. Any share among the threads
    // gives the same values, since every atom and every plane stands alone.
    std::atomic<int> atomsReady{0};
    runUnits(threadCount, atomUnits + POINTS_PER_AXIS, [&](int unit) {
        if (unit < atomUnits) {
            prepareKernelAtom(computeAtomFactors(atoms.atoms[evaluated[unit]], frame, weights), kernelAtoms[unit]);
            if (atomsReady.fetch_add(1, std::memory_order_acq_rel) + 1 == atomUnits) atomsReady.notify_all();
            return;
        }
        for (int ready = atomsReady.load(std::memory_order_acquire); ready < atomUnits;
             ready = atomsReady.load(std::memory_order_acquire))
            atomsReady.wait(ready, std::memory_order_acquire);
        const int iz = unit - atomUnits;
        evaluatePlanes(prepared, iz, iz + 1, psi);
    });
}

void evaluateVolumeLiteral(const MoleculeAtoms& atoms, const GridFrame& frame, const basis::BasisWeights& weights,
                           OrbitalVolume& psi) {
    psi.values.fill(0.0f);
    auto factors = std::make_unique<AtomFactors>();
    for (int i = 0; i < atoms.count; ++i) {
        *factors = computeAtomFactors(atoms.atoms[i], frame, weights);
        accumulateAtomLiteral(*factors, psi);
    }
}

}  // namespace gridorb::evaluator
