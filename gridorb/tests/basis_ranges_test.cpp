// Record 2's basis ranges against gridorb's own numbering: which words count
// as the ranges of a real file, the message, and the real program refusing
// the two bundled files whose S and Cl atoms carry d functions.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "support/for013_writer.h"
#include "support/process_runner.h"
#include "wavefunction/basis_ranges.h"

namespace gridorb {
namespace {

namespace fs = std::filesystem;
using testsupport::For013File;
using testsupport::ProcessResult;
using testsupport::ScratchDirectory;
using wavefunction::findBasisRangeMismatch;

// The bundled files' second atom (S, Cl) has s, p and d functions.
std::string refusal(int atomicNumber) {
    return "FOR013: atom 2 (Z = " + std::to_string(atomicNumber) +
           ") has 9 basis functions (s, p and d); gridorb evaluates s and p functions only\r\n";
}

std::string pm7File(const char* molecule) {
    return testsupport::readWholeFile(fs::path(GRIDORB_TEST_DATA_DIR) / molecule / "FOR013");
}

TEST(BasisRanges, OnlyTheRangesOfARealFileAreCompared) {
    const std::vector<std::int32_t> cs2h = {6, 16, 1, 1};  // C, S, H, H: 4 + 4 + 1 + 1 functions
    struct Case {
        const char* name;
        std::vector<std::int32_t> words;  // last, first per atom
        std::int32_t orbitals;
        bool mismatch;
    };
    const Case cases[] = {
        {"gridorb's numbering", {4, 1, 8, 5, 9, 9, 10, 10}, 10, false},
        {"d functions on S", {4, 1, 13, 5, 14, 14, 15, 15}, 15, true},
        {"not starting at 1", {3, 0, 12, 4, 13, 13, 14, 14}, 14, false},
        {"a gap", {4, 1, 13, 6, 14, 14, 15, 15}, 15, false},
        {"an empty range", {4, 1, 13, 5, 13, 14, 14, 14}, 14, false},
        {"not ending at the orbital count", {4, 1, 13, 5, 14, 14, 15, 15}, 16, false},
        {"first and last swapped", {1, 4, 5, 13, 14, 14, 15, 15}, 15, false},
        // 2^31 - 1 + 1 is not the 32-bit INT32_MIN.
        {"words past the 32-bit range", {INT32_MAX, 1, 9, INT32_MIN, 10, 10, 11, 11}, 11, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(findBasisRangeMismatch(c.words, cs2h, c.orbitals).has_value(), c.mismatch) << c.name;
    }
    // The first atom that differs is named, with the count of its range.
    const auto m = findBasisRangeMismatch(std::vector<std::int32_t>{1, 1, 10, 2, 11, 11, 12, 12}, cs2h, 12);
    ASSERT_TRUE(m);
    EXPECT_EQ(m->atom, 1);
    EXPECT_EQ(m->atomicNumber, 6);
    EXPECT_EQ(m->functions, 1);
    EXPECT_FALSE(findBasisRangeMismatch(std::vector<std::int32_t>{}, std::vector<std::int32_t>{}, 1)) << "no atoms";
}

TEST(BasisRanges, TheMessageSaysWhatGridorbExpectsWhereNoDFunctionsAreTheCause) {
    EXPECT_EQ(wavefunction::describeBasisRangeMismatch({3, 1, 4}),
              "FOR013: atom 3 (Z = 1) has 4 basis functions (s and p); gridorb expects 1 for this element");
    EXPECT_EQ(wavefunction::describeBasisRangeMismatch({1, 6, 1}),
              "FOR013: atom 1 (Z = 6) has 1 basis function (s); gridorb expects 4 for this element");
}

// Exit status 2 and the one line, before the argument is looked at and
// before any output file is opened.
TEST(EndToEndBasisRanges, RefusesTheFilesWithDFunctions) {
    for (auto [molecule, atomicNumber] : {std::pair{"dimethylsulfoxide_pm7", 16}, std::pair{"chloromethane_pm7", 17}}) {
        SCOPED_TRACE(molecule);
        for (bool earlierRun : {true, false}) {
            ScratchDirectory directory;
            directory.write("FOR013", pm7File(molecule));
            if (earlierRun) testsupport::placeEarlierOutputs(directory);
            ProcessResult result = testsupport::runGridorb(directory, {earlierRun ? "13" : "x7"});
            EXPECT_TRUE(testsupport::sameText(refusal(atomicNumber), result.standardError));
            EXPECT_EQ(result.standardOutput, "");
            EXPECT_TRUE(testsupport::endedAsFailure(result, false));
            if (earlierRun) {
                EXPECT_TRUE(testsupport::earlierOutputsUntouched(directory));
            } else {
                EXPECT_EQ(directory.fileNames(), std::vector<std::string>{"FOR013"});
            }
        }
    }
}

// Record 2 is whole, the file ends after it: the damage is what is reported.
TEST(EndToEndBasisRanges, ADamagedFileIsReportedAsDamagedFirst) {
    const std::string file = pm7File("dimethylsulfoxide_pm7");
    ScratchDirectory directory;
    directory.write("FOR013", file.substr(0, 4 + 252 + 4 + 4 + 80 + 4));  // records of 252 and 80 bytes
    ProcessResult result = testsupport::runGridorb(directory, {"13"});
    EXPECT_TRUE(testsupport::sameText(
        "start: end of file\r\napparent state: unit 13 named FOR013\r\nlately reading sequential unformatted external IO\r\n",
        result.standardError));
    EXPECT_TRUE(testsupport::endedAsFailure(result, true));
}

// Words that are not a real file's ranges leave the run as it is.
TEST(EndToEndBasisRanges, OtherWordsInRecord2ChangeNoOutput) {
    const For013File exact = testsupport::moleculeFile(testsupport::waterMolecule());
    auto run = [](const For013File& file) {
        ScratchDirectory directory;
        directory.write("FOR013", file.byteString());
        ProcessResult result = testsupport::runGridorb(directory, {"4"});
        EXPECT_TRUE(result.exited && result.exitStatus == 0) << result.describe() << "\n" << result.standardError;
        return result.standardOutput + directory.read("TARNEL.COR").value_or("<missing>") +
               directory.read("VELD.VTK").value_or("<missing>");
    };
    const std::string expected = run(exact);
    // Left empty by a writer; arbitrary.
    for (std::vector<std::uint8_t> words : {std::vector<std::uint8_t>(24, 0),
                                            std::vector<std::uint8_t>{0xde, 0xad, 0xbe, 0xef, 7, 7, 7, 7, 0xff, 0xff, 0xff, 0xff,
                                                                      1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}}) {
        For013File file = exact;
        file.records[1].data = words;
        EXPECT_TRUE(run(file) == expected);
    }
}

}  // namespace
}  // namespace gridorb
