#include "evaluator/atom_sweep.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "platform/processor.h"

// The 32-byte vector helpers below are internal and always inlined, so the
// ABI note that both compilers give for them under the default target does
// not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace gridorb::evaluator {
namespace {

// Four lanes; under the baseline target the compiler splits them into
// two-lane halves (SSE2, or NEON on arm64). Every lane sees the same IEEE
// operations, in the same order, as the scalar formula: widen, double ops,
// round to float.
typedef double Double4 __attribute__((vector_size(32)));
typedef float Float4 __attribute__((vector_size(16)));

inline __attribute__((always_inline)) Double4 broadcast(double v) { return Double4{v, v, v, v}; }

inline __attribute__((always_inline)) Double4 loadDouble4(const double* p) {
    Double4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Widens four floats, exactly. Lane by lane: g++ 12 makes two half-width
// conversions and a lane insert of the vector conversion, which slowed the
// sweep by a quarter; this is one instruction with AVX2.
inline __attribute__((always_inline)) Double4 widen(Float4 v) { return Double4{v[0], v[1], v[2], v[3]}; }

// Rounds every lane to float and back: psi is stored in float after each update.
inline __attribute__((always_inline)) Double4 roundToFloat(Double4 v) { return widen(__builtin_convertvector(v, Float4)); }

struct RowTerms {
    double syz = 0.0;  // sy(iy)*sz(iz), exact in double
    double pyz = 0.0;  // py(iy)+pz(iz), as the bracket forms it first
    double gy = 0.0;
    double gz = 0.0;
};

// Four points x .. x+3 of a row.
template <bool S, bool P>
inline __attribute__((always_inline)) void sweepVector(const KernelPrimitive& f, const Double4& syz,
                                                       const Double4& pyz, const Double4& gy, const Double4& gz,
                                                       int x, float* row) {
    Float4 stored;
    std::memcpy(&stored, row + x, sizeof stored);
    Double4 psi = widen(stored);
    if constexpr (S) {
        psi = psi + syz * loadDouble4(f.sx.data() + x);
        if constexpr (P) psi = roundToFloat(psi);
    }
    if constexpr (P) {
        // (((py+pz)+px)*gx)*gy)*gz: gy*gz may not be formed first.
        Double4 term = pyz + loadDouble4(f.px.data() + x);
        term = term * loadDouble4(f.gx.data() + x);
        term = term * gy;
        term = term * gz;
        psi = psi + term;
    }
    stored = __builtin_convertvector(psi, Float4);
    std::memcpy(row + x, &stored, sizeof stored);
}

// The same operations on the last points of a row, one at a time: a row
// holds 51 points, and a vector store over its end followed by the next
// primitive's loads would stall the processor on every row.
template <bool S, bool P>
inline __attribute__((always_inline)) void sweepPoint(const KernelPrimitive& f, const RowTerms& t, int x,
                                                      float* row) {
    double psi = row[x];
    if constexpr (S) {
        psi = psi + t.syz * f.sx[x];
        if constexpr (P) psi = static_cast<float>(psi);
    }
    if constexpr (P) psi = psi + (((t.pyz + f.px[x]) * f.gx[x]) * t.gy) * t.gz;
    row[x] = static_cast<float>(psi);
}

constexpr int ROW_TAIL = POINTS_PER_AXIS % 4;
constexpr int LAST_VECTOR = POINTS_PER_AXIS - ROW_TAIL;
static_assert(ROW_TAIL == 3 && PADDED_ROW == LAST_VECTOR + 4);

template <bool S, bool P>
inline __attribute__((always_inline)) void sweepRow(const KernelPrimitive& f, const RowTerms& t, int begin, int end,
                                                    float* row) {
    const Double4 syz = broadcast(t.syz), pyz = broadcast(t.pyz), gy = broadcast(t.gy), gz = broadcast(t.gz);
    const int whole = std::min(end, LAST_VECTOR);
    int x = begin;
    for (; x < whole; x += 4) sweepVector<S, P>(f, syz, pyz, gy, gz, x, row);
    if (x < end) {
        for (int i = x; i < POINTS_PER_AXIS; ++i) sweepPoint<S, P>(f, t, i, row);
    }
}

// Both terms of one primitive over a row: the points that only one of them
// reaches get only that one, so that neither is formed where it is an exact
// zero. Each point still gets the s update before the p update.
inline __attribute__((always_inline)) void sweepBoth(const KernelPrimitive& f, const RowTerms& t, float* row) {
    const IndexRange s = f.sXVectors, p = f.pXVectors;
    const int begin = std::max(s.begin, p.begin);
    const int end = std::min(s.end, p.end);
    if (begin >= end) {
        sweepRow<true, false>(f, t, s.begin, s.end, row);
        sweepRow<false, true>(f, t, p.begin, p.end, row);
        return;
    }
    if (s.begin < begin) sweepRow<true, false>(f, t, s.begin, begin, row);
    if (p.begin < begin) sweepRow<false, true>(f, t, p.begin, begin, row);
    sweepRow<true, true>(f, t, begin, end, row);
    if (s.end > end) sweepRow<true, false>(f, t, end, s.end, row);
    if (p.end > end) sweepRow<false, true>(f, t, end, p.end, row);
}

// Plane by plane, and within a plane the primitives in order, so that the
// rows a plane's three primitives share stay in the first level cache.
inline __attribute__((always_inline)) void sweepAtomBody(const KernelAtom& atom, int izBegin, int izEnd,
                                                         RowPlaces rows) {
    for (int iz = izBegin; iz < izEnd; ++iz) {
        const std::uint32_t* planeOffsets = rows.offset + iz * POINTS_PER_AXIS;
        for (const KernelPrimitive& f : atom.primitive) {
            const bool sPlane = f.sZ.contains(iz) && !f.sX.empty();
            const bool pPlane = atom.hasP && f.pZ.contains(iz) && !f.pX.empty();
            if (!sPlane && !pPlane) continue;
            const int yBegin = std::min(sPlane ? f.sY.begin : POINTS_PER_AXIS, pPlane ? f.pY.begin : POINTS_PER_AXIS);
            const int yEnd = std::max(sPlane ? f.sY.end : 0, pPlane ? f.pY.end : 0);
            RowTerms t;
            const double sz = f.sz[iz];
            const double pz = f.pz[iz];
            t.gz = f.gz[iz];
            for (int iy = yBegin; iy < yEnd; ++iy) {
                if (planeOffsets[iy] == PackedVolume::NO_ROW) continue;
                const bool s = sPlane && f.sY.contains(iy);
                const bool p = pPlane && f.pY.contains(iy);
                float* row = rows.values + planeOffsets[iy];
                if (s) t.syz = f.sy[iy] * sz;
                if (p) {
                    t.pyz = f.py[iy] + pz;
                    t.gy = f.gy[iy];
                }
                if (s && p) {
                    sweepBoth(f, t, row);
                } else if (s) {
                    sweepRow<true, false>(f, t, f.sXVectors.begin, f.sXVectors.end, row);
                } else if (p) {
                    sweepRow<false, true>(f, t, f.pXVectors.begin, f.pXVectors.end, row);
                }
            }
        }
    }
}

GRIDORB_AVX2_TARGET void sweepAtomAvx2(const KernelAtom& atom, int izBegin, int izEnd, RowPlaces rows) {
    sweepAtomBody(atom, izBegin, izEnd, rows);
}

}  // namespace

void sweepAtom(const KernelAtom& atom, int izBegin, int izEnd, RowPlaces rows) {
    izBegin = std::max(izBegin, 0);
    izEnd = std::min(izEnd, POINTS_PER_AXIS);
    if (platform::hasAvx2()) {
        sweepAtomAvx2(atom, izBegin, izEnd, rows);
    } else {
        sweepAtomBody(atom, izBegin, izEnd, rows);
    }
}

}  // namespace gridorb::evaluator
