#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

// The export's file names, and files that appear whole or not at all: each
// is written under a temporary name in its folder and renamed when complete.
namespace gridorb::exporter {

// "orbital-015-homo.cube", "orbital-017-lumo+1.png"; without a label
// "orbital-015.cube". Three digits, so that names sort by orbital.
std::string outputFileName(std::int32_t orbital, std::string_view label, std::string_view extension);

struct WriteError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The file `folder`/`name`, written as ".name.XXXXXX" beside it. commit()
// renames it into place; without commit() (a failure, an exception) the
// temporary goes. Failures name the final path and the system's reason.
class AtomicFile {
public:
    AtomicFile(const std::string& folder, const std::string& name);
    ~AtomicFile();
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;

    void write(std::string_view bytes);
    // For a writer that opens the file itself by name.
    const std::string& temporaryPath() const { return temporary_; }
    const std::string& path() const { return path_; }
    void commit();

private:
    [[noreturn]] void fail(const char* what, int error);
    void discard();

    std::string path_;
    std::string temporary_;
    int fd_ = -1;
    bool committed_ = false;
};

// SIGINT, SIGTERM and SIGHUP remove the temporary being written before the
// process ends (status 1, as gridorb ends on them); also notes the umask, so
// that files get the mode a plain create would give them.
void installInterruptCleanup();

}  // namespace gridorb::exporter
