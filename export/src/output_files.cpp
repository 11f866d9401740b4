#include "output_files.h"

#include <fcntl.h>
#include <limits.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace gridorb::exporter {
namespace {

// The one temporary that may exist at a time, for the signal handler.
char g_temporary[PATH_MAX + 1];
volatile sig_atomic_t g_temporaryExists = 0;
mode_t g_fileMode = 0644;

extern "C" void removeTemporaryAndEnd(int) {
    if (g_temporaryExists) ::unlink(g_temporary);
    static const char message[] = "gridorb-export: interrupted\n";
    [[maybe_unused]] ssize_t ignored = ::write(STDERR_FILENO, message, sizeof message - 1);
    ::_exit(1);
}

}  // namespace

std::string outputFileName(std::int32_t orbital, std::string_view label, std::string_view extension) {
    char number[16];
    std::snprintf(number, sizeof number, "%03d", static_cast<int>(orbital));
    std::string name = "orbital-" + std::string(number);
    if (!label.empty()) {
        name += '-';
        for (char c : label) name += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return name + "." + std::string(extension);
}

void installInterruptCleanup() {
    const mode_t mask = ::umask(0);
    ::umask(mask);
    g_fileMode = 0666 & ~mask;
    struct sigaction action {};
    action.sa_handler = removeTemporaryAndEnd;
    sigemptyset(&action.sa_mask);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) sigaddset(&action.sa_mask, signal);
    for (int signal : {SIGINT, SIGTERM, SIGHUP}) ::sigaction(signal, &action, nullptr);
    // A file beyond the size limit fails as a write, reported, not as a kill.
    ::signal(SIGXFSZ, SIG_IGN);
}

AtomicFile::AtomicFile(const std::string& folder, const std::string& name)
    : path_(folder.empty() || folder.back() == '/' ? folder + name : folder + "/" + name) {
    const std::string pattern = (folder.empty() || folder.back() == '/' ? folder : folder + "/") + "." + name + ".XXXXXX";
    if (pattern.size() > PATH_MAX) fail("cannot create", ENAMETOOLONG);
    // Written in the handler's buffer itself: there is no moment at which the
    // temporary exists and the handler does not know its name.
    std::memcpy(g_temporary, pattern.c_str(), pattern.size() + 1);
    g_temporaryExists = 1;
    fd_ = ::mkstemp(g_temporary);
    if (fd_ < 0) {
        const int error = errno;
        g_temporaryExists = 0;
        fail("cannot create", error);
    }
    temporary_ = g_temporary;
    if (::fchmod(fd_, g_fileMode) != 0) fail("cannot create", errno);
}

AtomicFile::~AtomicFile() {
    if (!committed_) discard();
}

void AtomicFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
    if (!temporary_.empty()) ::unlink(temporary_.c_str());
    g_temporaryExists = 0;
}

void AtomicFile::fail(const char* what, int error) {
    discard();
    throw WriteError(path_ + ": " + what + ": " + std::strerror(error));
}

void AtomicFile::write(std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::write(fd_, bytes.data(), bytes.size());
        if (n < 0) {
            if (errno == EINTR) continue;
            fail("cannot write", errno);
        }
        bytes.remove_prefix(static_cast<std::size_t>(n));
    }
}

void AtomicFile::commit() {
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0) fail("cannot write", errno);
    if (::rename(temporary_.c_str(), path_.c_str()) != 0) fail("cannot replace", errno);
    committed_ = true;
    g_temporaryExists = 0;
}

}  // namespace gridorb::exporter
