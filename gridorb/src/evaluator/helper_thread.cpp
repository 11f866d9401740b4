#include "evaluator/helper_thread.h"

#include <cstdint>

#include <sched.h>
#include <sys/mman.h>
#include <time.h>

#include "platform/pages.h"
#include "units/signal_mask.h"

namespace gridorb::evaluator {
namespace {

constexpr std::size_t PAGE = platform::PAGE_SIZE;
// Pages faulted in per call: few calls, and a stop is seen soon.
constexpr std::size_t WARM_STEP = 16 * PAGE;

// The thread's stack, in static storage: the system's own for a thread is
// a fresh mapping with a guard page, two more system calls on the caller's
// way (and a third as the thread ends) on every run. One helper at a time
// has it; another gets the system's. A run uses about 30 KB of it, the
// thread sanitizer wants 900 KB for its own, and pages never touched cost
// nothing.
constexpr std::size_t STACK_SIZE = 1024 * 1024;
alignas(PAGE) char g_stack[STACK_SIZE];
std::atomic<bool> g_stackTaken{false};

// The processors this process may use, less the one the caller runs on now.
bool otherProcessors(cpu_set_t& set) {
    if (sched_getaffinity(0, sizeof set, &set) != 0) return false;
    const int current = sched_getcpu();
    if (current >= 0 && current < CPU_SETSIZE) CPU_CLR(current, &set);
    return CPU_COUNT(&set) > 0;
}

long nanosecondsSince(const timespec& start) {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (now.tv_sec - start.tv_sec) * 1000000000L + (now.tv_nsec - start.tv_nsec);
}

// Waits for `stage` to leave `from`: polling for up to `pollNanoseconds`
// (the other thread is usually about to get there, and waking a sleeping
// processor costs 15-30 µs here), then asleep.
void waitWhile(const std::atomic<int>& stage, int from, long pollNanoseconds) {
    timespec start;
    clock_gettime(CLOCK_MONOTONIC, &start);
    while (stage.load(std::memory_order_acquire) == from) {
        if (nanosecondsSince(start) > pollNanoseconds) {
            stage.wait(from, std::memory_order_acquire);
            return;
        }
    }
}

}  // namespace

HelperThread::HelperThread(std::span<std::byte> first, std::span<std::byte> second) : warm_{first, second} {
    const units::RunSignalsHeld held;  // inherited by the thread
    pthread_attr_t attributes;
    if (pthread_attr_init(&attributes) != 0) return;
    cpu_set_t others;
    if (otherProcessors(others)) pthread_attr_setaffinity_np(&attributes, sizeof others, &others);
    ownsStack_ = !g_stackTaken.exchange(true, std::memory_order_acquire);
    if (ownsStack_ && pthread_attr_setstack(&attributes, g_stack, STACK_SIZE) != 0) releaseStack();
    started_ = pthread_create(&thread_, &attributes, threadMain, this) == 0 ||
               pthread_create(&thread_, nullptr, threadMain, this) == 0;
    pthread_attr_destroy(&attributes);
    if (!started_) releaseStack();
}

void HelperThread::releaseStack() {
    if (ownsStack_) g_stackTaken.store(false, std::memory_order_release);
    ownsStack_ = false;
}

HelperThread::~HelperThread() {
    if (!started_) return;
    if (!handed_) {
        stopWarming();
        stage_.store(ENDED, std::memory_order_release);
        stage_.notify_one();
    }
    pthread_join(thread_, nullptr);
    releaseStack();
}

void HelperThread::run(void (*job)(void*), void* context) {
    job_ = job;
    context_ = context;
    handed_ = true;
    stage_.store(HANDED, std::memory_order_release);
    stage_.notify_one();
}

bool HelperThread::finish() {
    if (!started_ || !handed_) return false;
    // A job the thread has not begun is taken back: a helper the system has
    // not let run all this while is not waited for.
    int stage = HANDED;
    if (stage_.compare_exchange_strong(stage, ENDED, std::memory_order_acq_rel)) return false;
    waitWhile(stage_, RUNNING, 100000);
    return true;
}

void* HelperThread::threadMain(void* self) {
    auto& helper = *static_cast<HelperThread*>(self);
    for (std::span<std::byte> range : helper.warm_) {
        // Whole pages within the range, from its end.
        const auto begin = (reinterpret_cast<std::uintptr_t>(range.data()) + PAGE - 1) & ~(PAGE - 1);
        auto end = (reinterpret_cast<std::uintptr_t>(range.data()) + range.size()) & ~(PAGE - 1);
        while (end > begin && !helper.stopWarming_.load(std::memory_order_relaxed)) {
            const std::uintptr_t from = end - begin > WARM_STEP ? end - WARM_STEP : begin;
            // Linux 5.14 and later; elsewhere (EINVAL) nothing is warmed.
            if (madvise(reinterpret_cast<void*>(from), end - from, MADV_POPULATE_WRITE) != 0) break;
            end = from;
        }
    }
    // The rest of the reading and the steps before the evaluation: this
    // processor has nothing else to do meanwhile.
    waitWhile(helper.stage_, WAITING, 1000000);
    int stage = HANDED;
    if (helper.stage_.compare_exchange_strong(stage, RUNNING, std::memory_order_acq_rel)) {
        helper.job_(helper.context_);
        helper.stage_.store(ENDED, std::memory_order_release);
        helper.stage_.notify_one();
    }
    return nullptr;
}

}  // namespace gridorb::evaluator
