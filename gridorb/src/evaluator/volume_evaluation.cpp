#include "evaluator/volume_evaluation.h"

#include <algorithm>
#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "evaluator/evaluation_kernel.h"
#include "evaluator/literal_kernel.h"

namespace gridorb::evaluator {
namespace {

// Runs work(thread) on `threadCount` threads, the calling one included.
template <typename Work>
void runOnThreads(int threadCount, Work work) {
    std::vector<std::thread> helpers;
    helpers.reserve(static_cast<std::size_t>(threadCount - 1));
    for (int t = 1; t < threadCount; ++t) helpers.emplace_back(work, t);
    work(0);
    for (std::thread& helper : helpers) helper.join();
}

}  // namespace

int defaultThreadCount() {
    unsigned hardware = std::thread::hardware_concurrency();
    return static_cast<int>(std::clamp(hardware, 1u, 8u));
}

void evaluateVolume(const MoleculeAtoms& atoms, const GridFrame& frame, const basis::BasisWeights& weights,
                    OrbitalVolume& psi, int threadCount) {
    threadCount = std::clamp(threadCount, 1, POINTS_PER_AXIS);
    // Atoms without a shell add nothing; only the others enter the kernel.
    std::vector<int> evaluated;
    for (int i = 0; i < atoms.count; ++i) {
        if (basis::shellOf(atoms.atoms[i].atomicNumber) != basis::Shell::None) evaluated.push_back(i);
    }
    std::vector<KernelAtom> kernelAtoms(evaluated.size());

    // Work is handed out one atom, then one plane, at a time: any share
    // gives the same values, since every atom and every plane stands alone.
    std::atomic<int> nextAtom{0};
    runOnThreads(threadCount, [&](int) {
        for (int i = nextAtom++; i < static_cast<int>(evaluated.size()); i = nextAtom++) {
            kernelAtoms[i] = prepareKernelAtom(computeAtomFactors(atoms.atoms[evaluated[i]], frame, weights));
        }
    });
    std::atomic<int> nextPlane{0};
    runOnThreads(threadCount, [&](int) {
        for (int iz = nextPlane++; iz < POINTS_PER_AXIS; iz = nextPlane++) evaluatePlanes(kernelAtoms, iz, iz + 1, psi);
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
