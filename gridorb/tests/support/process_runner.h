#pragma once

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Runs the real gridorb binary (GRIDORB_BINARY) the way a user would: in a
// directory of its own, with chosen files and arguments, capturing both
// standard streams as bytes and how the process ended.
namespace gridorb::testsupport {

// A fresh directory under the system's temporary directory, removed with
// everything in it when the object goes.
class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    void write(const std::string& name, const std::string& bytes) const;
    // The file's bytes, or nothing when it does not exist.
    std::optional<std::string> read(const std::string& name) const;
    // The names of the files it holds, sorted.
    std::vector<std::string> fileNames() const;

private:
    std::filesystem::path path_;
};

struct ProcessResult {
    std::string standardOutput;
    std::string standardError;
    bool exited = false;      // ended by exit(): see exitStatus
    int exitStatus = -1;
    int signal = 0;           // ended by this signal
    bool timedOut = false;    // killed by the runner

    // "exit status 2", "signal 6 (Aborted)", ...
    std::string describe() const;
};

// A file's whole content as bytes; empty when it cannot be read.
std::string readWholeFile(const std::filesystem::path& path);

// The gridorb command line, prepared before a fork: after it the child may
// only make async-signal-safe calls, so nothing may be built there.
class GridorbCommand {
public:
    GridorbCommand(const ScratchDirectory& directory, const std::vector<std::string>& arguments);
    GridorbCommand(const GridorbCommand&) = delete;
    GridorbCommand& operator=(const GridorbCommand&) = delete;

    // In the forked child: standard input from /dev/null, the console and
    // standard error onto these descriptors, the run's folder as working
    // directory, and signal mask and dispositions as a fresh process has
    // them (the test runner's must not leak into the run). Ends the child
    // with status 127 when any of it fails.
    void enterRunEnvironment(int console, int standardError) const;
    // execv of gridorb; returns only on failure.
    void execute() const;

private:
    std::string workingDirectory_;
    std::vector<std::string> strings_;
    std::vector<char*> argv_;
};

// Runs gridorb in `directory` with these arguments (argv[1] onwards; none at
// all for a run without an argument). Standard input is /dev/null.
ProcessResult runGridorb(const ScratchDirectory& directory, const std::vector<std::string>& arguments,
                         std::chrono::seconds timeout = std::chrono::seconds(300));

// Output files of an earlier run, placed before a run that must fail before
// its output step, and checked afterwards: byte for byte as placed.
void placeEarlierOutputs(const ScratchDirectory& directory);
::testing::AssertionResult earlierOutputsUntouched(const ScratchDirectory& directory);

// A run that failed as gridorb fails: the fatal report's abort, or, for
// input beyond its limits, exit status 2.
::testing::AssertionResult endedAsFailure(const ProcessResult& result, bool aborts);

// Equal texts, or a failure that names the first differing line (1-based)
// and shows both versions of it, line ends made visible.
::testing::AssertionResult sameText(std::string_view expected, std::string_view actual);

}  // namespace gridorb::testsupport
