#include "support/process_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

#ifndef GRIDORB_BINARY
#error "GRIDORB_BINARY must name the gridorb executable"
#endif

namespace gridorb::testsupport {
namespace fs = std::filesystem;

ScratchDirectory::ScratchDirectory() {
    std::string pattern = (fs::temp_directory_path() / "gridorb-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp: " + std::string(std::strerror(errno)));
    path_ = pattern;
}

ScratchDirectory::~ScratchDirectory() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
}

void ScratchDirectory::write(const std::string& name, const std::string& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + (path_ / name).string());
}

std::optional<std::string> ScratchDirectory::read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

std::vector<std::string> ScratchDirectory::fileNames() const {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(path_)) names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string readWholeFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream bytes;
    bytes << in.rdbuf();
    return bytes.str();
}

GridorbCommand::GridorbCommand(const ScratchDirectory& directory, const std::vector<std::string>& arguments)
    : workingDirectory_(directory.path().string()), strings_{GRIDORB_BINARY} {
    strings_.insert(strings_.end(), arguments.begin(), arguments.end());
    for (std::string& s : strings_) argv_.push_back(s.data());
    argv_.push_back(nullptr);
}

void GridorbCommand::enterRunEnvironment(int console, int standardError) const {
    int devNull = ::open("/dev/null", O_RDONLY);
    if (devNull < 0 || ::dup2(devNull, 0) < 0 || ::dup2(console, 1) < 0 || ::dup2(standardError, 2) < 0 ||
        ::chdir(workingDirectory_.c_str()) != 0) {
        ::_exit(127);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    for (int s : {SIGINT, SIGTERM, SIGFPE, SIGABRT, SIGPIPE}) ::signal(s, SIG_DFL);
}

void GridorbCommand::execute() const { ::execv(argv_[0], argv_.data()); }

std::string ProcessResult::describe() const {
    if (timedOut) return "timed out";
    if (exited) return "exit status " + std::to_string(exitStatus);
    return "signal " + std::to_string(signal) + " (" + strsignal(signal) + ")";
}

namespace {

void closeIfOpen(int& fd) {
    if (fd >= 0) ::close(fd);
    fd = -1;
}

}  // namespace

ProcessResult runGridorb(const ScratchDirectory& directory, const std::vector<std::string>& arguments,
                         std::chrono::seconds timeout) {
    const GridorbCommand command(directory, arguments);

    int out[2];
    int err[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");

    pid_t pid = ::fork();
    if (pid < 0) throw std::runtime_error("fork failed");
    if (pid == 0) {
        command.enterRunEnvironment(out[1], err[1]);
        command.execute();
        ::_exit(127);
    }
    ::close(out[1]);
    ::close(err[1]);

    ProcessResult result;
    int fds[2] = {out[0], err[0]};
    std::string* sinks[2] = {&result.standardOutput, &result.standardError};
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (fds[0] >= 0 || fds[1] >= 0) {
        pollfd polled[2];
        for (int i = 0; i < 2; ++i) polled[i] = {fds[i], POLLIN, 0};
        auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            ::kill(pid, SIGKILL);
            result.timedOut = true;
            break;
        }
        int ready = ::poll(polled, 2, static_cast<int>(std::min<long long>(left.count(), 1000)));
        if (ready < 0 && errno != EINTR) break;
        for (int i = 0; i < 2; ++i) {
            if (fds[i] < 0 || (polled[i].revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
            char chunk[65536];
            ssize_t n = ::read(fds[i], chunk, sizeof chunk);
            if (n > 0) {
                sinks[i]->append(chunk, static_cast<std::size_t>(n));
            } else if (n == 0 || errno != EINTR) {
                closeIfOpen(fds[i]);
            }
        }
    }
    closeIfOpen(fds[0]);
    closeIfOpen(fds[1]);

    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (WIFEXITED(status)) {
        result.exited = true;
        result.exitStatus = WEXITSTATUS(status);
    } else if (WIFSIGNALED(status)) {
        result.signal = WTERMSIG(status);
    }
    return result;
}

namespace {

// Longer than anything a failed run could have started to write over them.
const std::string EARLIER_COORDINATES = std::string("earlier TARNEL.COR\r\n") + std::string(3000, 'c') + "\r\n";
const std::string EARLIER_VOLUME = std::string("earlier VELD.VTK\r\n") + std::string(3000, 'v') + "\r\n";

}  // namespace

void placeEarlierOutputs(const ScratchDirectory& directory) {
    directory.write("TARNEL.COR", EARLIER_COORDINATES);
    directory.write("VELD.VTK", EARLIER_VOLUME);
}

::testing::AssertionResult earlierOutputsUntouched(const ScratchDirectory& directory) {
    for (const auto& [name, bytes] : {std::pair{"TARNEL.COR", &EARLIER_COORDINATES}, std::pair{"VELD.VTK", &EARLIER_VOLUME}}) {
        std::optional<std::string> now = directory.read(name);
        if (!now) return ::testing::AssertionFailure() << name << " is gone";
        if (*now != *bytes) return ::testing::AssertionFailure() << name << " was changed";
    }
    return ::testing::AssertionSuccess();
}

namespace {

std::string visible(std::string_view line) {
    std::string shown;
    for (char c : line) {
        if (c == '\r') {
            shown += "\\r";
        } else if (c == '\n') {
            shown += "\\n";
        } else if (c == '\t') {
            shown += "\\t";
        } else if (static_cast<unsigned char>(c) < 0x20 || static_cast<unsigned char>(c) >= 0x7f) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned char>(c));
            shown += hex;
        } else {
            shown += c;
        }
    }
    return shown;
}

// The line that starts at `at`, with its "\n" if it has one.
std::string_view lineAt(std::string_view text, std::size_t at) {
    if (at >= text.size()) return {};
    std::size_t end = text.find('\n', at);
    return text.substr(at, end == std::string_view::npos ? std::string_view::npos : end - at + 1);
}

}  // namespace

::testing::AssertionResult endedAsFailure(const ProcessResult& result, bool aborts) {
    const bool asExpected = aborts ? (!result.exited && result.signal == SIGABRT)
                                   : (result.exited && result.exitStatus == 2);
    if (asExpected) return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << result.describe();
}

::testing::AssertionResult sameText(std::string_view expected, std::string_view actual) {
    if (expected == actual) return ::testing::AssertionSuccess();
    std::size_t at = 0;
    std::size_t number = 1;
    while (true) {
        std::string_view e = lineAt(expected, at);
        std::string_view a = lineAt(actual, at);
        if (e != a || (e.empty() && a.empty())) {
            auto shown = [at](std::string_view text, std::string_view line) {
                std::string quoted = "<end of text>";
                if (at < text.size()) {
                    quoted = "\"";
                    quoted += visible(line);
                    quoted += "\"";
                }
                return quoted;
            };
            return ::testing::AssertionFailure()
                   << "texts differ at line " << number << " (expected " << expected.size() << " bytes, got "
                   << actual.size() << ")\n  expected: " << shown(expected, e) << "\n  actual:   " << shown(actual, a);
        }
        at += e.size();
        ++number;
    }
}

}  // namespace gridorb::testsupport
