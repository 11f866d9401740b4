#pragma once

#include <sys/types.h>

#include <functional>
#include <string>
#include <vector>

#include "support/process_runner.h"

// Runs the real gridorb under ptrace, so that a signal can be sent at an
// exact point of the run rather than after a guessed delay: the run is
// stopped at the entry of a chosen system call, the signal is sent, and the
// call is let through. The console is a pseudo-terminal in raw mode, so that
// gridorb writes each console line as it ends it (a terminal sees every
// record at once) and those writes mark where the run is.
namespace gridorb::testsupport {

// A system call of gridorb's main thread, at its entry.
struct SystemCall {
    long number = -1;
    int fd = -1;                // the descriptor it acts on, if any
    std::string fileName;       // what that descriptor was opened as ("" for inherited ones)
    std::string bytes;          // for write(): the bytes it is about to write
    bool isWriteTo(const std::string& name) const;
    bool isConsoleWrite() const;
    bool isOpenOf(const std::string& name) const;  // openat of that name (fileName holds it)
};

struct TracedRun {
    bool traceable = true;      // false: ptrace is not permitted here (see whyNot)
    std::string whyNot;
    bool stopped = false;       // the chosen call was met and the signal sent
    ProcessResult result;       // standardOutput holds the console's bytes
    // The threads that took a delivery of the sent signal, and the main
    // thread's id (the process id).
    std::vector<pid_t> signalTakenBy;
    pid_t mainThread = 0;
    int threadsSeen = 1;
};

// Runs gridorb in `directory` with `arguments`; at the first system call of
// the main thread for which `stopHere` is true, sends `signal` to the
// process, keeps the main thread stopped until another thread takes the
// signal (or 200 ms have passed), lets the call go on and traces the run to
// its end.
TracedRun runAndSignalAt(const ScratchDirectory& directory, const std::vector<std::string>& arguments,
                         const std::function<bool(const SystemCall&)>& stopHere, int signal);

}  // namespace gridorb::testsupport
