#include "driver/signal_handlers.h"

#include <signal.h>
#include <unistd.h>

#include <cstdlib>

#include "units/unit_table.h"

namespace gridorb::driver {
namespace {

void writeMessage(const char* text, std::size_t length) {
    // Straight to the descriptor: the handler may have interrupted a record.
    while (length > 0) {
        ssize_t n = ::write(STDERR_FILENO, text, length);
        if (n <= 0) return;
        text += n;
        length -= static_cast<std::size_t>(n);
    }
}

template <std::size_t N>
void writeMessage(const char (&text)[N]) {
    writeMessage(text, N - 1);
}

void endAfterExit(int signal) {
    if (signal == SIGINT) {
        writeMessage("Interrupt\r\n");
    } else {
        writeMessage("Killed\r\n");
    }
    units::closeAllUnits();
    units::flushStandardStreams();
    ::_exit(1);
}

void endAfterAbort(int signal) {
    if (signal == SIGFPE) {
        writeMessage("Floating Exception\r\n");
    } else {
        writeMessage("IOT Trap\r\n");
    }
    units::flushStandardStreams();
    units::closeAllUnits();
    units::flushStandardStreams();
    struct sigaction fallback {};
    fallback.sa_handler = SIG_DFL;
    sigemptyset(&fallback.sa_mask);
    ::sigaction(SIGABRT, &fallback, nullptr);
    std::abort();
}

void install(int signal, void (*handler)(int)) {
    struct sigaction action {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    // Each handler ends the process; the others wait until it has.
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    sigaddset(&action.sa_mask, SIGFPE);
    sigaddset(&action.sa_mask, SIGABRT);
    struct sigaction previous {};
    ::sigaction(signal, &action, &previous);
    if (signal == SIGINT && previous.sa_handler == SIG_IGN) {
        ::sigaction(SIGINT, &previous, nullptr);
    }
}

}  // namespace

void installSignalHandlers() {
    install(SIGFPE, endAfterAbort);
    install(SIGABRT, endAfterAbort);
    install(SIGINT, endAfterExit);
    install(SIGTERM, endAfterExit);
    // A console that went away (a closed pipe) must not end the run: console
    // write failures go unnoticed, and the files are still written.
    struct sigaction ignore {};
    ignore.sa_handler = SIG_IGN;
    sigemptyset(&ignore.sa_mask);
    ::sigaction(SIGPIPE, &ignore, nullptr);
}

}  // namespace gridorb::driver
