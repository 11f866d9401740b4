#include "support/wavefunction_fixture.h"

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace gridorb::testsupport {
namespace {

// Record k's data bytes, or empty when the file ends early.
std::vector<std::vector<char>> records(const std::vector<char>& bytes) {
    std::vector<std::vector<char>> result;
    std::size_t at = 0;
    while (result.size() < 5 && at + 4 <= bytes.size()) {
        std::int32_t length;
        std::memcpy(&length, &bytes[at], 4);
        at += 4;
        if (length < 0 || at + static_cast<std::size_t>(length) > bytes.size()) break;
        result.emplace_back(bytes.begin() + at, bytes.begin() + at + length);
        at += static_cast<std::size_t>(length) + 4;
    }
    return result;
}

template <typename T>
T take(const std::vector<char>& record, std::size_t& at) {
    T value{};
    if (at + sizeof(T) <= record.size()) std::memcpy(&value, &record[at], sizeof(T));
    at += sizeof(T);
    return value;
}

}  // namespace

std::unique_ptr<WavefunctionFixture> readWavefunctionFixture(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const auto r = records(bytes);
    if (r.size() < 5) return nullptr;

    auto f = std::make_unique<WavefunctionFixture>();
    MoleculeRecord& m = f->molecule;
    std::size_t at = 0;
    m.atomCount = take<std::int32_t>(r[0], at);
    m.orbitalCount = take<std::int32_t>(r[0], at);
    f->electronCount = take<std::int32_t>(r[0], at);
    if (m.atomCount < 0 || m.atomCount > MAX_ATOMS || m.orbitalCount < 1 || m.orbitalCount > MAX_ORBITALS) return nullptr;
    const int n = m.atomCount;
    for (int axis = 0; axis < 3; ++axis)
        for (int i = 0; i < n; ++i) f->raw.coordinates[i][axis] = take<double>(r[0], at);
    at = 0;
    for (int i = 0; i < n; ++i) f->raw.sExponents[i] = take<double>(r[2], at);
    for (int i = 0; i < n; ++i) f->raw.pExponents[i] = take<double>(r[2], at);
    for (int i = 0; i < n; ++i) take<double>(r[2], at);
    for (int i = 0; i < n; ++i) m.atomicNumbers[i] = take<std::int32_t>(r[2], at);
    const std::size_t elements = static_cast<std::size_t>(m.orbitalCount) * m.orbitalCount;
    std::size_t a = 0, b = 0;
    for (std::size_t k = 0; k < elements; ++k) f->raw.orbitalVectors[k] = take<double>(r[3], a);
    for (std::size_t k = 0; k < elements; ++k) f->raw.basisTransform[k] = take<double>(r[4], b);
    for (int i = 0; i < n; ++i) {
        m.sExponents[i] = static_cast<float>(f->raw.sExponents[i]);
        m.pExponents[i] = static_cast<float>(f->raw.pExponents[i]);
        for (int axis = 0; axis < 3; ++axis) m.coordinates[i][axis] = static_cast<float>(f->raw.coordinates[i][axis]);
    }
    return f;
}

}  // namespace gridorb::testsupport
