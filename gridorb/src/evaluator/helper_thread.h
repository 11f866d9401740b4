#pragma once

#include <atomic>
#include <cstddef>
#include <span>

#include <pthread.h>

// The run's second thread. It is started on a processor other than the
// caller's (on the virtual machines measured, a new thread was otherwise put
// on its creator's processor and ran there first, so the two took turns on
// one core), with the run's signals held, so that the calling thread alone
// ever runs a handler. It first warms the pages it is given, then runs the
// one job it is handed, and is joined when the object goes.
namespace gridorb::evaluator {

class HelperThread {
public:
    // Warms `first` and then `second`, each from its end backwards: their
    // pages are faulted in for writing, their contents never touched, until
    // stopWarming(). For memory the caller is about to fill (a fresh page
    // costs about 2 µs on these machines): the two meet halfway.
    explicit HelperThread(std::span<std::byte> first = {}, std::span<std::byte> second = {});
    ~HelperThread();
    HelperThread(const HelperThread&) = delete;
    HelperThread& operator=(const HelperThread&) = delete;

    // False when no thread could be had: the caller does every job itself.
    bool started() const { return started_; }
    void stopWarming() { stopWarming_.store(true, std::memory_order_relaxed); }

    // Hands job(context) to the thread (once). finish() then waits for the
    // job to end, or takes it back if the thread has not begun it, and says
    // whether it ran.
    void run(void (*job)(void*), void* context);
    bool finish();

private:
    static void* threadMain(void* self);
    void releaseStack();

    std::span<std::byte> warm_[2];
    std::atomic<bool> stopWarming_{false};
    void (*job_)(void*) = nullptr;
    void* context_ = nullptr;
    enum Stage { WAITING, HANDED, RUNNING, ENDED };  // ENDED: the job done, taken back, or none to come
    std::atomic<int> stage_{WAITING};
    pthread_t thread_{};
    bool started_ = false;
    bool handed_ = false;
    bool ownsStack_ = false;  // runs on the static stack
};

}  // namespace gridorb::evaluator
