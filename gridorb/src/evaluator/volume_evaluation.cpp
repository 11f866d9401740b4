#include "evaluator/volume_evaluation.h"

#include <algorithm>
#include <array>
#include <atomic>
#include <mutex>
#include <system_error>
#include <thread>

#include "evaluator/atom_sweep.h"
#include "evaluator/kernel_layout.h"
#include "units/signal_mask.h"

namespace gridorb::evaluator {
namespace {

// The calling thread sweeps z-planes [0, SPLIT), the helper the rest.
constexpr int SPLIT = (POINTS_PER_AXIS + 1) / 2;

// Every atom laid out once, by whichever thread claims it first: a thread
// about to sweep atom i claims the atoms not yet claimed up to i + 1, so the
// two threads take turns, then waits for atom i if the other has it in hand.
class SharedLayouts {
public:
    SharedLayouts(const MoleculeAtoms& atoms, const GridFrame& frame, const basis::BasisWeights& weights,
                  std::array<KernelAtom, MAX_ATOMS>& store)
        : atoms_(atoms), frame_(frame), weights_(weights), store_(store) {}

    const KernelAtom& get(int i) {
        const int last = std::min(i + 1, atoms_.count - 1);
        for (int m = next_.load(std::memory_order_relaxed); m <= last;) {
            if (!next_.compare_exchange_weak(m, m + 1, std::memory_order_relaxed)) continue;
            prepareKernelAtom(computeAtomFactors(atoms_.atoms[m], frame_, weights_), store_[m]);
            ready_[m].store(true, std::memory_order_release);
            ready_[m].notify_all();
            m = next_.load(std::memory_order_relaxed);
        }
        while (!ready_[i].load(std::memory_order_acquire)) ready_[i].wait(false, std::memory_order_acquire);
        return store_[i];
    }

private:
    const MoleculeAtoms& atoms_;
    const GridFrame& frame_;
    const basis::BasisWeights& weights_;
    std::array<KernelAtom, MAX_ATOMS>& store_;
    std::atomic<int> next_{0};
    std::array<std::atomic<bool>, MAX_ATOMS> ready_{};
};

void sweepPlanes(SharedLayouts& layouts, int atomCount, int izBegin, int izEnd, OrbitalVolume& psi,
                 const AtomStarted* atomStarted) {
    std::fill(psi.values.begin() + OrbitalVolume::index(0, 0, izBegin),
              psi.values.begin() + OrbitalVolume::index(0, 0, izEnd), 0.0f);
    for (int i = 0; i < atomCount; ++i) {
        if (atomStarted != nullptr && *atomStarted) (*atomStarted)(i);
        sweepAtom(layouts.get(i), izBegin, izEnd, psi);
    }
}

}  // namespace

int defaultThreadCount() { return std::thread::hardware_concurrency() >= 2 ? 2 : 1; }

void evaluateVolume(const MoleculeAtoms& atoms, const GridFrame& frame, const basis::BasisWeights& weights,
                    OrbitalVolume& psi, int threadCount, const AtomStarted& atomStarted) {
    // Static: the layouts of 50 atoms take 94 pages, which a benchmark's
    // repeated calls should not fault in afresh. One evaluation at a time.
    static std::mutex storeMutex;
    static std::array<KernelAtom, MAX_ATOMS> store;
    std::lock_guard lock(storeMutex);
    SharedLayouts layouts(atoms, frame, weights, store);

    std::jthread helper;
    if (threadCount >= 2) {
        // The helper inherits the run's signals held, so a signal sent to the
        // process is always taken by this thread, whose handler then closes
        // the units. SIGFPE too: nothing the helper runs traps.
        const units::RunSignalsHeld held;
        try {
            helper = std::jthread(sweepPlanes, std::ref(layouts), atoms.count, SPLIT, POINTS_PER_AXIS, std::ref(psi),
                                  nullptr);
        } catch (const std::system_error&) {
            // No thread to be had: this one sweeps every plane.
        }
    }
    sweepPlanes(layouts, atoms.count, 0, helper.joinable() ? SPLIT : POINTS_PER_AXIS, psi, &atomStarted);
}

}  // namespace gridorb::evaluator
