#include "evaluator/evaluation_kernel.h"

#include <algorithm>
#include <cmath>
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

template <typename T>
IndexRange nonZeroRange(const T& table, int size) {
    int begin = 0;
    while (begin < size && table[begin] == 0) ++begin;
    int end = size;
    while (end > begin && table[end - 1] == 0) --end;
    return {begin, end};
}

template <typename T>
bool allFinite(const T& table) {
    for (auto v : table) {
        if (!std::isfinite(v)) return false;
    }
    return true;
}

template <typename T>
bool allZero(const T& table) {
    for (auto v : table) {
        if (v != 0) return false;
    }
    return true;
}

bool factorsFinite(const AtomFactors& factors) {
    for (const PrimitiveFactors& f : factors.primitive) {
        if (!allFinite(f.sx) || !allFinite(f.sy) || !allFinite(f.sz) || !allFinite(f.px) || !allFinite(f.py) ||
            !allFinite(f.pz) || !allFinite(f.gx) || !allFinite(f.gy) || !allFinite(f.gz))
            return false;
    }
    return true;
}

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

inline int alignDown(int i) { return i & ~3; }
inline int alignUp(int i) { return std::min(PADDED_ROW, (i + 3) & ~3); }

inline __attribute__((always_inline)) void evaluatePlanesBody(std::span<const KernelAtom> atoms, int izBegin,
                                                              int izEnd, OrbitalVolume& psi) {
    for (int iz = izBegin; iz < izEnd; ++iz) {
        for (int iy = 0; iy < POINTS_PER_AXIS; ++iy) {
            alignas(32) float row[PADDED_ROW] = {};
            for (const KernelAtom& atom : atoms) {
                for (const KernelPrimitive& f : atom.primitive) {
                    const bool s = f.sY.contains(iy) && f.sZ.contains(iz) && !f.sX.empty();
                    const bool p = atom.hasP && f.pY.contains(iy) && f.pZ.contains(iz) && !f.pX.empty();
                    RowTerms t;
                    if (s) t.syz = static_cast<double>(f.sy[iy]) * f.sz[iz];
                    if (p) {
                        t.pyz = static_cast<double>(f.py[iy]) + f.pz[iz];
                        t.gy = f.gy[iy];
                        t.gz = f.gz[iz];
                    }
                    if (s && p) {
                        sweepRow<true, true>(f, t, alignDown(std::min(f.sX.begin, f.pX.begin)),
                                             alignUp(std::max(f.sX.end, f.pX.end)), row);
                    } else if (s) {
                        sweepRow<true, false>(f, t, alignDown(f.sX.begin), alignUp(f.sX.end), row);
                    } else if (p) {
                        sweepRow<false, true>(f, t, alignDown(f.pX.begin), alignUp(f.pX.end), row);
                    }
                }
            }
            std::memcpy(&psi.at(0, iy, iz), row, sizeof(float) * POINTS_PER_AXIS);
        }
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

KernelAtom prepareKernelAtom(const AtomFactors& factors) {
    KernelAtom atom;
    if (factors.shell == basis::Shell::None) return atom;
    atom.hasP = factors.shell != basis::Shell::OneS;
    const bool literal = !factorsFinite(factors);
    const IndexRange full{0, POINTS_PER_AXIS};
    for (int k = 0; k < 3; ++k) {
        const PrimitiveFactors& in = factors.primitive[k];
        KernelPrimitive& out = atom.primitive[k];
        std::copy(in.sx.begin(), in.sx.end(), out.sx.begin());
        std::copy(in.px.begin(), in.px.end(), out.px.begin());
        std::copy(in.gx.begin(), in.gx.end(), out.gx.begin());
        out.sy = in.sy;
        out.sz = in.sz;
        out.py = in.py;
        out.pz = in.pz;
        out.gy = in.gy;
        out.gz = in.gz;
        if (literal) {
            out.sX = out.sY = out.sZ = out.pX = out.pY = out.pZ = full;
            continue;
        }
        out.sX = nonZeroRange(in.sx, POINTS_PER_AXIS);
        out.sY = nonZeroRange(in.sy, POINTS_PER_AXIS);
        out.sZ = nonZeroRange(in.sz, POINTS_PER_AXIS);
        // With every p table zero the bracket is 0 everywhere.
        const bool pZero = allZero(in.px) && allZero(in.py) && allZero(in.pz);
        out.pX = pZero ? IndexRange{} : nonZeroRange(in.gx, POINTS_PER_AXIS);
        out.pY = nonZeroRange(in.gy, POINTS_PER_AXIS);
        out.pZ = nonZeroRange(in.gz, POINTS_PER_AXIS);
    }
    return atom;
}

void evaluatePlanes(std::span<const KernelAtom> atoms, int izBegin, int izEnd, OrbitalVolume& psi) {
    izBegin = std::max(izBegin, 0);
    izEnd = std::min(izEnd, POINTS_PER_AXIS);
    static const bool avx2 = __builtin_cpu_supports("avx2");
    if (avx2) {
        evaluatePlanesAvx2(atoms, izBegin, izEnd, psi);
    } else {
        evaluatePlanesGeneric(atoms, izBegin, izEnd, psi);
    }
}

}  // namespace gridorb::evaluator
