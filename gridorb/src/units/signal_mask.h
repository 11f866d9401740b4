#pragma once

#include <pthread.h>
#include <signal.h>

// The four signals whose handlers end a run (SIGINT, SIGTERM, SIGABRT,
// SIGFPE), held on the calling thread while the object lives. The process
// may have a second thread, so the mask is the thread's own.
namespace gridorb::units {

class RunSignalsHeld {
public:
    RunSignalsHeld() {
        sigset_t held;
        sigemptyset(&held);
        for (int signal : {SIGINT, SIGTERM, SIGABRT, SIGFPE}) sigaddset(&held, signal);
        pthread_sigmask(SIG_BLOCK, &held, &previous_);
    }
    ~RunSignalsHeld() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }
    RunSignalsHeld(const RunSignalsHeld&) = delete;
    RunSignalsHeld& operator=(const RunSignalsHeld&) = delete;

private:
    sigset_t previous_;
};

}  // namespace gridorb::units
