#include "support/for013_writer.h"

#include <bit>
#include <cmath>
#include <cstring>
#include <fstream>
#include <stdexcept>

namespace gridorb::testsupport {
namespace {

void appendLittleEndian(std::vector<std::uint8_t>& out, std::uint64_t bits, int width) {
    for (int i = 0; i < width; ++i) out.push_back(static_cast<std::uint8_t>(bits >> (8 * i)));
}

void appendWord(std::vector<std::uint8_t>& out, std::int32_t value) {
    appendLittleEndian(out, static_cast<std::uint32_t>(value), 4);
}

}  // namespace

RecordData& RecordData::int32(std::int32_t value) {
    appendWord(bytes_, value);
    return *this;
}

RecordData& RecordData::float64(double value) {
    appendLittleEndian(bytes_, std::bit_cast<std::uint64_t>(value), 8);
    return *this;
}

RecordData& RecordData::float64s(std::span<const double> values) {
    for (double v : values) float64(v);
    return *this;
}

RecordData& RecordData::raw(std::span<const std::uint8_t> bytes) {
    bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
    return *this;
}

std::int32_t For013Record::effectiveLengthWord() const {
    return lengthWord ? *lengthWord : static_cast<std::int32_t>(data.size());
}

std::size_t For013File::lengthWordOffset(std::size_t index) const {
    std::size_t offset = 0;
    for (std::size_t i = 0; i < index && i < records.size(); ++i) {
        offset += 4 + records[i].data.size() + (records[i].writeTrailingWord ? 4 : 0);
    }
    return offset;
}

std::vector<std::uint8_t> For013File::bytes() const {
    std::vector<std::uint8_t> out;
    for (const For013Record& record : records) {
        std::int32_t length = record.effectiveLengthWord();
        appendWord(out, length);
        out.insert(out.end(), record.data.begin(), record.data.end());
        if (record.writeTrailingWord) appendWord(out, record.trailingWordValue.value_or(length));
    }
    out.insert(out.end(), tail.begin(), tail.end());
    if (cutAt && *cutAt < out.size()) out.resize(*cutAt);
    return out;
}

std::string For013File::byteString() const {
    std::vector<std::uint8_t> b = bytes();
    return std::string(b.begin(), b.end());
}

std::int32_t minimalBasisSize(const std::vector<AtomSpec>& atoms) {
    std::int32_t count = 0;
    for (const AtomSpec& atom : atoms) count += atom.atomicNumber > 2 ? 4 : 1;
    return count;
}

For013File moleculeFile(const MoleculeSpec& molecule) {
    const std::size_t n = molecule.atoms.size();
    const std::size_t m = molecule.orbitalCount > 0 ? static_cast<std::size_t>(molecule.orbitalCount) : 0;
    For013File file;

    RecordData first;
    first.int32(static_cast<std::int32_t>(n)).int32(molecule.orbitalCount).int32(molecule.electronCount);
    for (const AtomSpec& atom : molecule.atoms) first.float64(atom.x);
    for (const AtomSpec& atom : molecule.atoms) first.float64(atom.y);
    for (const AtomSpec& atom : molecule.atoms) first.float64(atom.z);

    RecordData second;
    std::int32_t nextFunction = 1;
    for (const AtomSpec& atom : molecule.atoms) {
        std::int32_t size = atom.atomicNumber > 2 ? 4 : 1;
        second.int32(nextFunction + size - 1).int32(nextFunction);
        nextFunction += size;
    }

    RecordData third;
    for (const AtomSpec& atom : molecule.atoms) third.float64(atom.zetaS);
    for (const AtomSpec& atom : molecule.atoms) third.float64(atom.zetaP);
    for (std::size_t i = 0; i < n; ++i) third.float64(i < molecule.thirdExponents.size() ? molecule.thirdExponents[i] : 0.0);
    for (const AtomSpec& atom : molecule.atoms) third.int32(atom.atomicNumber);

    auto matrix = [m](const std::vector<double>& values) {
        RecordData data;
        for (std::size_t k = 0; k < m * m; ++k) data.float64(k < values.size() ? values[k] : 0.0);
        return data;
    };

    for (const RecordData* data : {&first, &second, &third}) file.records.push_back({data->bytes(), {}, {}, true});
    file.records.push_back({matrix(molecule.orbitalVectors).bytes(), {}, {}, true});
    file.records.push_back({matrix(molecule.basisTransform).bytes(), {}, {}, true});
    return file;
}

MoleculeSpec waterMolecule() {
    MoleculeSpec water;
    water.atoms = {
        {8, 0.0, 0.0, 0.1173, 5.421751, 2.27096},
        {1, 0.0, 0.7572, -0.4692, 0.967807, 0.967807},
        {1, 0.0, -0.7572, -0.4692, 0.967807, 0.967807},
    };
    water.orbitalCount = minimalBasisSize(water.atoms);
    water.electronCount = 8;
    const int m = water.orbitalCount;
    water.orbitalVectors.resize(static_cast<std::size_t>(m * m));
    water.basisTransform.assign(static_cast<std::size_t>(m * m), 0.0);
    for (int c = 0; c < m; ++c) {
        for (int r = 0; r < m; ++r) {
            // Smooth, sign-changing, never a zero column.
            water.orbitalVectors[static_cast<std::size_t>(c * m + r)] = std::cos(0.7 * (r + 1) * (c + 1)) / std::sqrt(m);
        }
        water.basisTransform[static_cast<std::size_t>(c * m + c)] = 1.0;
    }
    return water;
}

void writeFile(const std::filesystem::path& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    if (!out) throw std::runtime_error("cannot write " + path.string());
}

void writeFor013(const std::filesystem::path& path, const For013File& file) { writeFile(path, file.byteString()); }

}  // namespace gridorb::testsupport
