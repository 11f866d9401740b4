// End to end: the real gridorb on damaged FOR013 files. Each run must end
// with the exact report on standard error, nothing on standard output, and
// the output files of an earlier run left byte for byte as they were;
// FOR013 itself is only ever read.
#include <gtest/gtest.h>

#include <signal.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

#include "support/for013_writer.h"
#include "support/process_runner.h"

namespace gridorb {
namespace {

using testsupport::For013File;
using testsupport::ProcessResult;
using testsupport::ScratchDirectory;

std::string for013Report(const std::string& firstLine) {
    return firstLine + "\r\napparent state: unit 13 named FOR013\r\nlately reading sequential unformatted external IO\r\n";
}

const std::string START_END_OF_FILE = for013Report("start: end of file");
const std::string ITEM_END_OF_FILE = for013Report("do_us: end of file");
const std::string OFF_END_OF_RECORD = for013Report("do_us: off end of record");

// Water: records of 84, 24, 84, 288 and 288 bytes.
For013File water() { return testsupport::moleculeFile(testsupport::waterMolecule()); }

void setWord(For013File& file, std::size_t record, std::size_t offset, std::int32_t value) {
    auto bits = static_cast<std::uint32_t>(value);
    for (int i = 0; i < 4; ++i) file.records[record].data[offset + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(bits >> (8 * i));
}

// Record 1 cut to its two counts, so that a rejection is seen to come
// before anything else is read.
For013File countsOnly(std::int32_t atoms, std::int32_t orbitals) {
    For013File file = water();
    file.records.resize(1);
    file.records[0].data.resize(8);
    setWord(file, 0, 0, atoms);
    setWord(file, 0, 4, orbitals);
    return file;
}

struct DamagedFile {
    std::string name;
    std::function<For013File()> make;
    std::string expectedError;
    bool aborts;  // the fatal report; otherwise a rejection with exit status 2
};

void PrintTo(const DamagedFile& c, std::ostream* os) { *os << c.name; }

std::vector<DamagedFile> damagedFiles() {
    std::vector<DamagedFile> cases;
    auto fatal = [&](std::string name, std::function<For013File()> make, const std::string& report) {
        cases.push_back({std::move(name), std::move(make), report, true});
    };
    auto rejected = [&](std::string name, std::function<For013File()> make, const std::string& line) {
        cases.push_back({std::move(name), std::move(make), line + "\r\n", false});
    };

    fatal("empty file", [] { For013File f = water(); f.cutAt = 0; return f; }, START_END_OF_FILE);
    for (std::size_t k = 1; k <= 5; ++k) {
        const std::string record = "record " + std::to_string(k);
        if (k >= 2) {
            fatal(record + " missing", [k] { For013File f = water(); f.records.resize(k - 1); return f; }, START_END_OF_FILE);
            fatal(record + " cut inside its length word",
                  [k] { For013File f = water(); f.cutAt = f.lengthWordOffset(k - 1) + 2; return f; }, START_END_OF_FILE);
        }
        fatal(record + " one byte short",
              [k] {
                  For013File f = water();
                  f.records[k - 1].data.pop_back();
                  return f;
              },
              OFF_END_OF_RECORD);
        // Three bytes into an item: the file ends inside it.
        fatal(record + " cut inside its data",
              [k] { For013File f = water(); f.cutAt = f.dataOffset(k - 1) + 8 + 3; return f; }, ITEM_END_OF_FILE);
        fatal(record + " with a negative length word",
              [k] { For013File f = water(); f.records[k - 1].lengthWord = -1; return f; }, OFF_END_OF_RECORD);
        if (k <= 4) {
            // Its items are read; the skip past it leaves the file behind.
            fatal(record + " claiming 2^31 - 1 bytes",
                  [k] { For013File f = water(); f.records[k - 1].lengthWord = INT32_MAX; return f; }, START_END_OF_FILE);
        }
    }
    fatal("record 1 holding only the atom count",
          [] { For013File f = water(); f.records[0].data.resize(4); return f; }, OFF_END_OF_RECORD);
    fatal("record 1 empty", [] { For013File f = water(); f.records[0].data.clear(); return f; }, OFF_END_OF_RECORD);
    fatal("record 3 claiming 2^31 - 1 bytes and cut inside its data",
          [] {
              For013File f = water();
              f.records[2].lengthWord = INT32_MAX;
              f.cutAt = f.dataOffset(2) + 60;
              return f;
          },
          ITEM_END_OF_FILE);
    // The item that passes the length would also meet the end of the file:
    // passing the length is what counts.
    fatal("record 5 ending inside an item that passes its length",
          [] {
              For013File f = water();
              f.records[4].data.resize(100);
              f.records[4].writeTrailingWord = false;
              return f;
          },
          OFF_END_OF_RECORD);
    fatal("record 4 with the most negative length word",
          [] { For013File f = water(); f.records[3].lengthWord = INT32_MIN; return f; }, OFF_END_OF_RECORD);
    // Nothing is taken from records 2 and 3 without atoms, but a negative
    // length cannot be skipped over.
    fatal("record 2 of a molecule without atoms with a negative length word",
          [] {
              testsupport::MoleculeSpec none;
              none.orbitalCount = 1;
              For013File f = testsupport::moleculeFile(none);
              f.records[1].lengthWord = -8;
              return f;
          },
          OFF_END_OF_RECORD);
    // Without it the skip swallows record 2's length word, and record 2's
    // first word (4, the last basis function of oxygen) is taken for one.
    fatal("record 1 without its trailing word",
          [] { For013File f = water(); f.records[0].writeTrailingWord = false; return f; }, OFF_END_OF_RECORD);

    rejected("51 atoms", [] { return countsOnly(51, 6); }, "FOR013: 51 atoms; at most 50 are supported");
    rejected("2^31 - 1 atoms", [] { return countsOnly(INT32_MAX, 6); }, "FOR013: 2147483647 atoms; at most 50 are supported");
    rejected("-1 atoms", [] { return countsOnly(-1, 6); }, "FOR013: -1 atoms; from 0 to 50 are supported");
    rejected("0 orbitals", [] { return countsOnly(3, 0); }, "FOR013: 0 orbitals; from 1 to 200 are supported");
    rejected("201 orbitals", [] { return countsOnly(3, 201); }, "FOR013: 201 orbitals; from 1 to 200 are supported");
    rejected("the most negative orbital count", [] { return countsOnly(3, INT32_MIN); },
             "FOR013: -2147483648 orbitals; from 1 to 200 are supported");
    rejected("both counts out of range", [] { return countsOnly(62, 500); }, "FOR013: 62 atoms; at most 50 are supported");
    return cases;
}

class EndToEndWavefunctionFile : public testing::TestWithParam<DamagedFile> {};

TEST_P(EndToEndWavefunctionFile, EndsTheRunAndLeavesEarlierOutputs) {
    ScratchDirectory directory;
    const std::string for013 = GetParam().make().byteString();
    directory.write("FOR013", for013);
    testsupport::placeEarlierOutputs(directory);

    ProcessResult result = testsupport::runGridorb(directory, {"1"});

    EXPECT_TRUE(testsupport::sameText(GetParam().expectedError, result.standardError));
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_TRUE(testsupport::endedAsFailure(result, GetParam().aborts));
    EXPECT_TRUE(testsupport::earlierOutputsUntouched(directory));
    EXPECT_EQ(directory.read("FOR013"), for013);
    EXPECT_EQ(directory.fileNames(), (std::vector<std::string>{"FOR013", "TARNEL.COR", "VELD.VTK"}));
}

INSTANTIATE_TEST_SUITE_P(Damaged, EndToEndWavefunctionFile, testing::ValuesIn(damagedFiles()),
                         [](const testing::TestParamInfo<DamagedFile>& info) {
                             std::string name;
                             for (char c : info.param.name) name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                             return name;
                         });

TEST(EndToEndWavefunctionFileMissing, ReportsTheOpenBeforeAnythingElse) {
    ScratchDirectory directory;
    testsupport::placeEarlierOutputs(directory);
    // No argument either: FOR013 is what fails first.
    ProcessResult result = testsupport::runGridorb(directory, {});
    EXPECT_TRUE(testsupport::sameText(
        "open: No such file or directory\r\napparent state: unit 13 named FOR013\r\n"
        "lately writing direct unformatted external IO\r\n",
        result.standardError));
    EXPECT_EQ(result.standardOutput, "");
    EXPECT_TRUE(!result.exited && result.signal == SIGABRT) << result.describe();
    EXPECT_TRUE(testsupport::earlierOutputsUntouched(directory));
    EXPECT_EQ(directory.fileNames(), (std::vector<std::string>{"TARNEL.COR", "VELD.VTK"}));
}

// It opens (for reading only), but its first length word cannot be read.
TEST(EndToEndWavefunctionFileMissing, ReportsADirectoryNamedFor013) {
    ScratchDirectory directory;
    std::filesystem::create_directory(directory.path() / "FOR013");
    testsupport::placeEarlierOutputs(directory);
    ProcessResult result = testsupport::runGridorb(directory, {"1"});
    EXPECT_TRUE(testsupport::sameText(for013Report("start: Is a directory"), result.standardError));
    EXPECT_TRUE(!result.exited && result.signal == SIGABRT) << result.describe();
    EXPECT_TRUE(testsupport::earlierOutputsUntouched(directory));
}

TEST(EndToEndWavefunctionFileMissing, CreatesNoOutputFile) {
    ScratchDirectory directory;
    For013File cut = water();
    cut.cutAt = cut.dataOffset(3) + 100;
    directory.write("FOR013", cut.byteString());
    ProcessResult result = testsupport::runGridorb(directory, {"1"});
    EXPECT_TRUE(testsupport::sameText(ITEM_END_OF_FILE, result.standardError));
    EXPECT_EQ(directory.fileNames(), std::vector<std::string>{"FOR013"});
}

// A damaged file is reported even when the argument is bad as well: the
// whole file is read before the argument is looked at.
TEST(EndToEndWavefunctionFileOrder, FileFailuresComeBeforeTheArgument) {
    For013File shortRecord5 = water();
    shortRecord5.records[4].data.resize(100);
    for (const std::vector<std::string>& arguments : {std::vector<std::string>{}, std::vector<std::string>{"x7"}}) {
        ScratchDirectory directory;
        directory.write("FOR013", shortRecord5.byteString());
        ProcessResult result = testsupport::runGridorb(directory, arguments);
        EXPECT_TRUE(testsupport::sameText(OFF_END_OF_RECORD, result.standardError));
    }
}

// What the reader skips (longer records, trailing words, what follows the
// fifth record, a length word of 2^31 - 1 on it) leaves the whole run as it
// is with the exact file.
TEST(EndToEndWavefunctionFileAccepted, FramingThatIsNotReadChangesNoOutput) {
    const For013File exact = water();
    For013File looseFile = exact;
    for (auto& record : looseFile.records) {
        record.data.insert(record.data.end(), 13, 0xab);
        record.trailingWordValue = 12345;
    }
    looseFile.records[4].lengthWord = INT32_MAX;
    looseFile.records[4].writeTrailingWord = false;
    looseFile.tail = {0x4c, 0, 0, 0, 1, 2, 3};

    const For013File& loose = looseFile;

    std::string outputs[2][3];
    int i = 0;
    for (const For013File* file : {&exact, &loose}) {
        ScratchDirectory directory;
        directory.write("FOR013", file->byteString());
        ProcessResult result = testsupport::runGridorb(directory, {"4"});
        ASSERT_TRUE(result.exited && result.exitStatus == 0) << result.describe() << "\n" << result.standardError;
        EXPECT_EQ(result.standardError, "");
        outputs[i][0] = result.standardOutput;
        outputs[i][1] = directory.read("TARNEL.COR").value_or("<missing>");
        outputs[i][2] = directory.read("VELD.VTK").value_or("<missing>");
        ++i;
    }
    EXPECT_TRUE(testsupport::sameText(outputs[0][0], outputs[1][0])) << "standard output";
    EXPECT_TRUE(testsupport::sameText(outputs[0][1], outputs[1][1])) << "TARNEL.COR";
    EXPECT_TRUE(testsupport::sameText(outputs[0][2], outputs[1][2])) << "VELD.VTK";
}

}  // namespace
}  // namespace gridorb
