#include "support/traced_run.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ptrace.h>
#include <sys/syscall.h>
#include <sys/user.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <stdexcept>
#include <thread>

#ifndef GRIDORB_BINARY
#error "GRIDORB_BINARY must name the gridorb executable"
#endif

namespace gridorb::testsupport {

bool SystemCall::isWriteTo(const std::string& name) const {
    return (number == SYS_write || number == SYS_writev) && fileName == name;
}

bool SystemCall::isConsoleWrite() const { return number == SYS_write && fd == STDOUT_FILENO; }

bool SystemCall::isOpenOf(const std::string& name) const { return number == SYS_openat && fileName == name; }

#if defined(__x86_64__)

namespace {

constexpr auto RUN_LIMIT = std::chrono::seconds(120);
constexpr std::size_t BYTES_SHOWN = 256;
constexpr auto SIGNAL_WAIT = std::chrono::milliseconds(200);

// Bytes of the tracee's memory, a word at a time.
std::string peek(pid_t tid, unsigned long address, std::size_t length, bool untilNul) {
    std::string bytes;
    while (bytes.size() < length) {
        errno = 0;
        long word = ::ptrace(PTRACE_PEEKDATA, tid, reinterpret_cast<void*>(address + bytes.size()), nullptr);
        if (errno != 0) break;
        char chunk[sizeof word];
        std::memcpy(chunk, &word, sizeof word);
        for (char c : chunk) {
            if ((untilNul && c == '\0') || bytes.size() == length) return bytes;
            bytes += c;
        }
    }
    return bytes;
}

// Reads the console and standard error until both are closed: a console
// nobody reads could fill up and hold the run.
void drain(int console, int errors, std::string& consoleBytes, std::string& errorBytes) {
    int fds[2] = {console, errors};
    std::string* sinks[2] = {&consoleBytes, &errorBytes};
    while (fds[0] >= 0 || fds[1] >= 0) {
        pollfd polled[2];
        for (int i = 0; i < 2; ++i) polled[i] = {fds[i], POLLIN, 0};
        if (::poll(polled, 2, -1) < 0) {
            if (errno == EINTR) continue;
            break;
        }
        for (int i = 0; i < 2; ++i) {
            if (fds[i] < 0 || polled[i].revents == 0) continue;
            char chunk[65536];
            ssize_t n = ::read(fds[i], chunk, sizeof chunk);
            if (n > 0) {
                sinks[i]->append(chunk, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                // A pseudo-terminal whose other side is gone reads as EIO.
                ::close(fds[i]);
                fds[i] = -1;
            }
        }
    }
}

}  // namespace

TracedRun runAndSignalAt(const ScratchDirectory& directory, const std::vector<std::string>& arguments,
                         const std::function<bool(const SystemCall&)>& stopHere, int signal) {
    TracedRun run;
    const GridorbCommand command(directory, arguments);

    const int master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master < 0 || ::grantpt(master) != 0 || ::unlockpt(master) != 0) {
        run.traceable = false;
        run.whyNot = std::string("no pseudo-terminal: ") + std::strerror(errno);
        if (master >= 0) ::close(master);
        return run;
    }
    const int terminal = ::open(::ptsname(master), O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (terminal < 0) throw std::runtime_error("cannot open the pseudo-terminal's terminal side");
    termios raw{};
    ::tcgetattr(terminal, &raw);
    ::cfmakeraw(&raw);  // the console's bytes as gridorb writes them
    ::tcsetattr(terminal, TCSANOW, &raw);
    int err[2];
    if (::pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");

    const pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        command.enterRunEnvironment(terminal, err[1]);
        if (::ptrace(PTRACE_TRACEME, 0, nullptr, nullptr) != 0) ::_exit(125);
        command.execute();
        ::_exit(127);
    }
    ::close(terminal);
    ::close(err[1]);
    run.mainThread = pid;

    std::string consoleBytes;
    std::string errorBytes;
    std::thread reader(drain, master, err[0], std::ref(consoleBytes), std::ref(errorBytes));

    // A run that never ends (a fault of its own, or of this tracer) is killed.
    std::mutex watchMutex;
    std::condition_variable watchWake;
    bool finished = false;
    bool timedOut = false;
    std::thread watchdog([&] {
        std::unique_lock lock(watchMutex);
        if (!watchWake.wait_for(lock, RUN_LIMIT, [&] { return finished; })) {
            timedOut = true;
            ::kill(pid, SIGKILL);
        }
    });

    int status = 0;
    bool started = false;
    if (::waitpid(pid, &status, 0) == pid && WIFSTOPPED(status) && WSTOPSIG(status) == SIGTRAP) {
        started = ::ptrace(PTRACE_SETOPTIONS, pid, nullptr,
                           reinterpret_cast<void*>(PTRACE_O_TRACESYSGOOD | PTRACE_O_EXITKILL | PTRACE_O_TRACECLONE)) == 0;
        if (!started) {
            run.whyNot = std::string("PTRACE_SETOPTIONS: ") + std::strerror(errno);
            ::kill(pid, SIGKILL);
        }
    } else if (WIFEXITED(status) && WEXITSTATUS(status) == 125) {
        run.whyNot = "PTRACE_TRACEME is not permitted";
    } else {
        run.whyNot = "gridorb did not start under the tracer";
    }

    if (started) {
        ::ptrace(PTRACE_SYSCALL, pid, nullptr, nullptr);
        bool inCall = false;
        long openingName = -1;
        std::string opening;
        std::map<long, std::string> names;
        std::set<pid_t> threads{pid};
        // Once the signal is sent, the main thread is held in its stop for a
        // while: any other thread that can take the signal then does, every
        // time, instead of losing a race to the main thread.
        bool mainHeld = false;
        auto mainHeldUntil = std::chrono::steady_clock::now();
        for (;;) {
            if (mainHeld && (!run.signalTakenBy.empty() || std::chrono::steady_clock::now() >= mainHeldUntil)) {
                ::ptrace(PTRACE_CONT, pid, nullptr, nullptr);
                mainHeld = false;
            }
            const pid_t tid = ::waitpid(-1, &status, __WALL | (mainHeld ? WNOHANG : 0));
            if (tid == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
                continue;
            }
            if (tid < 0) {
                if (errno == EINTR) continue;
                break;
            }
            if (WIFEXITED(status) || WIFSIGNALED(status)) {
                if (tid != pid) continue;
                run.result.exited = WIFEXITED(status);
                run.result.exitStatus = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
                run.result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
                break;
            }
            if (!WIFSTOPPED(status)) continue;
            threads.insert(tid);
            const int stopSignal = WSTOPSIG(status);
            const bool event = (status >> 16) != 0;
            auto resume = [&](int deliver) {
                const bool followCalls = tid == pid && !run.stopped;
                ::ptrace(followCalls ? PTRACE_SYSCALL : PTRACE_CONT, tid, nullptr, reinterpret_cast<void*>(deliver));
            };
            if (stopSignal == (SIGTRAP | 0x80)) {
                if (tid != pid) {
                    resume(0);
                    continue;
                }
                user_regs_struct regs{};
                ::ptrace(PTRACE_GETREGS, tid, nullptr, &regs);
                const long number = static_cast<long>(regs.orig_rax);
                inCall = !inCall;
                if (!inCall) {
                    // The exit of an openat: its descriptor now stands for the name.
                    if (number == openingName && static_cast<long>(regs.rax) >= 0) {
                        names[static_cast<long>(regs.rax)] = opening;
                    }
                    openingName = -1;
                    resume(0);
                    continue;
                }
                SystemCall call;
                call.number = number;
                if (number == SYS_openat) {
                    opening = peek(tid, regs.rsi, 4096, true);
                    openingName = number;
                    call.fileName = opening;
                } else if (number == SYS_write || number == SYS_writev || number == SYS_close) {
                    call.fd = static_cast<int>(regs.rdi);
                    auto named = names.find(call.fd);
                    if (named != names.end()) call.fileName = named->second;
                    if (number == SYS_write) {
                        call.bytes = peek(tid, regs.rsi, std::min<std::size_t>(regs.rdx, BYTES_SHOWN), false);
                    } else if (number == SYS_close && named != names.end()) {
                        names.erase(named);
                    }
                }
                if (!run.stopped && stopHere(call)) {
                    ::kill(pid, signal);
                    run.stopped = true;
                    mainHeld = true;
                    mainHeldUntil = std::chrono::steady_clock::now() + SIGNAL_WAIT;
                    continue;
                }
                resume(0);
            } else if (event || stopSignal == SIGSTOP) {
                // A new thread's first stop, or the report of its creation.
                resume(0);
            } else {
                if (run.stopped && stopSignal == signal) run.signalTakenBy.push_back(tid);
                resume(stopSignal);
            }
        }
        run.threadsSeen = static_cast<int>(threads.size());
    } else {
        run.traceable = false;
        ::waitpid(pid, &status, 0);
    }

    {
        std::lock_guard lock(watchMutex);
        finished = true;
    }
    watchWake.notify_all();
    watchdog.join();
    reader.join();
    run.result.timedOut = timedOut;
    run.result.standardOutput = std::move(consoleBytes);
    run.result.standardError = std::move(errorBytes);
    return run;
}

#else

TracedRun runAndSignalAt(const ScratchDirectory&, const std::vector<std::string>&,
                         const std::function<bool(const SystemCall&)>&, int) {
    TracedRun run;
    run.traceable = false;
    run.whyNot = "the tracer reads x86-64 registers only";
    return run;
}

#endif

}  // namespace gridorb::testsupport
