#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "units/fatal_report.h"
#include "units/run_end.h"
#include "units/unit_table.h"

namespace gridorb::units {
namespace {

namespace fs = std::filesystem;

char g_lent[3 * UNIT_BUFFER_SIZE];  // memory a run lends a unit, larger than its own buffer

std::size_t readAll(int unit, char* destination, std::size_t length) {
    std::size_t got = 0;
    endRunOn(readBytes(unit, destination, length, "test", got));
    return got;
}

class UnitTable : public ::testing::Test {
protected:
    void SetUp() override {
        connectStandardUnits();
        folder_ = fs::temp_directory_path() / ("gridorb-units-" + std::to_string(::getpid()) + "-" +
                                               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(folder_);
        fs::create_directories(folder_);
        statementState() = StatementState{};
    }
    void TearDown() override { fs::remove_all(folder_); }

    std::string path(const char* name) const { return (folder_ / name).string(); }

    static std::string contents(const std::string& file) {
        std::ifstream in(file, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void put(const std::string& file, const std::string& bytes) {
        std::ofstream(file, std::ios::binary) << bytes;
    }

    fs::path folder_;
};

TEST_F(UnitTable, OutputFileIsCreatedOverwrittenAndCutToThisRun) {
    const std::string created = path("NEW.TXT");
    endRunOn(openOutputFile(30, created));
    EXPECT_TRUE(fs::exists(created)) << "created by the open, before any write";
    endRunOn(writeRecord(30, "ab", 2));
    endRunOn(closeUnit(30));
    EXPECT_EQ(contents(created), "ab\r\n");

    const std::string longer = path("LONGER.TXT");
    put(longer, "0123456789012345678901234567890123456789");
    endRunOn(openOutputFile(31, longer));
    endRunOn(writeRecord(31, "first", 5));
    endRunOn(writeRecord(31, "", 0));
    endRunOn(closeUnit(31));
    EXPECT_EQ(contents(longer), "first\r\n\r\n");

    const std::string shorter = path("SHORTER.TXT");
    put(shorter, "xy");
    endRunOn(openOutputFile(32, shorter + "   "));  // trailing blanks are not part of the name
    endRunOn(writeRecord(32, "a longer record", 15));
    endRunOn(closeUnit(32));
    EXPECT_EQ(contents(shorter), "a longer record\r\n");
    EXPECT_FALSE(isConnected(32));
}

TEST_F(UnitTable, LongRecordsAndManyRecordsKeepTheirOrder) {
    const std::string file = path("MANY.TXT");
    endRunOn(openOutputFile(33, file));
    std::string expected;
    const std::string big(100000, 'x');  // longer than a stream buffer
    for (int i = 0; i < 20000; ++i) {
        std::string record = std::to_string(i);
        endRunOn(writeRecord(33, record.data(), record.size()));
        expected += record + "\r\n";
        if (i == 777) {
            endRunOn(writeRecord(33, big.data(), big.size()));
            expected += big + "\r\n";
        }
        if (i == 5000) lendOutputBuffer(33, g_lent, sizeof g_lent);  // with records still buffered
    }
    endRunOn(closeUnit(33));
    EXPECT_TRUE(contents(file) == expected);
}

TEST_F(UnitTable, AnUnwrittenExistingFileIsLeftAsItWas) {
    const std::string file = path("KEEP.TXT");
    put(file, "old content\r\n");
    endRunOn(openOutputFile(34, file));
    endRunOn(closeUnit(34));
    EXPECT_EQ(contents(file), "old content\r\n");
}

TEST_F(UnitTable, InputIsReadAndSkippedAcrossBuffersAndNeverWritten) {
    const std::string file = path("INPUT.BIN");
    std::string bytes;
    for (int i = 0; i < 200000; ++i) bytes.push_back(static_cast<char>(i * 7));
    put(file, bytes);
    ::chmod(file.c_str(), 0444);
    endRunOn(openInputFile(35, file));
    char head[3];
    ASSERT_EQ(readAll(35, head, 3), 3u);
    EXPECT_EQ(std::string(head, 3), bytes.substr(0, 3));
    skipBytes(35, 150000);
    char middle[4];
    ASSERT_EQ(readAll(35, middle, 4), 4u);
    EXPECT_EQ(std::string(middle, 4), bytes.substr(150003, 4));
    skipBytes(35, 1LL << 40);  // far past the end: the next read meets end of file
    EXPECT_EQ(readAll(35, middle, 4), 0u);
    endRunOn(closeUnit(35));
    EXPECT_TRUE(contents(file) == bytes);
}

TEST_F(UnitTable, InputMayBeAPipe) {
    int fds[2];
    ASSERT_EQ(::pipe(fds), 0);
    std::string bytes(100000, '\0');
    for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i % 251);
    // Small enough to sit in the pipe before anything reads it.
    ASSERT_EQ(::write(fds[1], bytes.data(), 60000), 60000);
    ::close(fds[1]);
    endRunOn(openInputFile(36, "/dev/fd/" + std::to_string(fds[0])));
    ::close(fds[0]);
    char got[5];
    skipBytes(36, 50000);  // past the first buffer: read and discarded
    ASSERT_EQ(readAll(36, got, 5), 5u);
    EXPECT_EQ(std::string(got, 5), bytes.substr(50000, 5));
    endRunOn(closeUnit(36));
}

TEST_F(UnitTable, ReopeningAConnectedInputUnitStartsAgainAtTheFirstByte) {
    // One process may read FOR013 many times (the fuzz target does): the
    // position and the buffered bytes of the earlier connection must go.
    const std::string file = path("FOR013");
    put(file, "ABCDEFGHIJKLMNOP");
    endRunOn(openInputFile(37, file));
    char got[4];
    ASSERT_EQ(readAll(37, got, 3), 3u);
    skipBytes(37, 5);
    put(file, "new");  // shorter than the position reached
    endRunOn(openInputFile(37, file));
    ASSERT_EQ(readAll(37, got, 4), 3u);
    EXPECT_EQ(std::string(got, 3), "new");
    endRunOn(closeUnit(37));
    EXPECT_FALSE(isConnected(37));
}

// --- The fatal report and the ends of a run ------------------------------

TEST_F(UnitTable, MissingInputFileIsReportedWithTheSystemsText) {
    const std::string missing = path("FOR013");
    EXPECT_EXIT(endRunOn(openInputFile(13, missing)), testing::KilledBySignal(SIGABRT),
                testing::Eq("open: No such file or directory\r\n"
                            "apparent state: unit 13 named " + missing + "\r\n"
                            "lately writing direct unformatted external IO\r\n"));
}

[[noreturn]] void failWithState(const StatementState& state, int number, const char* context) {
    statementState() = state;
    endFailedRun(number, context);
}

TEST_F(UnitTable, ReportLinesFollowTheStatementState) {
    const StatementState internalRead{-1, nullptr, true, true, true, false};
    EXPECT_EXIT(failWithState(internalRead, END_OF_FILE, "list in"), testing::KilledBySignal(SIGABRT),
                testing::Eq("list in: end of file\r\napparent state: internal I/O\r\n"
                            "lately reading sequential formatted internal IO\r\n"));
    const StatementState formattedConsole{6, "(4I5)", false, true, true, true};
    EXPECT_EXIT(failWithState(formattedConsole, ERROR_IN_FORMAT, "startio"), testing::KilledBySignal(SIGABRT),
                testing::Eq("startio: error in format\r\napparent state: unit 6 (unnamed)\r\nlast format: (4I5)\r\n"
                            "lately writing sequential formatted external IO\r\n"));
    const StatementState initial{};
    EXPECT_EXIT(failWithState(initial, 500, "odd"), testing::KilledBySignal(SIGABRT),
                testing::Eq("odd: illegal error number 500\r\napparent state: internal I/O\r\n"
                            "lately writing direct unformatted internal IO\r\n"));
    EXPECT_EXIT(failWithState(initial, -7, "odd"), testing::KilledBySignal(SIGABRT),
                testing::StartsWith("odd: illegal error number -7\r\n"));
}

TEST_F(UnitTable, EveryLibraryErrorHasItsText) {
    for (int n = 100; n <= 131; ++n) EXPECT_NE(libraryErrorText(n), nullptr) << n;
    EXPECT_EQ(libraryErrorText(99), nullptr);
    EXPECT_EQ(libraryErrorText(132), nullptr);
    EXPECT_STREQ(libraryErrorText(110), "off end of record");
    EXPECT_STREQ(libraryErrorText(127), "can't write file");
    EXPECT_EQ(describeFailure(OFF_END_OF_RECORD, "do_us"), "do_us: off end of record");
    EXPECT_EQ(describeFailure(ENOENT, "open"), "open: No such file or directory");
}

TEST_F(UnitTable, FatalReportKeepsCompletedRecordsAndCutsTheFile) {
    const std::string file = path("PARTIAL.TXT");
    put(file, std::string(1000, 'z'));
    EXPECT_EXIT(
        {
            endRunOn(openOutputFile(24, file));
            lendOutputBuffer(24, g_lent, sizeof g_lent);
            endRunOn(writeRecord(24, "kept", 4));
            endRunOn(writeRecord(CONSOLE_UNIT, "console line", 12));
            endFailedRun(OFF_END_OF_RECORD, "do_us");
        },
        testing::KilledBySignal(SIGABRT), testing::StartsWith("do_us: off end of record\r\n"));
    EXPECT_EQ(contents(file), "kept\r\n");
}

TEST_F(UnitTable, StopClosesAndCutsEveryFileAndExitsZero) {
    const std::string file = path("STOPPED.TXT");
    put(file, std::string(1000, 'z'));
    EXPECT_EXIT(
        {
            endRunOn(openOutputFile(24, file));
            endRunOn(writeRecord(24, "last", 4));
            stopRun();
        },
        testing::ExitedWithCode(0), testing::Eq(""));
    EXPECT_EQ(contents(file), "last\r\n");
}

TEST_F(UnitTable, TheEndOfARunAbortsWhateverHandlesTheAbortSignal) {
    // A handler of the program's own would otherwise turn the abort into an
    // orderly exit.
    EXPECT_EXIT(
        {
            ::signal(SIGABRT, [](int) { ::_exit(0); });
            endFailedRun(OFF_END_OF_RECORD, "do_us");
        },
        testing::KilledBySignal(SIGABRT), "");
    EXPECT_EXIT(exitRun(7), testing::ExitedWithCode(7), "");
}

TEST_F(UnitTable, RejectedInputIsOneLineAndStatusTwo) {
    EXPECT_EXIT(endRejectedRun("FOR013: 62 atoms; at most 50 are supported"), testing::ExitedWithCode(2),
                testing::Eq("FOR013: 62 atoms; at most 50 are supported\r\n"));
}

TEST_F(UnitTable, AFailedWriteToAFileEndsTheRun) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    EXPECT_EXIT(
        {
            endRunOn(openOutputFile(22, "/dev/full"));
            statementState().formatText = "list io";
            endRunOn(writeRecord(22, "x", 1));
            endRunOn(closeUnit(22));
        },
        testing::KilledBySignal(SIGABRT),
        testing::Eq("write: No space left on device\r\napparent state: unit 22 named /dev/full\r\n"
                    "last format: list io\r\nlately writing direct unformatted external IO\r\n"));
}

TEST_F(UnitTable, AFileThatCannotBeCutEndsTheRunAtClose) {
    // A memory file sealed against shrinking, longer than what is written.
    EXPECT_EXIT(
        {
            int fd = ::memfd_create("TARNEL.COR", MFD_ALLOW_SEALING);
            if (fd < 0 || ::write(fd, std::string(1000, 'z').data(), 1000) != 1000 ||
                ::fcntl(fd, F_ADD_SEALS, F_SEAL_SHRINK) != 0) {
                std::_Exit(99);
            }
            endRunOn(openOutputFile(22, "/proc/self/fd/" + std::to_string(fd)));
            endRunOn(writeRecord(22, "kept", 4));
            endRunOn(closeUnit(22));
        },
        testing::KilledBySignal(SIGABRT), testing::StartsWith("endfile: truncation failed in endfile\r\n"));
}

TEST_F(UnitTable, AnOutputFileThatCannotBeCreatedIsReported) {
    const std::string impossible = path("no-such-folder/VELD.VTK");
    EXPECT_EXIT(endRunOn(openOutputFile(24, impossible)), testing::KilledBySignal(SIGABRT),
                testing::StartsWith("open: No such file or directory\r\napparent state: unit 24 named " +
                                    impossible + "\r\n"));
}

}  // namespace
}  // namespace gridorb::units
