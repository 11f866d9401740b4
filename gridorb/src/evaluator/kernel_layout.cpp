#include "evaluator/kernel_layout.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace gridorb::evaluator {
namespace {

// What one pass over a table finds: where it is other than +-0 (bit i for
// entry i; NaN counts as other), whether every entry is finite, and the bits
// of its largest magnitude, which order as the magnitudes do when all are
// finite. Each of an atom's 27 tables is read once for all four, not once
// per property: laying atoms out is on the path of every run.
struct TableScan {
    std::uint64_t nonZero = 0;
    std::uint32_t largest = 0;
    bool finite = true;
};

template <std::size_t N>
TableScan scanTable(const std::array<float, N>& table) {
    static_assert(N <= 64);
    TableScan scan;
    std::size_t i = 0;
#if defined(__SSE2__)
    // v != 0 is false for +-0 only (NaN compares unequal). Magnitudes are
    // below 2^31, so they compare as signed integers.
    const __m128i noSign = _mm_set1_epi32(0x7fffffff), exponent = _mm_set1_epi32(0x7f800000);
    __m128i largest = _mm_setzero_si128(), full = _mm_setzero_si128();
    for (; i + 4 <= N; i += 4) {
        const __m128 v = _mm_loadu_ps(table.data() + i);
        scan.nonZero |= static_cast<std::uint64_t>(_mm_movemask_ps(_mm_cmpneq_ps(v, _mm_setzero_ps()))) << i;
        const __m128i magnitude = _mm_and_si128(_mm_castps_si128(v), noSign);
        const __m128i greater = _mm_cmpgt_epi32(magnitude, largest);
        largest = _mm_or_si128(_mm_and_si128(greater, magnitude), _mm_andnot_si128(greater, largest));
        full = _mm_or_si128(full, _mm_cmpeq_epi32(_mm_and_si128(magnitude, exponent), exponent));
    }
    alignas(16) std::uint32_t lanes[4];
    _mm_store_si128(reinterpret_cast<__m128i*>(lanes), largest);
    scan.largest = std::max(std::max(lanes[0], lanes[1]), std::max(lanes[2], lanes[3]));
    scan.finite = _mm_movemask_epi8(full) == 0;
#endif
    for (; i < N; ++i) {
        const std::uint32_t magnitude = std::bit_cast<std::uint32_t>(table[i]) & 0x7fffffffu;
        scan.nonZero |= static_cast<std::uint64_t>(magnitude != 0) << i;
        scan.largest = std::max(scan.largest, magnitude);
        scan.finite &= (magnitude & 0x7f800000u) != 0x7f800000u;
    }
    return scan;
}

// [first, last + 1) of the entries other than +-0, or [N, N) when there are none.
IndexRange nonZeroRange(std::uint64_t nonZero) {
    if (nonZero == 0) return {POINTS_PER_AXIS, POINTS_PER_AXIS};
    return {std::countr_zero(nonZero), 64 - std::countl_zero(nonZero)};
}

// The tables of one primitive in the order scanned.
enum Table { SX, SY, SZ, PX, PY, PZ, GX, GY, GZ, TABLES };

}  // namespace

void prepareKernelAtom(const AtomFactors& factors, KernelAtom& atom) {
    atom.hasP = factors.shell == basis::Shell::TwoSP || factors.shell == basis::Shell::ThreeSP;
    std::array<std::array<TableScan, TABLES>, 3> scans;
    bool literal = false;
    for (int k = 0; k < 3; ++k) {
        const PrimitiveFactors& in = factors.primitive[k];
        scans[k] = {scanTable(in.sx), scanTable(in.sy), scanTable(in.sz), scanTable(in.px), scanTable(in.py),
                    scanTable(in.pz), scanTable(in.gx), scanTable(in.gy), scanTable(in.gz)};
        for (const TableScan& scan : scans[k]) literal |= !scan.finite;
    }
    const IndexRange full{0, POINTS_PER_AXIS};
    for (int k = 0; k < 3; ++k) {
        const PrimitiveFactors& in = factors.primitive[k];
        const std::array<TableScan, TABLES>& scan = scans[k];
        KernelPrimitive& out = atom.primitive[k];
        for (int i = 0; i < POINTS_PER_AXIS; ++i) {
            out.sx[i] = in.sx[i];
            out.px[i] = in.px[i];
            out.gx[i] = in.gx[i];
        }
        for (int i = POINTS_PER_AXIS; i < PADDED_ROW; ++i) out.sx[i] = out.px[i] = out.gx[i] = 0.0;
        out.sy = in.sy;
        out.sz = in.sz;
        out.py = in.py;
        out.pz = in.pz;
        out.gy = in.gy;
        out.gz = in.gz;
        out.sxPeak = out.gxPeak = out.pgxPeak = INFINITY;
        if (!literal) {
            std::array<float, POINTS_PER_AXIS> pgx;
            // Each product rounded once, as in double and then to float.
            for (int i = 0; i < POINTS_PER_AXIS; ++i) pgx[i] = in.px[i] * in.gx[i];
            out.sxPeak = std::bit_cast<float>(scan[SX].largest);
            out.gxPeak = std::bit_cast<float>(scan[GX].largest);
            out.pgxPeak = std::bit_cast<float>(scanTable(pgx).largest);
        }
        if (factors.shell == basis::Shell::None) {
            out.sX = out.sY = out.sZ = out.pX = out.pY = out.pZ = IndexRange{};
        } else if (literal) {
            out.sX = out.sY = out.sZ = out.pX = out.pY = out.pZ = full;
            if (!atom.hasP) out.pX = out.pY = out.pZ = IndexRange{};
        } else {
            out.sX = nonZeroRange(scan[SX].nonZero);
            out.sY = nonZeroRange(scan[SY].nonZero);
            out.sZ = nonZeroRange(scan[SZ].nonZero);
            // With every p table zero the bracket is 0 everywhere.
            const bool pZero = !atom.hasP || (scan[PX].nonZero | scan[PY].nonZero | scan[PZ].nonZero) == 0;
            out.pX = pZero ? IndexRange{} : nonZeroRange(scan[GX].nonZero);
            out.pY = nonZeroRange(scan[GY].nonZero);
            out.pZ = nonZeroRange(scan[GZ].nonZero);
        }
    }
    // The x ranges widened to whole vectors of four, within the padded row.
    auto vectors = [](IndexRange r) {
        return r.empty() ? IndexRange{} : IndexRange{r.begin & ~3, std::min(PADDED_ROW, (r.end + 3) & ~3)};
    };
    for (KernelPrimitive& out : atom.primitive) {
        out.sXVectors = vectors(out.sX);
        out.pXVectors = vectors(out.pX);
    }
}

}  // namespace gridorb::evaluator
