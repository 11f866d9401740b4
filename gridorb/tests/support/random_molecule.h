#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "model/capacities.h"
#include "model/molecule_record.h"
#include "model/orbital_volume.h"

// Random molecules for the bit-identity tests. The generator is our own
// (not <random>'s distributions), so a seed gives the same molecule with
// every compiler and standard library.
namespace gridorb::testsupport {

class SplitMix {
public:
    explicit SplitMix(std::uint64_t seed) : state_(seed) {}
    std::uint64_t next();
    double uniform(double low, double high);  // [low, high)
    int integer(int low, int high);           // [low, high]
    bool chance(double probability);

private:
    std::uint64_t state_;
};

struct RandomCase {
    MoleculeRecord molecule;                       // coordinates in Å
    std::array<float, MAX_ORBITALS> column{};      // coefficients of rows 1..200
    std::int32_t orbitalNumber = 1;
    // When set, the volume is sampled on planes laid out around another,
    // unrelated box, so that atoms may lie far outside the grid.
    bool foreignPlanes = false;
    std::array<float, 3> planeOrigin{};            // Bohr
    std::array<float, 3> planeSpacing{};           // Bohr
    std::string description;
};

// Mixes every shell, Z > 18 and unusual atomic numbers, far atoms, zero,
// tiny, huge and non-finite coefficients and exponents.
RandomCase randomCase(std::uint64_t seed, int maxAtoms);

// Equal bit for bit, a zero of either sign counting as one value and any
// NaN as one value (neither shows in any output). Returns the first index
// that differs, or -1.
long firstDifference(const float* a, const float* b, long count);

// The first point (index into the whole grid) where a packed volume differs
// from the whole one as firstDifference tells, or holds no row where the
// whole one's |v| * 256 reaches `peak` (a value the volume file does not
// show as 0); -1 if none.
long firstVisibleDifference(const PackedVolume& visible, const float* every, float peak);

// FNV-1a over the values after the same two identifications.
std::uint64_t volumeHash(const float* values, long count, std::uint64_t hash = 1469598103934665603ull);

}  // namespace gridorb::testsupport
