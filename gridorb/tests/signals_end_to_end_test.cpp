// End to end: signals during a run. FOR013 is a named pipe, so that the run
// waits for its input for as long as the test needs: once the test has
// opened the pipe's writing end, gridorb is past its start-up and its
// handlers are in place.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <string>

#include "support/for013_writer.h"
#include "support/process_runner.h"

namespace gridorb {
namespace {

using testsupport::ScratchDirectory;

struct SignalledRun {
    std::string standardError;
    int status = 0;
};

// Starts gridorb on a FOR013 pipe, sends `signal` while it waits for its
// input, then gives it `input` (possibly none) and waits for its end.
SignalledRun runAndSignal(const ScratchDirectory& folder, int signal, bool ignoreInterrupts,
                          const std::string& input = "") {
    const std::string fifo = (folder.path() / "FOR013").string();
    EXPECT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    int errPipe[2];
    EXPECT_EQ(::pipe(errPipe), 0);
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(errPipe[1], STDERR_FILENO);
        ::close(errPipe[0]);
        ::close(errPipe[1]);
        int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, STDIN_FILENO);
        ::dup2(null, STDOUT_FILENO);
        if (::chdir(folder.path().c_str()) != 0) ::_exit(120);
        ::signal(SIGINT, ignoreInterrupts ? SIG_IGN : SIG_DFL);
        const char* argv[] = {GRIDORB_BINARY, "1", nullptr};
        ::execv(GRIDORB_BINARY, const_cast<char* const*>(argv));
        ::_exit(121);
    }
    ::close(errPipe[1]);
    // Blocks until gridorb has opened FOR013 for reading.
    const int writer = ::open(fifo.c_str(), O_WRONLY);
    EXPECT_GE(writer, 0);
    ::kill(pid, signal);
    if (!input.empty()) {
        EXPECT_EQ(::write(writer, input.data(), input.size()), static_cast<ssize_t>(input.size()));
    }
    ::close(writer);

    SignalledRun run;
    char buffer[4096];
    ssize_t n;
    while ((n = ::read(errPipe[0], buffer, sizeof buffer)) > 0) run.standardError.append(buffer, static_cast<std::size_t>(n));
    ::close(errPipe[0]);
    ::waitpid(pid, &run.status, 0);
    return run;
}

TEST(EndToEndSignals, InterruptAndTerminationExitWithStatusOne) {
    for (auto [signal, message] : {std::pair{SIGINT, "Interrupt\r\n"}, std::pair{SIGTERM, "Killed\r\n"}}) {
        SCOPED_TRACE(message);
        ScratchDirectory folder;
        testsupport::placeEarlierOutputs(folder);
        const SignalledRun run = runAndSignal(folder, signal, false);
        ASSERT_TRUE(WIFEXITED(run.status)) << "status " << run.status;
        EXPECT_EQ(WEXITSTATUS(run.status), 1);
        EXPECT_EQ(run.standardError, message);
        EXPECT_TRUE(testsupport::earlierOutputsUntouched(folder));
    }
}

TEST(EndToEndSignals, FloatingPointAndAbortSignalsAbort) {
    for (auto [signal, message] : {std::pair{SIGFPE, "Floating Exception\r\n"}, std::pair{SIGABRT, "IOT Trap\r\n"}}) {
        SCOPED_TRACE(message);
        ScratchDirectory folder;
        testsupport::placeEarlierOutputs(folder);
        const SignalledRun run = runAndSignal(folder, signal, false);
        ASSERT_TRUE(WIFSIGNALED(run.status)) << "status " << run.status;
        EXPECT_EQ(WTERMSIG(run.status), SIGABRT);
        EXPECT_EQ(run.standardError, message);
        EXPECT_TRUE(testsupport::earlierOutputsUntouched(folder));
    }
}

TEST(EndToEndSignals, ARunStartedWithInterruptsIgnoredKeepsIgnoringThem) {
    ScratchDirectory folder;
    const std::string water = testsupport::moleculeFile(testsupport::waterMolecule()).byteString();
    const SignalledRun run = runAndSignal(folder, SIGINT, true, water);
    ASSERT_TRUE(WIFEXITED(run.status)) << "status " << run.status;
    EXPECT_EQ(WEXITSTATUS(run.status), 0) << run.standardError;
    EXPECT_EQ(run.standardError, "");
    EXPECT_TRUE(folder.read("VELD.VTK").has_value());
}

TEST(EndToEndSignals, AConsoleThatGoesAwayDoesNotEndTheRun) {
    ScratchDirectory folder;
    testsupport::writeFor013(folder.path() / "FOR013", testsupport::moleculeFile(testsupport::waterMolecule()));
    int console[2];
    ASSERT_EQ(::pipe(console), 0);
    ::close(console[0]);  // nobody reads the console: every write to it fails
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(console[1], STDOUT_FILENO);
        ::close(console[1]);
        if (::chdir(folder.path().c_str()) != 0) ::_exit(120);
        const char* argv[] = {GRIDORB_BINARY, "1", nullptr};
        ::execv(GRIDORB_BINARY, const_cast<char* const*>(argv));
        ::_exit(121);
    }
    ::close(console[1]);
    int status = 0;
    ::waitpid(pid, &status, 0);
    ASSERT_TRUE(WIFEXITED(status)) << "status " << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    const std::string volume = folder.read("VELD.VTK").value_or("");
    EXPECT_EQ(std::count(volume.begin(), volume.end(), '\n'), 99504) << "the volume file is complete";
}

}  // namespace
}  // namespace gridorb
