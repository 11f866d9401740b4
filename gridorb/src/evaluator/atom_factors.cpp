#include "evaluator/atom_factors.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>

#include "platform/processor.h"

// The vector helpers below are internal and always inlined, so the ABI note
// that both compilers give for 32-byte vectors under the default target does
// not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace gridorb::evaluator {

float guardedExp(float x) { return x >= EXPONENT_CUT_OFF ? static_cast<float>(std::exp(static_cast<double>(x))) : 0.0f; }

MoleculeAtoms gatherAtomInputs(const MoleculeRecord& molecule, const CoefficientMatrix& coefficients,
                               std::int32_t orbitalNumber) {
    MoleculeAtoms result;
    result.count = molecule.atomCount < 0 ? 0 : (molecule.atomCount > MAX_ATOMS ? MAX_ATOMS : molecule.atomCount);
    const bool validOrbital = orbitalNumber >= 1 && orbitalNumber <= MAX_ORBITALS;
    auto coefficient = [&](std::int32_t row) {
        return validOrbital && row >= 1 && row <= MAX_ORBITALS ? coefficients.at(row, orbitalNumber) : 0.0f;
    };
    std::int32_t b = 1;
    for (std::int32_t i = 0; i < result.count; ++i) {
        AtomInput& atom = result.atoms[i];
        atom.atomicNumber = molecule.atomicNumbers[i];
        atom.position = molecule.coordinates[i];
        atom.zetaS = molecule.sExponents[i];
        atom.zetaP = molecule.pExponents[i];
        const std::int32_t functions = basis::countedFunctions(atom.atomicNumber);
        for (std::int32_t f = 0; f < functions; ++f) atom.coefficients[f] = coefficient(b + f);
        b += functions;
    }
    return result;
}

namespace {

// The exponentials are formed in double as guardedExp forms each, four at a
// time: x (a float, exact in double) = n*ln2 + r with |r| <= ln2/2, exp(r)
// by a polynomial, and 2^n put into the exponent. For every float from -19
// to 0 that double lies within 8 units in its last place of the C library's
// exp(x), so both round to the same float unless they lie near the middle
// between two floats. Where the double does (about one lane in a million),
// or an argument is above 0, guardedExp itself forms the lot.
typedef float Float4 __attribute__((vector_size(16)));
typedef double Double4 __attribute__((vector_size(32)));
typedef std::int64_t Long4 __attribute__((vector_size(32)));

constexpr double INV_LN2 = 0x1.71547652b82fep0;
// ln2 in two parts: n*LN2_HI is exact for the n of any argument from -19 up.
constexpr double LN2_HI = 0x1.62e42fee00000p-1;
constexpr double LN2_LO = 0x1.a39ef35793c76p-33;
// Adding it rounds a double below 2^51 to a whole number, which the low bits
// then hold.
constexpr double ROUNDER = 0x1.8p52;
// exp(r) = 1 + r + r^2 * Q(r) on |r| <= 0.3466, Q fitted at Chebyshev nodes.
constexpr double Q0 = 0x1.0000000000000p-1, Q1 = 0x1.5555555553b79p-3, Q2 = 0x1.5555555554cb7p-5,
                 Q3 = 0x1.1111111c4725cp-7, Q4 = 0x1.6c16c1738faf6p-10, Q5 = 0x1.a019ada56ce53p-13,
                 Q6 = 0x1.a019c9a6c2942p-16, Q7 = 0x1.72c729cbdb150p-19, Q8 = 0x1.28803f36ecdd5p-22;
// A double rounds to a float by its low 29 bits; halfway is 2^28, and
// anything within NEAR_HALFWAY units of it is left to guardedExp.
constexpr std::int64_t LOW_BITS = (std::int64_t{1} << 29) - 1;
constexpr std::int64_t HALFWAY = std::int64_t{1} << 28;
constexpr std::int64_t NEAR_HALFWAY = 1024;
// Stands for an argument below -19 or NaN: its exponential, a double near
// 1e-304 and far from halfway, rounds to float 0 as guardedExp gives.
constexpr float ZERO_ARGUMENT = -700.0f;

// The argument exponentials() takes for x.
template <typename Float>
[[gnu::always_inline]] inline Float blockArgument(const Float& x) {
    return x >= EXPONENT_CUT_OFF ? x : Float{} + ZERO_ARGUMENT;  // NaN too
}

// Planes of an axis taken at a time, in blocks of 4 lanes.
constexpr std::size_t CHUNK = 64;
constexpr std::size_t BLOCKS = CHUNK / 4;
// Per axis: s and p, 3 primitives each.
constexpr std::size_t SEQUENCES = 18;
constexpr std::size_t MAX_BLOCKS = SEQUENCES * BLOCKS;

// Room for the values between the passes of exponentials(), for this many
// blocks at a time: enough for the processor to overlap them, and a few
// pages of stack the less (each fresh page costs about 2 µs here).
constexpr std::size_t PASS_BLOCKS = 64;
struct Intermediates {
    Double4 value[PASS_BLOCKS];
    Long4 scale[PASS_BLOCKS];
};

// g = guardedExp of the arguments x, each from -19 to 0 or ZERO_ARGUMENT,
// in the listed blocks of 4 lanes (at most PASS_BLOCKS). Returns false where a double lay too
// near halfway to be sure of. In three passes over the blocks: in one, the
// chain of dependent operations per block is too long for the processor to
// work on many blocks at once.
[[gnu::always_inline]] inline bool exponentialPass(const float* x, float* g, const std::uint16_t* blocks,
                                                   std::size_t count, Intermediates& m) {
    for (std::size_t j = 0; j < count; ++j) {
        Float4 arguments;
        std::memcpy(&arguments, x + 4 * std::size_t{blocks[j]}, sizeof arguments);
        // Lane by lane: g++ 12 splits the vector conversion in halves.
        const Double4 v = {arguments[0], arguments[1], arguments[2], arguments[3]};
        const Double4 t = v * INV_LN2 + ROUNDER;
        const Double4 n = t - ROUNDER;
        m.value[j] = (v - n * LN2_HI) - n * LN2_LO;
        m.scale[j] = reinterpret_cast<Long4>(t) << 52;
    }
    for (std::size_t j = 0; j < count; ++j) {
        const Double4 r = m.value[j];
        // Q by pairs of terms: a shorter chain than Horner's.
        const Double4 r2 = r * r;
        const Double4 r4 = r2 * r2;
        const Double4 q01 = Q0 + Q1 * r, q23 = Q2 + Q3 * r, q45 = Q4 + Q5 * r, q67 = Q6 + Q7 * r;
        const Double4 q = (q01 + r2 * q23) + r4 * ((q45 + r2 * q67) + r4 * Q8);
        m.value[j] = 1.0 + (r + r2 * q);
    }
    Long4 near{};
    for (std::size_t j = 0; j < count; ++j) {
        const Long4 bits = reinterpret_cast<Long4>(m.value[j]) + m.scale[j];
        const Float4 rounded = __builtin_convertvector(reinterpret_cast<Double4>(bits), Float4);
        std::memcpy(g + 4 * std::size_t{blocks[j]}, &rounded, sizeof rounded);
        near |= ((bits - (HALFWAY - NEAR_HALFWAY)) & LOW_BITS) - (2 * NEAR_HALFWAY + 1);
    }
    return (near[0] | near[1] | near[2] | near[3]) >= 0;
}

// The same for any number of blocks, PASS_BLOCKS at a time.
[[gnu::always_inline]] inline bool exponentials(const float* x, float* g, const std::uint16_t* blocks,
                                                std::size_t count, Intermediates& m) {
    bool sure = true;
    for (std::size_t done = 0; done < count; done += PASS_BLOCKS) {
        sure &= exponentialPass(x, g, blocks + done, std::min(PASS_BLOCKS, count - done), m);
    }
    return sure;
}

// W float lanes: 8 with AVX2; 4 without, as wider comparisons would be
// split into scalar ones there.
template <int W>
struct Lanes {
    typedef float Float __attribute__((vector_size(4 * W)));
    typedef std::int32_t Int __attribute__((vector_size(4 * W)));
};

template <int W>
[[gnu::always_inline]] inline typename Lanes<W>::Float load(const float* p) {
    typename Lanes<W>::Float v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

template <int W>
[[gnu::always_inline]] inline void store(float* p, const typename Lanes<W>::Float& v) {
    std::memcpy(p, &v, sizeof v);
}

// The least lane of v.
template <int W>
[[gnu::always_inline]] inline float least(typename Lanes<W>::Float v) {
    Float4 m;
    std::memcpy(&m, &v, sizeof m);
    if constexpr (W == 8) {
        Float4 high;
        std::memcpy(&high, reinterpret_cast<const char*>(&v) + sizeof high, sizeof high);
        m = high < m ? high : m;
    }
    const Float4 swapped = __builtin_shufflevector(m, m, 2, 3, 0, 1);
    m = swapped < m ? swapped : m;
    return std::min(m[0], m[1]);
}

// out[i] = op(in[i]) for i < n, W lanes at a time; the last vector ends at
// n, over lanes already written (the tables end there). `in` holds whole
// vectors.
template <int W, typename Op>
[[gnu::always_inline]] inline void mapLanes(const float* in, float* out, std::size_t n, Op op) {
    if (n < W) {
        for (std::size_t i = 0; i < n; ++i) out[i] = op(in[i]);
        return;
    }
    for (std::size_t i = 0; i + W < n; i += W) store<W>(out + i, op(load<W>(in + i)));
    store<W>(out + n - W, op(load<W>(in + n - W)));
}

typedef std::uint16_t BlockIndices __attribute__((vector_size(2 * BLOCKS)));
constexpr BlockIndices BLOCK_ORDER = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
constexpr float LANE_INDEX[CHUNK] = {0,  1,  2,  3,  4,  5,  6,  7,  8,  9,  10, 11, 12, 13, 14, 15,
                                     16, 17, 18, 19, 20, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31,
                                     32, 33, 34, 35, 36, 37, 38, 39, 40, 41, 42, 43, 44, 45, 46, 47,
                                     48, 49, 50, 51, 52, 53, 54, 55, 56, 57, 58, 59, 60, 61, 62, 63};
// One chunk of planes of the three axes: the distances and their squares,
// and per axis, kind and primitive the arguments and their exponentials.
struct Chunk {
    alignas(32) float d[3][CHUNK];
    alignas(32) float d2[3][CHUNK];
    alignas(32) float x[SEQUENCES][CHUNK];
    alignas(32) float g[SEQUENCES][CHUNK];
    // The blocks to form, sequence * BLOCKS + block; the last sequence's
    // store lists BLOCKS.
    std::uint16_t blocks[MAX_BLOCKS + BLOCKS];
    Intermediates intermediates;
};

// Fixed: the plane count if known when compiled, else 0.
template <int W, std::size_t Fixed>
[[gnu::always_inline]] inline void fillAtomFactorsBody(const AtomInput& atom, basis::Shell shell,
                                                       const std::array<std::span<const float>, 3>& planes,
                                                       const basis::BasisWeights& weights,
                                                       const std::array<PrimitiveTables, 3>& tables) {
    using Float = typename Lanes<W>::Float;
    using Int = typename Lanes<W>::Int;
    const int s = basis::shellIndex(shell);
    if (s < 0) return;
    const bool sp = shell != basis::Shell::OneS;
    const basis::AtomNormalisation norm = basis::atomNormalisation(atom.zetaS, atom.zetaP);
    const std::array<float, 3> es = basis::scaledExponents(shell, atom.zetaS);
    const std::array<float, 3> ep = basis::scaledExponents(shell, atom.zetaP);
    Chunk c;
    std::array<float, 3> cs{}, cpk{};
    bool above = false;  // an argument d2 * e is above 0 only if e is
    for (int k = 0; k < 3; ++k) {
        // Ns*c_b is exact in double; the product with the weight is rounded once.
        cs[k] = static_cast<float>(static_cast<double>(norm.s) * atom.coefficients[0] * weights.s[s][k]);
        cpk[k] = sp ? norm.p * weights.p[s - 1][k] : 0.0f;
        above |= es[k] > 0.0f || ep[k] > 0.0f;
    }
    const std::size_t sequences = sp ? 6 : 3;
    const std::size_t longest = std::max({planes[0].size(), planes[1].size(), planes[2].size()});
    for (std::size_t begin = 0; begin < longest; begin += CHUNK) {
        // Planes of each axis in this chunk.
        const auto countOf = [&](int axis) -> std::size_t {
            if constexpr (Fixed != 0) return Fixed;
            const std::size_t size = planes[axis].size();
            return begin < size ? std::min(CHUNK, size - begin) : 0;
        };
        std::size_t listed = 0;
        for (int axis = 0; axis < 3; ++axis) {
            const std::size_t n = countOf(axis);
            const std::size_t lanes = (n + 7) & ~std::size_t{7};
            // The distance to the plane and its square, each rounded to float;
            // NaN past the last plane, whose exponential is 0.
            float* d = c.d[axis];
            std::copy_n(planes[axis].data() + begin, n, d);
            std::fill(d + n, d + lanes, NAN);
            for (std::size_t i = 0; i < lanes; i += W) {
                const Float dv = load<W>(d + i) - atom.position[axis];
                store<W>(d + i, dv);
                store<W>(c.d2[axis] + i, dv * dv);
            }
            for (std::size_t kind = 0; kind < sequences; ++kind) {
                const std::size_t q = 6 * static_cast<std::size_t>(axis) + kind;
                const float e = kind < 3 ? es[kind] : ep[kind - 3];
                // Only lanes between the first and the last argument from -19 up
                // are formed (a lane index plus 64 is never the least, minus 64
                // never the greatest). The others are 0.
                Float low = Float{} + static_cast<float>(CHUNK), high = -low;
                for (std::size_t i = 0; i < lanes; i += W) {
                    const Float argument = load<W>(c.d2[axis] + i) * e;
                    store<W>(c.x[q] + i, blockArgument(argument));
                    const Int zero = !(argument >= EXPONENT_CUT_OFF);  // NaN too
                    const Float index = load<W>(LANE_INDEX + i);
                    const Float offset = reinterpret_cast<Float>(zero & reinterpret_cast<Int>(Float{} + 64.0f));
                    low = index + offset < low ? index + offset : low;
                    high = index - offset > high ? index - offset : high;
                    store<W>(c.g[q] + i, Float{});
                }
                const std::int32_t firstBlock = static_cast<std::int32_t>(least<W>(low)) >> 2;
                const std::int32_t endBlock = std::max(4 - static_cast<std::int32_t>(least<W>(-high)), 0) >> 2;
                // Listed at once: their number varies, and a loop over them
                // would branch.
                const BlockIndices indices = static_cast<std::uint16_t>(q * BLOCKS + firstBlock) + BLOCK_ORDER;
                std::memcpy(c.blocks + listed, &indices, sizeof indices);
                listed += static_cast<std::size_t>(std::max(endBlock - firstBlock, 0));
            }
        }
        // g = guardedExp(x) in the listed blocks.
        const float* x = &c.x[0][0];
        float* g = &c.g[0][0];
        if (!exponentials(x, g, c.blocks, listed, c.intermediates) || above) {
            for (std::size_t j = 0; j < listed; ++j) {
                const std::size_t at = 4 * std::size_t{c.blocks[j]};
                for (std::size_t i = at; i < at + 4; ++i) g[i] = guardedExp(x[i]);
            }
        }
        for (int axis = 0; axis < 3; ++axis) {
            const std::size_t n = countOf(axis);
            for (int k = 0; k < 3; ++k) {
                const PrimitiveTables& f = tables[k];
                const std::span<float> sTable = axis == 0 ? f.sx : axis == 1 ? f.sy : f.sz;
                const float csk = cs[k];
                const auto sFactor = [axis, csk](auto g) { return axis == 0 ? g * csk : g; };
                mapLanes<W>(c.g[6 * axis + k], sTable.data() + begin, n, sFactor);
                if (!sp) continue;
                const std::span<float> pTable = axis == 0 ? f.px : axis == 1 ? f.py : f.pz;
                const std::span<float> gTable = axis == 0 ? f.gx : axis == 1 ? f.gy : f.gz;
                const float cp = cpk[k] * atom.coefficients[1 + axis];
                // A NaN distance gives its own NaN, whichever operand the
                // compiler takes first.
                const auto pFactor = [cp](auto d) { return d != d ? d : cp * d; };
                mapLanes<W>(c.d[axis], pTable.data() + begin, n, pFactor);
                mapLanes<W>(c.g[6 * axis + 3 + k], gTable.data() + begin, n, [](auto g) { return g; });
            }
        }
    }
}

template <std::size_t Fixed>
GRIDORB_AVX2_TARGET void fillAtomFactorsAvx2(const AtomInput& atom, basis::Shell shell,
                                             const std::array<std::span<const float>, 3>& planes,
                                             const basis::BasisWeights& weights,
                                             const std::array<PrimitiveTables, 3>& tables) {
    fillAtomFactorsBody<8, Fixed>(atom, shell, planes, weights, tables);
}

template <std::size_t Fixed>
void fillAtomFactorsOn(const AtomInput& atom, basis::Shell shell, const std::array<std::span<const float>, 3>& planes,
                       const basis::BasisWeights& weights, const std::array<PrimitiveTables, 3>& tables) {
    if (platform::hasAvx2()) {
        fillAtomFactorsAvx2<Fixed>(atom, shell, planes, weights, tables);
    } else {
        fillAtomFactorsBody<4, Fixed>(atom, shell, planes, weights, tables);
    }
}

}  // namespace

AtomFactors computeAtomFactors(const AtomInput& atom, const GridFrame& frame, const basis::BasisWeights& weights) {
    AtomFactors factors;
    factors.shell = basis::shellOf(atom.atomicNumber);
    std::array<PrimitiveTables, 3> tables;
    for (int k = 0; k < 3; ++k) {
        PrimitiveFactors& f = factors.primitive[k];
        tables[k] = {f.sx, f.sy, f.sz, f.px, f.py, f.pz, f.gx, f.gy, f.gz};
    }
    fillAtomFactorsOn<POINTS_PER_AXIS>(atom, factors.shell, {frame.planeX, frame.planeY, frame.planeZ}, weights,
                                       tables);
    return factors;
}

void fillAtomFactors(const AtomInput& atom, basis::Shell shell, const std::array<std::span<const float>, 3>& planes,
                     const basis::BasisWeights& weights, const std::array<PrimitiveTables, 3>& tables) {
    fillAtomFactorsOn<0>(atom, shell, planes, weights, tables);
}

}  // namespace gridorb::evaluator
