// The FOR013 reader in-process, on files it must accept: what lands where,
// and that the framing it ignores (longer records, trailing words, what
// follows record 5) changes nothing. Damaged files, which end the run, are
// tested end to end.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <filesystem>
#include <limits>
#include <memory>

#include "model/molecule_record.h"
#include "support/for013_writer.h"
#include "support/process_runner.h"
#include "wavefunction/wavefunction_file.h"

namespace gridorb::wavefunction {
namespace {

namespace fs = std::filesystem;
using testsupport::For013File;
using testsupport::MoleculeSpec;

struct ReadResult {
    MoleculeRecord molecule;
    std::unique_ptr<RawWavefunction> raw = std::make_unique<RawWavefunction>();
};

// FOR013 is always looked for in the working directory.
class WavefunctionFile : public testing::Test {
protected:
    void SetUp() override {
        saved_ = fs::current_path();
        fs::current_path(directory_.path());
    }
    void TearDown() override { fs::current_path(saved_); }

    ReadResult read(const For013File& file) {
        testsupport::writeFor013("FOR013", file);
        return readCurrent();
    }
    static ReadResult readCurrent() {
        ReadResult result;
        readWavefunctionFile(result.molecule, *result.raw);
        return result;
    }

    testsupport::ScratchDirectory directory_;
    fs::path saved_;
};

void expectSameData(const ReadResult& expected, const ReadResult& actual) {
    EXPECT_EQ(actual.molecule.atomCount, expected.molecule.atomCount);
    EXPECT_EQ(actual.molecule.orbitalCount, expected.molecule.orbitalCount);
    EXPECT_EQ(actual.molecule.electronCount, expected.molecule.electronCount);
    EXPECT_EQ(actual.molecule.atomicNumbers, expected.molecule.atomicNumbers);
    EXPECT_EQ(actual.raw->coordinates, expected.raw->coordinates);
    EXPECT_EQ(actual.raw->sExponents, expected.raw->sExponents);
    EXPECT_EQ(actual.raw->pExponents, expected.raw->pExponents);
    EXPECT_TRUE(actual.raw->orbitalVectors == expected.raw->orbitalVectors);
    EXPECT_TRUE(actual.raw->basisTransform == expected.raw->basisTransform);
}

TEST_F(WavefunctionFile, PutsEveryItemInItsPlace) {
    MoleculeSpec water = testsupport::waterMolecule();
    water.electronCount = 8;
    water.thirdExponents = {9.0, 9.5, 9.75};
    ReadResult r = read(testsupport::moleculeFile(water));

    EXPECT_EQ(r.molecule.atomCount, 3);
    EXPECT_EQ(r.molecule.orbitalCount, 6);
    EXPECT_EQ(r.molecule.electronCount, 8);
    for (int i = 0; i < 3; ++i) {
        const testsupport::AtomSpec& atom = water.atoms[static_cast<std::size_t>(i)];
        // All x first, then y, then z in the file; atom-major in the record.
        EXPECT_EQ(r.raw->coordinates[i][0], atom.x) << "atom " << i + 1;
        EXPECT_EQ(r.raw->coordinates[i][1], atom.y) << "atom " << i + 1;
        EXPECT_EQ(r.raw->coordinates[i][2], atom.z) << "atom " << i + 1;
        EXPECT_EQ(r.raw->sExponents[i], atom.zetaS);
        EXPECT_EQ(r.raw->pExponents[i], atom.zetaP);
        EXPECT_EQ(r.molecule.atomicNumbers[i], atom.atomicNumber);
    }
    for (std::size_t k = 0; k < 36; ++k) {
        EXPECT_EQ(r.raw->orbitalVectors[k], water.orbitalVectors[k]) << "element " << k + 1;
        EXPECT_EQ(r.raw->basisTransform[k], water.basisTransform[k]) << "element " << k + 1;
    }
    EXPECT_EQ(r.raw->orbitalVectors[36], 0.0);  // nothing beyond M * M
}

TEST_F(WavefunctionFile, ReadsTheExampleFiles) {
    struct Example {
        const char* name;
        int atoms;
        int orbitals;
        std::array<int, 5> atomicNumbers;
    };
    for (const Example& e : {Example{"water", 3, 6, {8, 1, 1, 0, 0}}, Example{"chloromethane", 5, 11, {6, 17, 1, 1, 1}}}) {
        SCOPED_TRACE(e.name);
        fs::copy_file(fs::path(GRIDORB_EXAMPLES_DIR) / e.name / "FOR013", "FOR013", fs::copy_options::overwrite_existing);
        ReadResult r = readCurrent();
        EXPECT_EQ(r.molecule.atomCount, e.atoms);
        EXPECT_EQ(r.molecule.orbitalCount, e.orbitals);
        for (int i = 0; i < 5; ++i) EXPECT_EQ(r.molecule.atomicNumbers[i], e.atomicNumbers[static_cast<std::size_t>(i)]);
    }
}

// Framing the reader never looks at: each variant reads as the exact file.
TEST_F(WavefunctionFile, IgnoresWhatItDoesNotRead) {
    const For013File exact = testsupport::moleculeFile(testsupport::waterMolecule());
    const ReadResult expected = read(exact);

    struct Variant {
        const char* name;
        void (*damage)(For013File&);
    };
    const Variant variants[] = {
        {"extra data in every record",
         [](For013File& f) {
             for (auto& record : f.records) record.data.insert(record.data.end(), {1, 2, 3, 4, 5, 6, 7, 8, 9});
         }},
        {"wrong trailing words",
         [](For013File& f) {
             std::int32_t wrong = -7;
             for (auto& record : f.records) record.trailingWordValue = wrong++;
         }},
        {"no trailing word after record 5", [](For013File& f) { f.records[4].writeTrailingWord = false; }},
        {"a sixth record and garbage",
         [](For013File& f) {
             f.records.push_back({std::vector<std::uint8_t>(76, 0), {}, {}, true});
             f.tail = {0xff, 0xff, 0xff, 0x7f, 1, 2};
         }},
        {"record 5 claims 2^31 - 1 bytes", [](For013File& f) { f.records[4].lengthWord = INT32_MAX; }},
        {"record 5 cut inside its trailing word", [](For013File& f) { f.cutAt = f.lengthWordOffset(5) - 2; }},
    };
    for (const Variant& v : variants) {
        SCOPED_TRACE(v.name);
        For013File file = exact;
        v.damage(file);
        expectSameData(expected, read(file));
    }
}

TEST_F(WavefunctionFile, ReadsTheLargestSupportedCounts) {
    MoleculeSpec big;
    for (int i = 0; i < 50; ++i) big.atoms.push_back({6, 0.1 * i, -0.2 * i, 0.3 * i, 1.5 + i, 1.25 + i});
    big.orbitalCount = 200;  // 320000 bytes a matrix: many buffer refills
    big.orbitalVectors.resize(40000);
    big.basisTransform.resize(40000);
    for (std::size_t k = 0; k < 40000; ++k) {
        big.orbitalVectors[k] = static_cast<double>(k) + 0.5;
        big.basisTransform[k] = -static_cast<double>(k) / 3.0;
    }
    ReadResult r = read(testsupport::moleculeFile(big));
    EXPECT_EQ(r.molecule.atomCount, 50);
    EXPECT_EQ(r.molecule.orbitalCount, 200);
    EXPECT_EQ(r.raw->coordinates[49][2], 0.3 * 49);
    EXPECT_EQ(r.raw->pExponents[49], 1.25 + 49);
    for (std::size_t k = 0; k < 40000; ++k) {
        ASSERT_EQ(r.raw->orbitalVectors[k], big.orbitalVectors[k]) << "element " << k + 1;
        ASSERT_EQ(r.raw->basisTransform[k], big.basisTransform[k]) << "element " << k + 1;
    }
}

TEST_F(WavefunctionFile, ReadsAMoleculeWithoutAtoms) {
    MoleculeSpec none;
    none.orbitalCount = 1;
    none.orbitalVectors = {2.0};
    none.basisTransform = {3.0};
    For013File file = testsupport::moleculeFile(none);
    // Records 2 and 3 are empty; nothing is taken from them.
    file.records[1].data = {9, 9, 9};
    ReadResult r = read(file);
    EXPECT_EQ(r.molecule.atomCount, 0);
    EXPECT_EQ(r.raw->orbitalVectors[0], 2.0);
    EXPECT_EQ(r.raw->basisTransform[0], 3.0);
}

TEST(CompleteMoleculeRecord, NarrowsToNearestWithoutUndefinedConversions) {
    MoleculeRecord molecule;
    auto raw = std::make_unique<RawWavefunction>();
    molecule.atomCount = 3;
    const double halfUlpAbove1 = std::ldexp(1.0, -24);  // halfway between 1 and the next float
    raw->sExponents = {1.0 + halfUlpAbove1, 1.0 + 1.5 * halfUlpAbove1, 1e300};
    raw->pExponents = {-1e300, static_cast<double>(FLT_MAX) * (1 + 1e-9),
                       std::numeric_limits<double>::quiet_NaN()};
    raw->coordinates[0] = {0.1, -2.5, 1e-50};
    raw->coordinates[2] = {-0x1.fffffefp+127, 0x1.ffffffp+127, 7.0};
    raw->coordinates[3] = {5.0, 5.0, 5.0};  // beyond atomCount: left alone

    completeMoleculeRecord(molecule, *raw);

    EXPECT_EQ(molecule.sExponents[0], 1.0f);                      // tie to even
    EXPECT_EQ(molecule.sExponents[1], std::nextafter(1.0f, 2.0f));  // above the tie
    EXPECT_EQ(molecule.sExponents[2], std::numeric_limits<float>::infinity());
    EXPECT_EQ(molecule.pExponents[0], -std::numeric_limits<float>::infinity());
    EXPECT_EQ(molecule.pExponents[1], FLT_MAX);
    EXPECT_TRUE(std::isnan(molecule.pExponents[2]));
    EXPECT_EQ(molecule.coordinates[0][0], 0.1f);
    EXPECT_EQ(molecule.coordinates[0][1], -2.5f);
    EXPECT_EQ(molecule.coordinates[0][2], 0.0f);
    EXPECT_EQ(molecule.coordinates[2][0], -FLT_MAX);
    EXPECT_EQ(molecule.coordinates[2][1], std::numeric_limits<float>::infinity());  // the tie goes up
    EXPECT_EQ(molecule.coordinates[2][2], 7.0f);
    EXPECT_EQ(molecule.coordinates[3][0], 0.0f);
}

}  // namespace
}  // namespace gridorb::wavefunction
