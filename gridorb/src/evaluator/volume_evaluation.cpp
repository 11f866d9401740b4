#include "evaluator/volume_evaluation.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <barrier>
#include <memory>
#include <thread>
#include <span>
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
    std::array<int, MAX_ATOMS> evaluated;
    int evaluatedCount = 0;
    for (int i = 0; i < atoms.count; ++i) {
        if (basis::shellOf(atoms.atoms[i].atomicNumber) != basis::Shell::None) evaluated[evaluatedCount++] = i;
    }
    // Kept from call to call: the tables are large enough that fresh pages
    // for them would cost more than filling them.
    thread_local std::unique_ptr<std::array<KernelAtom, MAX_ATOMS>> workspace;
    if (!workspace) workspace = std::make_unique<std::array<KernelAtom, MAX_ATOMS>>();
    std::array<KernelAtom, MAX_ATOMS>& kernelAtoms = *workspace;
    const std::span<const KernelAtom> prepared(kernelAtoms.data(), static_cast<std::size_t>(evaluatedCount));

    // Work is handed out one atom, then one plane, at a time: any share
    // gives the same values, since every atom and every plane stands alone.
    std::atomic<int> nextAtom{0};
    std::atomic<int> nextPlane{0};
    std::barrier factorsDone(threadCount);
    runOnThreads(threadCount, [&](int) {
        for (int i = nextAtom++; i < evaluatedCount; i = nextAtom++) {
            kernelAtoms[i] = prepareKernelAtom(computeAtomFactors(atoms.atoms[evaluated[i]], frame, weights));
        }
        factorsDone.arrive_and_wait();
        for (int iz = nextPlane++; iz < POINTS_PER_AXIS; iz = nextPlane++) evaluatePlanes(prepared, iz, iz + 1, psi);
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
