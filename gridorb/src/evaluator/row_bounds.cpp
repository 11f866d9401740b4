#include "evaluator/row_bounds.h"

#include <bit>
#include <cmath>
#include <cstdint>
#include <cstring>

#include "platform/processor.h"

#pragma GCC diagnostic ignored "-Wpsabi"

namespace gridorb::evaluator {
namespace {

// Eight rows a vector; the last vector starts at row 43, so that all seven
// stay within the 51-value tables (rows 43..47 are bounded twice, alike).
typedef float Float8 __attribute__((vector_size(32)));
typedef std::int32_t Int8 __attribute__((vector_size(32)));
constexpr int VECTORS = 7;
constexpr int START[VECTORS] = {0, 8, 16, 24, 32, 40, POINTS_PER_AXIS - 8};

// The sweep rounds psi to float after each of at most 2 * 3 * 50 terms and
// forms each term from float factors with a few roundings in double; the
// bound is summed in float. Together these stay far below 2^-12 relative,
// and below 2^-120 absolute where a product passes into the subnormals.
constexpr float RELATIVE_MARGIN = 1.0f + 0x1p-12f;
constexpr float ABSOLUTE_MARGIN = 0x1p-120f;

[[gnu::always_inline]] inline Float8 load(const float* table, int start) {
    Float8 v;
    std::memcpy(&v, table + start, sizeof v);
    return std::bit_cast<Float8>(std::bit_cast<Int8>(v) & INT32_MAX);  // |v|
}

// The bound of each row of plane iz, by vectors of eight rows (START).
[[gnu::always_inline]] inline void rowBounds(const KernelAtom* atoms, int atomCount, int iz, Float8 (&bound)[VECTORS]) {
    for (Float8& b : bound) b = Float8{};
    for (int a = 0; a < atomCount; ++a) {
        const KernelAtom& atom = atoms[a];
        for (const KernelPrimitive& f : atom.primitive) {
            // An exact 0 leaves out a term that is 0 along the whole plane;
            // inf * 0 gives NaN, which keeps the term (and the rows) in.
            const float s = f.sxPeak * std::fabs(f.sz[iz]);
            if (s != 0.0f) {
                for (int v = 0; v < VECTORS; ++v) bound[v] += s * load(f.sy.data(), START[v]);
            }
            if (!atom.hasP) continue;
            const float g = std::fabs(f.gz[iz]) * f.gxPeak;
            if (g == 0.0f) continue;
            const float gz = std::fabs(f.gz[iz]);
            const float along = f.pgxPeak + std::fabs(f.pz[iz]) * f.gxPeak;
            for (int v = 0; v < VECTORS; ++v) {
                bound[v] += (gz * load(f.gy.data(), START[v])) * (along + load(f.py.data(), START[v]) * f.gxPeak);
            }
        }
    }
}

[[gnu::always_inline]] inline PlaneRows boundBody(const KernelAtom* atoms, int atomCount, int iz, float peakFloor) {
    Float8 bound[VECTORS];
    rowBounds(atoms, atomCount, iz, bound);
    PlaneRows rows{0, 0.0f};
    for (int v = 0; v < VECTORS; ++v) {
        const Float8 widened = bound[v] * RELATIVE_MARGIN + ABSOLUTE_MARGIN;
        const Int8 dead = widened * 256.0f < peakFloor;  // false for NaN
        for (int lane = 0; lane < 8; ++lane) {
            const std::uint64_t bit = std::uint64_t{1} << (START[v] + lane);
            if (dead[lane] == 0) {
                rows.live |= bit;
            } else if (widened[lane] > rows.deadPeak) {
                rows.deadPeak = widened[lane];
            }
        }
    }
    return rows;
}

[[gnu::always_inline]] inline int strongestBody(const KernelAtom* atoms, int atomCount, int iz) {
    Float8 bound[VECTORS];
    rowBounds(atoms, atomCount, iz, bound);
    int strongest = POINTS_PER_AXIS / 2;
    float largest = 0.0f;  // a NaN bound is never taken
    for (int v = 0; v < VECTORS; ++v) {
        for (int lane = 0; lane < 8; ++lane) {
            if (bound[v][lane] > largest) {
                largest = bound[v][lane];
                strongest = START[v] + lane;
            }
        }
    }
    return strongest;
}

GRIDORB_AVX2_TARGET int strongestAvx2(const KernelAtom* atoms, int atomCount, int iz) {
    return strongestBody(atoms, atomCount, iz);
}

GRIDORB_AVX2_TARGET PlaneRows boundAvx2(const KernelAtom* atoms, int atomCount, int iz, float peakFloor) {
    return boundBody(atoms, atomCount, iz, peakFloor);
}

}  // namespace

PlaneRows boundPlaneRows(const KernelAtom* atoms, int atomCount, int iz, float peakFloor) {
    return platform::hasAvx2() ? boundAvx2(atoms, atomCount, iz, peakFloor) : boundBody(atoms, atomCount, iz, peakFloor);
}

int strongestRow(const KernelAtom* atoms, int atomCount, int iz) {
    return platform::hasAvx2() ? strongestAvx2(atoms, atomCount, iz) : strongestBody(atoms, atomCount, iz);
}

}  // namespace gridorb::evaluator
