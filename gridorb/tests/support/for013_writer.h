#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

// Writes FOR013 files for tests: valid ones, and ones damaged on purpose
// (chosen length words, wrong or missing trailing words, extra data inside
// a record or after the last one, a file cut at any byte).
//
//   For013File file = moleculeFile(molecule);   // five exact records
//   file.records[1].lengthWord = 7;               // record 2 too short
//   file.records[4].trailingWord.reset();         // record 5 without one
//   file.cutAt = file.dataOffset(3) + 5;          // cut inside record 4
//   writeFor013(directory / "FOR013", file);
namespace gridorb::testsupport {

// Items of one record, appended as little-endian memory images.
class RecordData {
public:
    RecordData& int32(std::int32_t value);
    RecordData& float64(double value);
    RecordData& float64s(std::span<const double> values);
    RecordData& raw(std::span<const std::uint8_t> bytes);

    const std::vector<std::uint8_t>& bytes() const { return bytes_; }
    std::size_t size() const { return bytes_.size(); }

private:
    std::vector<std::uint8_t> bytes_;
};

// One record: length word, data, trailing word.
struct For013Record {
    std::vector<std::uint8_t> data;
    // Default: the number of data bytes.
    std::optional<std::int32_t> lengthWord;
    // Default (`writeTrailingWord` true, no value): the length word.
    std::optional<std::int32_t> trailingWordValue;
    bool writeTrailingWord = true;

    std::int32_t effectiveLengthWord() const;
};

struct For013File {
    std::vector<For013Record> records;
    // Bytes after the last record (a sixth record, garbage, ...).
    std::vector<std::uint8_t> tail;
    // Keep only the first cutAt bytes of the whole file.
    std::optional<std::size_t> cutAt;

    // Offset of the length word of record `index` (0-based) and of its first
    // data byte, in the uncut file.
    std::size_t lengthWordOffset(std::size_t index) const;
    std::size_t dataOffset(std::size_t index) const { return lengthWordOffset(index) + 4; }

    std::vector<std::uint8_t> bytes() const;
    std::string byteString() const;
};

// An atom as a molecule description gives it: Z, position in Å, the Slater
// exponents of its s and p shells.
struct AtomSpec {
    std::int32_t atomicNumber = 1;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
    double zetaS = 1.0;
    double zetaP = 1.0;
};

struct MoleculeSpec {
    std::vector<AtomSpec> atoms;
    std::int32_t orbitalCount = 0;
    std::int32_t electronCount = 0;
    // orbitalCount^2 values each, column-major; shorter ones are padded with
    // zeros, so that a test may damage only the counts.
    std::vector<double> orbitalVectors;
    std::vector<double> basisTransform;
    // Third exponent per atom (not used by gridorb); 0 when not given.
    std::vector<double> thirdExponents;
};

// Basis functions of the minimal basis: 1 for H and He, 4 for heavier atoms.
std::int32_t minimalBasisSize(const std::vector<AtomSpec>& atoms);

// The five records for a molecule, with exact lengths and trailing words.
// Record 2 holds, per atom, its last and first basis-function numbers, as
// the files of the calculation do.
For013File moleculeFile(const MoleculeSpec& molecule);

// A small, valid test molecule: water with 6 orbitals, B the identity and
// A an orthogonal-looking matrix with no zero column.
MoleculeSpec waterMolecule();

void writeFile(const std::filesystem::path& path, const std::string& bytes);
void writeFor013(const std::filesystem::path& path, const For013File& file);

}  // namespace gridorb::testsupport
