// End to end: faults a run must survive. Signals at exact points of the run
// (under a tracer, no timing), output names that cannot be written, an input
// pipe that ends early, and runs that follow each other in one folder.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "support/for013_writer.h"
#include "support/process_runner.h"
#include "support/traced_run.h"

namespace gridorb {
namespace {

namespace fs = std::filesystem;
using testsupport::ProcessResult;
using testsupport::ScratchDirectory;
using testsupport::readWholeFile;
using testsupport::sameText;
using testsupport::SystemCall;
using testsupport::TracedRun;

struct Molecule {
    std::string name;
    fs::path for013;
    std::string orbital;
};

const Molecule WATER{"water", fs::path(GRIDORB_EXAMPLES_DIR) / "water" / "FOR013", "4"};
const Molecule CHLOROMETHANE{"chloromethane", fs::path(GRIDORB_EXAMPLES_DIR) / "chloromethane" / "FOR013", "7"};
// 50 atoms: the longest coordinate file and console there is.
const Molecule PERFLUOROHEXADECANE{
    "perfluorohexadecane",
    fs::path(GRIDORB_EXAMPLES_DIR).parent_path() / "benchmarks" / "data" / "perfluorohexadecane" / "FOR013", "151"};

// What a completed run in an empty folder gives, once per molecule.
struct FullRun {
    std::string console;
    std::string coordinates;
    std::string volume;
};

const FullRun& fullRun(const Molecule& molecule) {
    static std::map<std::string, FullRun> runs;
    auto found = runs.find(molecule.name);
    if (found != runs.end()) return found->second;
    ScratchDirectory folder;
    folder.write("FOR013", readWholeFile(molecule.for013));
    const ProcessResult run = testsupport::runGridorb(folder, {molecule.orbital});
    EXPECT_TRUE(run.exited && run.exitStatus == 0) << molecule.name << ": " << run.describe();
    FullRun full{run.standardOutput, folder.read("TARNEL.COR").value_or(""), folder.read("VELD.VTK").value_or("")};
    return runs.emplace(molecule.name, std::move(full)).first->second;
}

// Every line complete with its CR LF, and no CR elsewhere.
::testing::AssertionResult wholeRecords(const std::string& text) {
    for (std::size_t i = 0; i < text.size(); ++i) {
        const bool lineEnd = text[i] == '\n';
        const bool carriageReturn = text[i] == '\r';
        if (lineEnd && (i == 0 || text[i - 1] != '\r')) return ::testing::AssertionFailure() << "bare LF at byte " << i;
        if (carriageReturn && (i + 1 == text.size() || text[i + 1] != '\n')) {
            return ::testing::AssertionFailure() << "CR without LF at byte " << i << " of " << text.size();
        }
    }
    return ::testing::AssertionSuccess();
}

// `text` is the first lines of `full`, `lines` of them when that is given.
::testing::AssertionResult leadingLines(const std::string& full, const std::string& text, int lines = -1) {
    if (auto whole = wholeRecords(text); !whole) return whole;
    if (full.compare(0, text.size(), text) != 0) {
        return ::testing::AssertionFailure() << "not a beginning of the full run's bytes (" << text.size() << " bytes)";
    }
    const auto count = static_cast<int>(std::count(text.begin(), text.end(), '\n'));
    if (lines >= 0 && count != lines) return ::testing::AssertionFailure() << count << " lines, not " << lines;
    return ::testing::AssertionSuccess();
}

// Files of an earlier run, each longer than anything this run writes.
const std::string EARLIER_COORDINATES = "earlier TARNEL.COR\r\n" + std::string(4000, 'c') + "\r\n";
const std::string EARLIER_VOLUME = "earlier VELD.VTK\r\n" + std::string(3000000, 'v') + "\r\n";

void placeEarlierFiles(const ScratchDirectory& folder) {
    folder.write("TARNEL.COR", EARLIER_COORDINATES);
    folder.write("VELD.VTK", EARLIER_VOLUME);
}

const std::vector<std::string> RUN_FILES{"FOR013", "TARNEL.COR", "VELD.VTK"};

// ---------------------------------------------------------------------------
// Interrupt and termination at exact points of the run.

enum class Window { Evaluation, CoordinateFile, VolumeFile };

// Where the run is stopped and the signal sent. Each point is a write made
// with the run's signals held, so the handler runs right after it.
std::function<bool(const SystemCall&)> stopAt(Window window) {
    switch (window) {
        case Window::Evaluation:
            // The last progress line, written as the evaluation reaches the last atom.
            return [](const SystemCall& call) {
                return call.isConsoleWrite() && call.bytes.rfind("PROCESSING ATOM NUMBER    50 ", 0) == 0;
            };
        case Window::CoordinateFile:
            // The echo of atom 20: TARNEL.COR holds its header and 20 atom lines, all still buffered.
            return [opened = false, echoes = 0](const SystemCall& call) mutable {
                if (call.isOpenOf("TARNEL.COR")) opened = true;
                return opened && call.isConsoleWrite() && ++echoes == 20;
            };
        case Window::VolumeFile:
            // The first write of VELD.VTK, a part of the file.
            return [](const SystemCall& call) { return call.isWriteTo("VELD.VTK"); };
    }
    return {};
}

struct SignalCase {
    Window window;
    int signal;
    const char* message;
    const char* name;
};

class EndToEndSignalAt : public ::testing::TestWithParam<SignalCase> {};

// Interrupt and termination end with status 1, a floating exception from
// outside through abort.
TEST_P(EndToEndSignalAt, EndsAbnormallyWithWholeRecords) {
    const SignalCase c = GetParam();
    const FullRun& full = fullRun(PERFLUOROHEXADECANE);
    ScratchDirectory folder;
    folder.write("FOR013", readWholeFile(PERFLUOROHEXADECANE.for013));
    placeEarlierFiles(folder);

    const TracedRun run = testsupport::runAndSignalAt(folder, {PERFLUOROHEXADECANE.orbital}, stopAt(c.window), c.signal);
    if (!run.traceable) GTEST_SKIP() << run.whyNot;
    ASSERT_TRUE(run.stopped) << "the run never reached the chosen point; it ended with " << run.result.describe();
    if (c.signal == SIGFPE) {
        ASSERT_TRUE(!run.result.exited && run.result.signal == SIGABRT) << run.result.describe();
    } else {
        ASSERT_TRUE(run.result.exited && run.result.exitStatus == 1) << run.result.describe();
    }
    EXPECT_EQ(run.result.standardError, std::string(c.message) + "\r\n");
    // Only the main thread may run a handler: the evaluation's helper (when
    // this machine gives it one) never does, and is gone once files are written.
    EXPECT_EQ(run.signalTakenBy, std::vector<pid_t>{run.mainThread}) << run.threadsSeen << " threads";
    EXPECT_EQ(folder.fileNames(), RUN_FILES);

    const std::string coordinates = folder.read("TARNEL.COR").value_or("");
    const std::string volume = folder.read("VELD.VTK").value_or("");
    const std::string& console = run.result.standardOutput;
    switch (c.window) {
        case Window::Evaluation:
            EXPECT_TRUE(coordinates == EARLIER_COORDINATES) << "TARNEL.COR was changed";
            EXPECT_TRUE(volume == EARLIER_VOLUME) << "VELD.VTK was changed";
            EXPECT_TRUE(leadingLines(full.console, console, 71));
            break;
        case Window::CoordinateFile:
            EXPECT_TRUE(leadingLines(full.coordinates, coordinates, 4 + 20)) << "cut after the last line it was given";
            EXPECT_TRUE(volume == EARLIER_VOLUME) << "VELD.VTK was changed";
            EXPECT_TRUE(leadingLines(full.console, console, 71 + 20));
            break;
        case Window::VolumeFile:
            EXPECT_TRUE(sameText(full.coordinates, coordinates));
            EXPECT_TRUE(leadingLines(full.volume, volume)) << "cut after the last line it was given";
            EXPECT_GT(volume.size(), 2 * 65536u);
            EXPECT_LT(volume.size(), full.volume.size());
            EXPECT_TRUE(sameText(full.console, console));
            break;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Windows, EndToEndSignalAt,
    ::testing::Values(SignalCase{Window::Evaluation, SIGINT, "Interrupt", "InterruptDuringEvaluation"},
                      SignalCase{Window::Evaluation, SIGTERM, "Killed", "TerminationDuringEvaluation"},
                      SignalCase{Window::CoordinateFile, SIGINT, "Interrupt", "InterruptInCoordinateFile"},
                      SignalCase{Window::CoordinateFile, SIGTERM, "Killed", "TerminationInCoordinateFile"},
                      SignalCase{Window::VolumeFile, SIGINT, "Interrupt", "InterruptInVolumeFile"},
                      SignalCase{Window::VolumeFile, SIGTERM, "Killed", "TerminationInVolumeFile"},
                      SignalCase{Window::Evaluation, SIGFPE, "Floating Exception", "FloatingExceptionDuringEvaluation"},
                      SignalCase{Window::VolumeFile, SIGFPE, "Floating Exception", "FloatingExceptionInVolumeFile"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Output that cannot be written. The report lines of a full disk, of a
// TARNEL.COR that is a directory and of a VELD.VTK link into a missing
// folder are held by the run tests; here, what the run leaves behind.

TEST(EndToEndFullDisk, VolumeFileOnAFullDiskLeavesTheCoordinatesComplete) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ScratchDirectory folder;
    folder.write("FOR013", readWholeFile(WATER.for013));
    fs::create_symlink("/dev/full", folder.path() / "VELD.VTK");
    const ProcessResult run = testsupport::runGridorb(folder, {WATER.orbital});
    EXPECT_TRUE(testsupport::endedAsFailure(run, true));
    EXPECT_TRUE(sameText(fullRun(WATER).coordinates, folder.read("TARNEL.COR").value_or("")));
    EXPECT_TRUE(sameText(fullRun(WATER).console, run.standardOutput)) << "the summary was written before the file";
    EXPECT_TRUE(fs::is_symlink(folder.path() / "VELD.VTK"));
}

TEST(EndToEndFullDisk, CoordinateFileOnAFullDiskLeavesTheVolumeFileAlone) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    ScratchDirectory folder;
    folder.write("FOR013", readWholeFile(WATER.for013));
    folder.write("VELD.VTK", EARLIER_VOLUME);
    fs::create_symlink("/dev/full", folder.path() / "TARNEL.COR");
    const ProcessResult run = testsupport::runGridorb(folder, {WATER.orbital});
    EXPECT_TRUE(testsupport::endedAsFailure(run, true));
    EXPECT_TRUE(folder.read("VELD.VTK") == EARLIER_VOLUME) << "VELD.VTK was changed";
    EXPECT_EQ(folder.fileNames(), RUN_FILES);
}

TEST(EndToEndUnwritableOutput, VolumeFileThatIsADirectory) {
    ScratchDirectory folder;
    folder.write("FOR013", readWholeFile(WATER.for013));
    fs::create_directory(folder.path() / "VELD.VTK");  // opens for reading only, even for root
    const ProcessResult run = testsupport::runGridorb(folder, {WATER.orbital});
    EXPECT_TRUE(testsupport::endedAsFailure(run, true));
    EXPECT_TRUE(sameText("write start: can't write file\r\napparent state: unit 24 named VELD.VTK\r\n"
                         "last format: (A)\r\nlately writing sequential formatted external IO\r\n",
                         run.standardError));
    EXPECT_TRUE(sameText(fullRun(WATER).coordinates, folder.read("TARNEL.COR").value_or("")));
    EXPECT_TRUE(fs::is_directory(folder.path() / "VELD.VTK") && fs::is_empty(folder.path() / "VELD.VTK"));
    EXPECT_EQ(folder.fileNames(), RUN_FILES);
}

TEST(EndToEndUnwritableOutput, CoordinateFileLinkIntoAMissingFolder) {
    ScratchDirectory folder;
    folder.write("FOR013", readWholeFile(WATER.for013));
    folder.write("VELD.VTK", EARLIER_VOLUME);
    fs::create_symlink(folder.path() / "missing-folder" / "TARNEL.COR", folder.path() / "TARNEL.COR");
    const ProcessResult run = testsupport::runGridorb(folder, {WATER.orbital});
    EXPECT_TRUE(testsupport::endedAsFailure(run, true));
    // The evaluator's last statement was formatted and has ended: no format is current.
    EXPECT_TRUE(sameText("open: No such file or directory\r\napparent state: unit 22 named TARNEL.COR\r\n"
                         "lately writing sequential formatted external IO\r\n",
                         run.standardError));
    EXPECT_TRUE(folder.read("VELD.VTK") == EARLIER_VOLUME) << "VELD.VTK was changed";
    EXPECT_TRUE(fs::is_symlink(folder.path() / "TARNEL.COR"));
    EXPECT_FALSE(fs::exists(folder.path() / "missing-folder"));
    EXPECT_EQ(folder.fileNames(), RUN_FILES);
}

// ---------------------------------------------------------------------------
// FOR013 a named pipe whose writer gives up early.

struct PipeCut {
    const char* name;
    std::size_t (*cutAt)(const testsupport::For013File&);
    const char* firstLine;
};

class EndToEndFor013Pipe : public ::testing::TestWithParam<PipeCut> {};

TEST_P(EndToEndFor013Pipe, ReportsTheEndOfFileAndChangesNothing) {
    const PipeCut c = GetParam();
    ScratchDirectory folder;
    testsupport::placeEarlierOutputs(folder);
    const testsupport::For013File file = testsupport::moleculeFile(testsupport::waterMolecule());
    const std::string bytes = file.byteString().substr(0, c.cutAt(file));
    const std::string fifo = (folder.path() / "FOR013").string();
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);

    // Opening the writing end waits for gridorb to open the reading end.
    std::thread writer([&] {
        const int fd = ::open(fifo.c_str(), O_WRONLY);
        if (fd < 0) return;
        const ssize_t written = ::write(fd, bytes.data(), bytes.size());
        EXPECT_EQ(written, static_cast<ssize_t>(bytes.size()));
        ::close(fd);
    });
    const ProcessResult run = testsupport::runGridorb(folder, {"1"});
    // Should gridorb never have opened the pipe, a reader lets the writer go.
    const int release = ::open(fifo.c_str(), O_RDONLY | O_NONBLOCK);
    writer.join();
    if (release >= 0) ::close(release);

    EXPECT_TRUE(testsupport::endedAsFailure(run, true));
    EXPECT_TRUE(sameText(std::string(c.firstLine) +
                             "\r\napparent state: unit 13 named FOR013\r\n"
                             "lately reading sequential unformatted external IO\r\n",
                         run.standardError));
    EXPECT_EQ(run.standardOutput, "");
    EXPECT_TRUE(testsupport::earlierOutputsUntouched(folder));
    EXPECT_EQ(folder.fileNames(), RUN_FILES);
}

INSTANTIATE_TEST_SUITE_P(
    Cuts, EndToEndFor013Pipe,
    ::testing::Values(PipeCut{"NothingWritten", [](const testsupport::For013File&) -> std::size_t { return 0; },
                              "start: end of file"},
                      PipeCut{"InsideTheFirstLengthWord",
                              [](const testsupport::For013File&) -> std::size_t { return 2; }, "start: end of file"},
                      PipeCut{"InsideTheCoordinates",
                              [](const testsupport::For013File& f) { return f.dataOffset(0) + 12 + 20; },
                              "do_us: end of file"},
                      PipeCut{"BeforeTheFourthRecord",
                              [](const testsupport::For013File& f) { return f.lengthWordOffset(3); },
                              "start: end of file"},
                      PipeCut{"InsideTheFifthRecord",
                              [](const testsupport::For013File& f) { return f.dataOffset(4) + 100; },
                              "do_us: end of file"}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// Two runs in one folder, a shorter and a longer molecule in both orders:
// every file holds exactly what the second run wrote.

struct RunPair {
    const Molecule* first;
    const Molecule* second;
};

class EndToEndRunAfterRun : public ::testing::TestWithParam<RunPair> {};

TEST_P(EndToEndRunAfterRun, LeavesOnlyTheLastRunsBytes) {
    const RunPair pair = GetParam();
    const FullRun& expected = fullRun(*pair.second);
    ScratchDirectory folder;
    folder.write("FOR013", readWholeFile(pair.first->for013));
    const ProcessResult first = testsupport::runGridorb(folder, {pair.first->orbital});
    ASSERT_TRUE(first.exited && first.exitStatus == 0) << first.describe();
    folder.write("FOR013", readWholeFile(pair.second->for013));
    const ProcessResult second = testsupport::runGridorb(folder, {pair.second->orbital});
    ASSERT_TRUE(second.exited && second.exitStatus == 0) << second.describe();
    EXPECT_EQ(second.standardError, "");
    EXPECT_TRUE(sameText(expected.console, second.standardOutput));
    EXPECT_TRUE(sameText(expected.coordinates, folder.read("TARNEL.COR").value_or("")));
    EXPECT_TRUE(sameText(expected.volume, folder.read("VELD.VTK").value_or("")));
    EXPECT_EQ(folder.fileNames(), RUN_FILES);
}

INSTANTIATE_TEST_SUITE_P(Pairs, EndToEndRunAfterRun,
                         ::testing::Values(RunPair{&WATER, &PERFLUOROHEXADECANE}, RunPair{&PERFLUOROHEXADECANE, &WATER},
                                           RunPair{&WATER, &CHLOROMETHANE}, RunPair{&CHLOROMETHANE, &WATER}),
                         [](const auto& info) { return info.param.first->name + "Then" + info.param.second->name; });

}  // namespace
}  // namespace gridorb
