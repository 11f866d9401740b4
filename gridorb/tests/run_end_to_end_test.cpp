// End to end: whole gridorb runs in a scratch folder, their console and both
// output files compared as bytes, and how a run ends when its output cannot
// be written.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "support/for013_writer.h"
#include "support/process_runner.h"

namespace gridorb {
namespace {

namespace fs = std::filesystem;
using testsupport::AtomSpec;
using testsupport::MoleculeSpec;
using testsupport::ProcessResult;
using testsupport::ScratchDirectory;
using testsupport::readWholeFile;
using testsupport::sameText;

std::vector<std::string> lines(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find("\r\n", start);
        if (end == std::string::npos) {
            out.push_back(text.substr(start));  // a line without its end: caught by the callers
            break;
        }
        out.push_back(text.substr(start, end - start));
        start = end + 2;
    }
    return out;
}

void putFor013(const ScratchDirectory& folder, const MoleculeSpec& molecule) {
    testsupport::writeFor013(folder.path() / "FOR013", testsupport::moleculeFile(molecule));
}

// A molecule whose orbital 1 is basis function 1 alone (B and A identity).
MoleculeSpec identityMolecule(const std::vector<AtomSpec>& atoms, std::int32_t orbitals) {
    MoleculeSpec m;
    m.atoms = atoms;
    m.orbitalCount = orbitals;
    m.electronCount = 2;
    m.orbitalVectors.assign(static_cast<std::size_t>(orbitals * orbitals), 0.0);
    m.basisTransform.assign(static_cast<std::size_t>(orbitals * orbitals), 0.0);
    for (std::int32_t i = 0; i < orbitals; ++i) {
        m.orbitalVectors[static_cast<std::size_t>(i * orbitals + i)] = 1.0;
        m.basisTransform[static_cast<std::size_t>(i * orbitals + i)] = 1.0;
    }
    return m;
}

struct Block {
    std::vector<int> values;
    bool wellFormed = true;
    std::string fault;
};

// One value block: 33162 lines of four I5 fields and one of three.
Block readBlock(const std::vector<std::string>& file, std::size_t first) {
    Block block;
    for (std::size_t line = 0; line < 33163; ++line) {
        const std::string& text = file.at(first + line);
        const std::size_t width = line == 33162 ? 15 : 20;
        if (text.size() != width) {
            block.wellFormed = false;
            block.fault = "line " + std::to_string(first + line + 1) + " has " + std::to_string(text.size()) + " characters";
            return block;
        }
        for (std::size_t f = 0; f < width; f += 5) block.values.push_back(std::stoi(text.substr(f, 5)));
    }
    return block;
}

// ---------------------------------------------------------------------------
// Real wavefunctions, against reference files checked by hand.

struct Example {
    const char* molecule;
    const char* orbital;
};

class RealWavefunction : public ::testing::TestWithParam<Example> {};

TEST_P(RealWavefunction, ConsoleAndBothFilesMatchTheReferenceBytes) {
    const Example example = GetParam();
    const fs::path reference = fs::path(GRIDORB_TEST_DATA_DIR) / example.molecule;
    ScratchDirectory folder;
    folder.write("FOR013", readWholeFile(fs::path(GRIDORB_EXAMPLES_DIR) / example.molecule / "FOR013"));
    // Longer files of an earlier run: cut to this run's bytes.
    folder.write("TARNEL.COR", std::string(5000, 'x'));
    folder.write("VELD.VTK", std::string(3000000, 'y'));

    const ProcessResult run = testsupport::runGridorb(folder, {example.orbital});
    ASSERT_TRUE(run.exited && run.exitStatus == 0) << run.describe() << "\n" << run.standardError;
    EXPECT_EQ(run.standardError, "");
    EXPECT_TRUE(sameText(readWholeFile(reference / "console.txt"), run.standardOutput));
    EXPECT_TRUE(sameText(readWholeFile(reference / "TARNEL.COR"), folder.read("TARNEL.COR").value_or("")));
    EXPECT_TRUE(sameText(readWholeFile(reference / "VELD.VTK"), folder.read("VELD.VTK").value_or("")));
    EXPECT_EQ(folder.read("FOR013"), readWholeFile(fs::path(GRIDORB_EXAMPLES_DIR) / example.molecule / "FOR013"));
}

TEST_P(RealWavefunction, VolumeFileHasItsLayoutAndConsistentBlocks) {
    const Example example = GetParam();
    ScratchDirectory folder;
    folder.write("FOR013", readWholeFile(fs::path(GRIDORB_EXAMPLES_DIR) / example.molecule / "FOR013"));
    const ProcessResult run = testsupport::runGridorb(folder, {example.orbital});
    ASSERT_TRUE(run.exited && run.exitStatus == 0) << run.describe();

    const std::string text = folder.read("VELD.VTK").value_or("");
    ASSERT_TRUE(text.size() >= 2 && text.substr(text.size() - 2) == "\r\n") << "the last line ends with CR LF";
    const std::vector<std::string> file = lines(text);
    ASSERT_EQ(file.size(), 99504u);
    EXPECT_EQ(file[0], "# vtk DataFile Version 2.0");
    EXPECT_EQ(file[1], "A Simple Matrix of values");
    EXPECT_EQ(file[2], "ASCII");
    EXPECT_EQ(file[3], "DATASET STRUCTURED_POINTS");
    EXPECT_EQ(file[4], " DIMENSIONS  51 51 51");
    EXPECT_EQ(file[5].rfind(" ORIGIN ", 0), 0u);
    EXPECT_EQ(file[6].rfind(" SPACING ", 0), 0u);
    EXPECT_EQ(file[7], " ");
    EXPECT_EQ(file[8], " POINT_DATA  132651");
    const char* names[] = {"POS", "NEG", "TOT"};
    std::vector<Block> blocks;
    for (std::size_t b = 0; b < 3; ++b) {
        const std::size_t head = 9 + b * 33165;
        EXPECT_EQ(file[head], std::string("SCALARS ") + names[b] + " float");
        EXPECT_EQ(file[head + 1], "LOOKUP_TABLE default");
        blocks.push_back(readBlock(file, head + 2));
        ASSERT_TRUE(blocks.back().wellFormed) << blocks.back().fault;
    }
    int peak = 0;
    for (std::size_t i = 0; i < 132651; ++i) {
        ASSERT_EQ(blocks[0].values[i] + blocks[1].values[i], blocks[2].values[i]) << "POS + NEG = TOT at point " << i;
        ASSERT_TRUE(blocks[0].values[i] == 0 || blocks[1].values[i] == 0) << "one lobe only, at point " << i;
        peak = std::max(peak, blocks[2].values[i]);
        ASSERT_GE(blocks[2].values[i], 0);
    }
    EXPECT_EQ(peak, 256) << "the largest magnitude maps to 256";
}

INSTANTIATE_TEST_SUITE_P(Examples, RealWavefunction,
                         ::testing::Values(Example{"water", "4"}, Example{"chloromethane", "7"}),
                         [](const auto& info) { return std::string(info.param.molecule); });

// ---------------------------------------------------------------------------
// Small molecules whose lines follow at a glance from the rules.

TEST(EndToEndRun, SingleAtomGivesTheCornersAndSpacingOfItsBox) {
    ScratchDirectory folder;
    putFor013(folder, identityMolecule({{1, 1.0, 2.0, 3.0, 1.0, 1.0}}, 1));
    const ProcessResult run = testsupport::runGridorb(folder, {"1"});
    ASSERT_TRUE(run.exited && run.exitStatus == 0) << run.describe() << run.standardError;
    const std::vector<std::string> file = lines(folder.read("VELD.VTK").value_or(""));
    ASSERT_GE(file.size(), 9u);
    EXPECT_EQ(file[5], " ORIGIN  -2. -1.  0.");
    EXPECT_EQ(file[6], " SPACING   .119999997  .119999997  .119999997");

    const std::vector<std::string> coordinates = lines(folder.read("TARNEL.COR").value_or(""));
    ASSERT_EQ(coordinates.size(), 6u);
    EXPECT_EQ(coordinates[4], " 1   1.  2.  3.");
    EXPECT_EQ(coordinates[5], "  26.4583492");
    // The atom's echo follows the evaluator's lines, before the summary.
    const std::vector<std::string> console = lines(run.standardOutput);
    ASSERT_GE(console.size(), 3u);
    EXPECT_EQ(console[console.size() - 3], " 1   1.  2.  3.");
    EXPECT_EQ(console.back(), " NORBS  1NATB  1");
}

TEST(EndToEndRun, NoAtomsGiveFiveCoordinateLinesAndZeroFields) {
    ScratchDirectory folder;
    putFor013(folder, identityMolecule({}, 1));
    const ProcessResult run = testsupport::runGridorb(folder, {"1"});
    ASSERT_TRUE(run.exited && run.exitStatus == 0) << run.describe() << run.standardError;
    EXPECT_TRUE(sameText(" COORDENADAS DE FOR013 EN FORMATO QMX\r\n powered by QUILLONDRAVEX\r\n \r\n"
                         " NUMATOM COORX COORY COORZ\r\n  26.4583492\r\n",
                         folder.read("TARNEL.COR").value_or("")));
    const std::vector<std::string> console = lines(run.standardOutput);
    ASSERT_GE(console.size(), 2u);
    EXPECT_EQ(console[console.size() - 2], " MIN, MAX DENSITY(VALUE) COMPUTED IS   0.  0.");
    EXPECT_EQ(console.back(), " NORBS  1NATB  0");

    // Every value exactly 0: the layout stays and every field is "    0".
    const std::vector<std::string> file = lines(folder.read("VELD.VTK").value_or(""));
    ASSERT_EQ(file.size(), 99504u);
    EXPECT_EQ(file[5], " ORIGIN   97.  97.  97.");
    for (std::size_t b = 0; b < 3; ++b) {
        const std::size_t first = 11 + b * 33165;
        for (std::size_t line = 0; line < 33163; ++line) {
            const std::string expected = line == 33162 ? "    0    0    0" : "    0    0    0    0";
            ASSERT_EQ(file[first + line], expected) << "line " << first + line + 1;
        }
    }
}

TEST(EndToEndRun, ZeroCoefficientColumnWritesZeroFields) {
    ScratchDirectory folder;
    MoleculeSpec molecule = identityMolecule({{6, 0.0, 0.0, 0.0, 1.625, 1.625}, {1, 1.1, 0.0, 0.0, 1.2, 1.2}}, 5);
    for (std::size_t row = 0; row < 5; ++row) molecule.orbitalVectors[3 * 5 + row] = 0.0;  // orbital 4 is empty
    putFor013(folder, molecule);
    const ProcessResult run = testsupport::runGridorb(folder, {"4"});
    ASSERT_TRUE(run.exited && run.exitStatus == 0) << run.describe() << run.standardError;
    const std::vector<std::string> file = lines(folder.read("VELD.VTK").value_or(""));
    ASSERT_EQ(file.size(), 99504u);
    EXPECT_EQ(file[11], "    0    0    0    0");
    EXPECT_EQ(file.back(), "    0    0    0");
}

// ---------------------------------------------------------------------------
// Output that cannot be written.

TEST(EndToEndOutputFailure, VolumeFileThatCannotBeCreatedLeavesTheCoordinatesComplete) {
    ScratchDirectory folder;
    putFor013(folder, identityMolecule({{1, 0.0, 0.0, 0.0, 1.0, 1.0}}, 1));
    fs::create_symlink(folder.path() / "missing-folder" / "VELD.VTK", folder.path() / "VELD.VTK");
    const ProcessResult run = testsupport::runGridorb(folder, {"1"});
    EXPECT_EQ(run.signal, SIGABRT) << run.describe();
    EXPECT_TRUE(sameText("open: No such file or directory\r\napparent state: unit 24 named VELD.VTK\r\n"
                         "last format: list io\r\nlately writing sequential formatted external IO\r\n",
                         run.standardError));
    const std::vector<std::string> coordinates = lines(folder.read("TARNEL.COR").value_or(""));
    ASSERT_EQ(coordinates.size(), 6u);
    EXPECT_EQ(coordinates.back(), "  26.4583492");
    // The console keeps every line written before the failure.
    EXPECT_EQ(lines(run.standardOutput).back(), " 1   0.  0.  0.");
}

TEST(EndToEndOutputFailure, CoordinateFileThatCanOnlyBeReadIsLeftAlone) {
    ScratchDirectory folder;
    putFor013(folder, identityMolecule({{1, 0.0, 0.0, 0.0, 1.0, 1.0}}, 1));
    fs::create_directory(folder.path() / "TARNEL.COR");  // opens for reading only, even for root
    folder.write("VELD.VTK", "earlier volume\r\n");
    const ProcessResult run = testsupport::runGridorb(folder, {"1"});
    EXPECT_EQ(run.signal, SIGABRT) << run.describe();
    EXPECT_TRUE(sameText("list output start: can't write file\r\napparent state: unit 22 named TARNEL.COR\r\n"
                         "last format: list io\r\nlately writing sequential formatted external IO\r\n",
                         run.standardError));
    EXPECT_TRUE(fs::is_directory(folder.path() / "TARNEL.COR"));
    EXPECT_EQ(folder.read("VELD.VTK"), "earlier volume\r\n");
}

TEST(EndToEndOutputFailure, FullDiskEndsTheRunThroughTheReport) {
    if (!fs::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    for (const char* name : {"TARNEL.COR", "VELD.VTK"}) {
        SCOPED_TRACE(name);
        ScratchDirectory folder;
        putFor013(folder, identityMolecule({{1, 0.0, 0.0, 0.0, 1.0, 1.0}}, 1));
        fs::create_symlink("/dev/full", folder.path() / name);
        const ProcessResult run = testsupport::runGridorb(folder, {"1"});
        EXPECT_EQ(run.signal, SIGABRT) << run.describe() << " — a run with incomplete files must not exit 0";
        const std::vector<std::string> report = lines(run.standardError);
        ASSERT_EQ(report.size(), 4u) << run.standardError;
        EXPECT_EQ(report[0], "write: No space left on device");
        EXPECT_EQ(report[1], std::string("apparent state: unit ") + (name[0] == 'T' ? "22" : "24") + " named " + name);
        EXPECT_EQ(report[2], name[0] == 'T' ? "last format: list io" : "last format: (4I5)");
        EXPECT_EQ(report[3], "lately writing sequential formatted external IO");
        if (name[0] == 'V') {
            // The manual shows this report as the program writes it.
            std::ifstream page(GRIDORB_EXAMPLES_DIR "/../man/gridorb.1");
            const std::string manual{std::istreambuf_iterator<char>(page), std::istreambuf_iterator<char>()};
            std::string shown = ".EX\n";
            for (const std::string& line : report) shown += line + "\n";
            EXPECT_NE(manual.find(shown + ".EE\n"), std::string::npos) << "man/gridorb.1 lacks:\n" << shown;
        }
    }
}

}  // namespace
}  // namespace gridorb
