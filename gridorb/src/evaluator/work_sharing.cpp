#include "evaluator/work_sharing.h"

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace gridorb::evaluator {
namespace {

// The claim cursor holds the run's generation in its upper half and the
// next unit in its lower half: a helper that saw an earlier run cannot claim
// a unit of a later one, and claims past the count fail, so a helper only
// ever runs a unit that the current run is still waiting for.
struct Pool {
    std::mutex runMutex;  // one run at a time; guards helperCount
    int helperCount = 0;

    std::mutex mutex;  // guards the run description below
    std::condition_variable wake;
    std::uint32_t generation = 0;
    const std::function<void(int)>* unit = nullptr;
    int count = 0;
    int helpersAllowed = 0;

    std::atomic<std::uint64_t> cursor{0};
    std::atomic<int> finished{0};
};

// Never destroyed: parked helpers wait on it until the process ends.
Pool& pool() {
    static Pool* const instance = new Pool;
    return *instance;
}

struct RunView {
    std::uint32_t generation;
    const std::function<void(int)>* unit;
    int count;
};

void work(Pool& p, const RunView& run) {
    std::uint64_t c = p.cursor.load(std::memory_order_acquire);
    for (;;) {
        if (static_cast<std::uint32_t>(c >> 32) != run.generation) return;
        const auto next = static_cast<int>(c & 0xffffffffu);
        if (next >= run.count) return;
        if (!p.cursor.compare_exchange_weak(c, c + 1, std::memory_order_acq_rel, std::memory_order_acquire)) continue;
        (*run.unit)(next);
        p.finished.fetch_add(1, std::memory_order_release);
        p.finished.notify_all();
        c = p.cursor.load(std::memory_order_acquire);
    }
}

void helperLoop(Pool& p, int index) {
    std::uint32_t seen = 0;
    for (;;) {
        RunView run;
        {
            std::unique_lock lock(p.mutex);
            p.wake.wait(lock, [&] { return p.generation != seen; });
            seen = p.generation;
            if (index >= p.helpersAllowed) continue;
            run = {p.generation, p.unit, p.count};
        }
        work(p, run);
    }
}

// Holds the interrupt, termination and abort signals on the calling thread
// for as long as it lives, and puts the caller's mask back after.
class AsynchronousSignalsHeld {
public:
    AsynchronousSignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        sigaddset(&held, SIGINT);
        sigaddset(&held, SIGTERM);
        sigaddset(&held, SIGABRT);
        pthread_sigmask(SIG_BLOCK, &held, &saved_);
    }
    ~AsynchronousSignalsHeld() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }
    AsynchronousSignalsHeld(const AsynchronousSignalsHeld&) = delete;
    AsynchronousSignalsHeld& operator=(const AsynchronousSignalsHeld&) = delete;

private:
    sigset_t saved_;
};

// A helper starts with the caller's mask, so it is created with the signals
// held and keeps them held for good: a signal sent to the process then always
// reaches the main thread. Its handler closes the units, and the main thread
// holds the signals while it hands a buffer to the system; were a helper to
// take one then, the handler would write that buffer a second time, beside
// the main thread's own write. SIGFPE stays open: a fault on a helper must
// still reach its handler, and a held fault signal would kill silently.
void startHelper(Pool& p, int index) {
    AsynchronousSignalsHeld held;
    std::thread(helperLoop, std::ref(p), index).detach();
}

}  // namespace

void runUnits(int threadCount, int count, const std::function<void(int)>& unit) {
    Pool& p = pool();
    std::lock_guard runLock(p.runMutex);
    const int helpers = std::clamp(threadCount, 1, MAX_THREADS) - 1;
    for (; p.helperCount < helpers; ++p.helperCount) startHelper(p, p.helperCount);

    RunView run;
    {
        std::lock_guard lock(p.mutex);
        ++p.generation;
        p.unit = &unit;
        p.count = count;
        p.helpersAllowed = helpers;
        p.finished.store(0, std::memory_order_relaxed);
        p.cursor.store(static_cast<std::uint64_t>(p.generation) << 32, std::memory_order_release);
        run = {p.generation, &unit, count};
    }
    if (helpers > 0) p.wake.notify_all();
    work(p, run);
    // Every unit is claimed now; wait only for those still running elsewhere.
    for (int done = p.finished.load(std::memory_order_acquire); done < count;
         done = p.finished.load(std::memory_order_acquire))
        p.finished.wait(done, std::memory_order_acquire);
}

}  // namespace gridorb::evaluator
