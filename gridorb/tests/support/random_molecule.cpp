#include "support/random_molecule.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>

namespace gridorb::testsupport {

std::uint64_t SplitMix::next() {
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ull);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ull;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebull;
    return z ^ (z >> 31);
}

double SplitMix::uniform(double low, double high) {
    double unit = static_cast<double>(next() >> 11) * 0x1.0p-53;
    return low + (high - low) * unit;
}

int SplitMix::integer(int low, int high) {
    return low + static_cast<int>(next() % static_cast<std::uint64_t>(high - low + 1));
}

bool SplitMix::chance(double probability) { return uniform(0.0, 1.0) < probability; }

namespace {

std::int32_t randomAtomicNumber(SplitMix& rng) {
    switch (rng.integer(0, 9)) {
        case 0: return 1;
        case 1: return rng.integer(1, 2);
        case 2:
        case 3: return rng.integer(3, 10);
        case 4:
        case 5: return rng.integer(11, 18);
        case 6: return rng.chance(0.5) ? 6 : 8;
        case 7: return rng.integer(19, 90);
        case 8: return rng.chance(0.5) ? 0 : -rng.integer(1, 5);
        default: return rng.chance(0.5) ? 9 : 17;
    }
}

float ordinaryExponent(SplitMix& rng) { return static_cast<float>(rng.uniform(0.6, 5.0)); }

// Finite extremes: the factors stay finite, the cut-offs move to the edges.
float extremeExponent(SplitMix& rng) {
    switch (rng.integer(0, 2)) {
        case 0: return static_cast<float>(rng.uniform(1e-6, 1e-2));
        case 1: return 0.0f;
        default: return static_cast<float>(rng.uniform(20.0, 400.0));
    }
}

// Exponents whose factors become non-finite (or NaN through the root).
float nonFiniteExponent(SplitMix& rng) {
    switch (rng.integer(0, 2)) {
        case 0: return 1e30f;
        case 1: return -1.5f;
        default: return std::numeric_limits<float>::infinity();
    }
}

float ordinaryCoefficient(SplitMix& rng) {
    if (rng.chance(0.1)) return 0.0f;
    if (rng.chance(0.02)) return static_cast<float>(rng.uniform(-1e-38, 1e-38));
    return static_cast<float>(rng.uniform(-1.0, 1.0));
}

float nonFiniteCoefficient(SplitMix& rng) {
    switch (rng.integer(0, 2)) {
        case 0: return std::numeric_limits<float>::infinity();
        case 1: return -std::numeric_limits<float>::infinity();
        default: return std::numeric_limits<float>::quiet_NaN();
    }
}

}  // namespace

RandomCase randomCase(std::uint64_t seed, int maxAtoms) {
    SplitMix rng(seed * 7919u + 17u);
    RandomCase c;
    MoleculeRecord& m = c.molecule;
    m.atomCount = rng.chance(0.04) ? 0 : rng.integer(1, maxAtoms);
    const double spread = rng.chance(0.2) ? 12.0 : 3.0;
    for (int i = 0; i < m.atomCount; ++i) {
        m.atomicNumbers[i] = randomAtomicNumber(rng);
        for (int axis = 0; axis < 3; ++axis) m.coordinates[i][axis] = static_cast<float>(rng.uniform(-spread, spread));
        if (rng.chance(0.05)) {
            c.description += " far-atom";
            m.coordinates[i][rng.integer(0, 2)] = static_cast<float>(rng.uniform(-300.0, 300.0));
        }
        m.sExponents[i] = ordinaryExponent(rng);
        m.pExponents[i] = rng.chance(0.3) ? m.sExponents[i] : ordinaryExponent(rng);
    }
    m.orbitalCount = MAX_ORBITALS;
    c.orbitalNumber = rng.integer(1, MAX_ORBITALS);
    for (float& v : c.column) v = ordinaryCoefficient(rng);

    // At most one kind of trouble per molecule, so that the rest of its
    // volume stays finite and telling. Rows 1..4*atoms are the ones used.
    const int usedRows = std::max(1, 4 * m.atomCount);
    const int atom = m.atomCount > 0 ? rng.integer(0, m.atomCount - 1) : 0;
    switch (rng.integer(0, 9)) {
        case 6:
            c.description += " huge-coefficient";
            c.column[rng.integer(0, usedRows - 1)] = static_cast<float>(rng.uniform(-1e30, 1e30));
            break;
        case 7:
            c.description += " non-finite-coefficient";
            c.column[rng.integer(0, usedRows - 1)] = nonFiniteCoefficient(rng);
            break;
        case 8:
            c.description += " non-finite-exponent";
            (rng.chance(0.5) ? m.sExponents : m.pExponents)[atom] = nonFiniteExponent(rng);
            break;
        case 9:
            c.description += " extreme-exponents";
            for (int i = 0; i < m.atomCount; ++i) {
                if (rng.chance(0.4)) m.sExponents[i] = extremeExponent(rng);
                if (rng.chance(0.4)) m.pExponents[i] = extremeExponent(rng);
            }
            break;
        default: break;
    }
    if (rng.chance(0.15)) {
        c.foreignPlanes = true;
        c.description += " foreign-planes";
        for (int axis = 0; axis < 3; ++axis) {
            c.planeOrigin[axis] = static_cast<float>(rng.uniform(-40.0, 10.0));
            c.planeSpacing[axis] = static_cast<float>(rng.uniform(-0.6, 0.9));
        }
    }
    return c;
}

namespace {

std::uint32_t canonicalBits(float v) {
    if (v == 0.0f) return 0u;
    if (std::isnan(v)) return 0x7fc00000u;
    return std::bit_cast<std::uint32_t>(v);
}

}  // namespace

long firstDifference(const float* a, const float* b, long count) {
    for (long i = 0; i < count; ++i) {
        if (canonicalBits(a[i]) != canonicalBits(b[i])) return i;
    }
    return -1;
}

long firstVisibleDifference(const PackedVolume& visible, const float* every, float peak) {
    for (long i = 0; i < GRID_POINTS; ++i) {
        const std::uint32_t offset = visible.offset[i / POINTS_PER_AXIS];
        const bool same = offset == PackedVolume::NO_ROW
                              ? std::fabs(every[i]) * 256.0f < peak
                              : offset + POINTS_PER_AXIS <= visible.count &&
                                    canonicalBits(visible.values[offset + i % POINTS_PER_AXIS]) == canonicalBits(every[i]);
        if (!same) return i;
    }
    return -1;
}

std::uint64_t volumeHash(const float* values, long count, std::uint64_t hash) {
    for (long i = 0; i < count; ++i) {
        std::uint32_t bits = canonicalBits(values[i]);
        for (int byte = 0; byte < 4; ++byte) {
            hash ^= (bits >> (8 * byte)) & 0xffu;
            hash *= 1099511628211ull;
        }
    }
    return hash;
}

}  // namespace gridorb::testsupport
