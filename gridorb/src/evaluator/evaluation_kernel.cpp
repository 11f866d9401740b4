#include "evaluator/evaluation_kernel.h"

#include <algorithm>
#include <cstring>

// The 32-byte vector helpers below are internal and always inlined, so the
// ABI note that both compilers give for them under the default target does
// not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace gridorb::evaluator {
namespace {

// Four lanes; under the default target the compiler splits them into SSE2
// halves. Every lane sees the same IEEE operations, in the same order, as
// the scalar formula: widen, double ops, round to float.
typedef double Double4 __attribute__((vector_size(32)));
typedef float Float4 __attribute__((vector_size(16)));

inline __attribute__((always_inline)) Double4 broadcast(double v) { return Double4{v, v, v, v}; }

inline __attribute__((always_inline)) Double4 loadDouble4(const double* p) {
    Double4 v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

// Rounds every lane to float and back: psi is stored in float after each update.
inline __attribute__((always_inline)) Double4 roundToFloat(Double4 v) { return __builtin_convertvector(__builtin_convertvector(v, Float4), Double4); }

struct RowTerms {
    double syz = 0.0;  // sy(iy)*sz(iz), exact in double
    double pyz = 0.0;  // py(iy)+pz(iz), as the bracket forms it first
    double gy = 0.0;
    double gz = 0.0;
};

template <bool S, bool P>
inline __attribute__((always_inline)) void sweepRow(const KernelPrimitive& f, const RowTerms& t, int begin, int end,
                                                    float* row) {
    const Double4 syz = broadcast(t.syz), pyz = broadcast(t.pyz), gy = broadcast(t.gy), gz = broadcast(t.gz);
    for (int x = begin; x < end; x += 4) {
        Float4 stored;
        std::memcpy(&stored, row + x, sizeof stored);
        Double4 psi = __builtin_convertvector(stored, Double4);
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
}

// One z-plane at a time, held in a padded buffer that stays in the first
// level cache while every primitive of every atom is swept over it in
// order: each point still receives the atoms in order and, per atom, the
// primitives k = 1..3 with the s update before the p update.
inline __attribute__((always_inline)) void evaluatePlanesBody(std::span<const KernelAtom> atoms, int izBegin,
                                                              int izEnd, OrbitalVolume& psi) {
    for (int iz = izBegin; iz < izEnd; ++iz) {
        alignas(32) float plane[POINTS_PER_AXIS][PADDED_ROW] = {};
        for (const KernelAtom& atom : atoms) {
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
                    const bool s = sPlane && f.sY.contains(iy);
                    const bool p = pPlane && f.pY.contains(iy);
                    float* row = plane[iy];
                    if (s) t.syz = f.sy[iy] * sz;
                    if (p) {
                        t.pyz = f.py[iy] + pz;
                        t.gy = f.gy[iy];
                    }
                    if (s && p) {
                        sweepRow<true, true>(f, t, f.spX.begin, f.spX.end, row);
                    } else if (s) {
                        sweepRow<true, false>(f, t, f.sXVectors.begin, f.sXVectors.end, row);
                    } else if (p) {
                        sweepRow<false, true>(f, t, f.pXVectors.begin, f.pXVectors.end, row);
                    }
                }
            }
        }
        for (int iy = 0; iy < POINTS_PER_AXIS; ++iy)
            std::memcpy(&psi.at(0, iy, iz), plane[iy], sizeof(float) * POINTS_PER_AXIS);
    }
}

__attribute__((target("avx2"))) void evaluatePlanesAvx2(std::span<const KernelAtom> atoms, int izBegin, int izEnd,
                                                        OrbitalVolume& psi) {
    evaluatePlanesBody(atoms, izBegin, izEnd, psi);
}

void evaluatePlanesGeneric(std::span<const KernelAtom> atoms, int izBegin, int izEnd, OrbitalVolume& psi) {
    evaluatePlanesBody(atoms, izBegin, izEnd, psi);
}

}  // namespace

void evaluatePlanes(std::span<const KernelAtom> atoms, int izBegin, int izEnd, OrbitalVolume& psi,
                    KernelPath path) {
    izBegin = std::max(izBegin, 0);
    izEnd = std::min(izEnd, POINTS_PER_AXIS);
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2 && path == KernelPath::Best) {
        evaluatePlanesAvx2(atoms, izBegin, izEnd, psi);
    } else {
        evaluatePlanesGeneric(atoms, izBegin, izEnd, psi);
    }
}

}  // namespace gridorb::evaluator
