#include "basis/minimal_basis.h"

#include <cmath>

namespace gridorb::basis {
namespace {

// Hides a value from constant folding: a compiler may evaluate pow of a
// known constant with its own correctly rounded arithmetic, which need not
// give the bits the run-time library gives (and the reference evaluator
// gets). The weights must be the run-time library's, whatever the compiler.
double opaque(double value) {
    asm volatile("" : "+m"(value));
    return value;
}

// The 24-value table, as the single-precision constants.
struct ExpansionTable {
    std::array<std::array<float, 3>, 3> alpha;   // [shell][k]
    std::array<std::array<float, 3>, 3> sCoefficient;
    std::array<std::array<float, 3>, 2> pCoefficient;  // [shell-1][k], sp shells
};

const ExpansionTable TABLE = {
    // alpha[shell][k]
    {{{0.109818f, 0.405771f, 2.22766f},
      {0.0751386f, 0.231031f, 0.994203f},
      {0.0527266f, 0.134715f, 0.482854f}}},
    // sCoefficient[shell][k]
    {{{0.444635f, 0.535328f, 0.154329f},
      {0.700115f, 0.399513f, -0.0999672f},
      {0.900398f, 0.225595f, -0.219620f}}},
    // pCoefficient[shell - 1][k]
    {{{0.391957f, 0.607684f, 0.155916f},
      {0.462001f, 0.595167f, 0.0105876f}}},
};

}  // namespace

Shell shellOf(std::int32_t atomicNumber) {
    // Tested in this order: sp at all, then 3sp rather than 2sp, then none.
    if (atomicNumber <= 2) return Shell::OneS;
    if (atomicNumber <= 10) return Shell::TwoSP;
    if (atomicNumber <= 18) return Shell::ThreeSP;
    return Shell::None;
}

std::int32_t countedFunctions(std::int32_t atomicNumber) { return atomicNumber > 2 ? 4 : 1; }

int shellIndex(Shell shell) {
    switch (shell) {
        case Shell::OneS: return 0;
        case Shell::TwoSP: return 1;
        case Shell::ThreeSP: return 2;
        case Shell::None: break;
    }
    return -1;
}

BasisWeights prepareBasisWeights() {
    BasisWeights weights;
    for (int shell = 0; shell < 3; ++shell) {
        for (int k = 0; k < 3; ++k) {
            double alpha = opaque(TABLE.alpha[shell][k]);
            weights.s[shell][k] = static_cast<float>(std::pow(alpha, 0.75) * TABLE.sCoefficient[shell][k]);
        }
    }
    for (int sp = 0; sp < 2; ++sp) {
        for (int k = 0; k < 3; ++k) {
            double alpha = opaque(TABLE.alpha[sp + 1][k]);
            weights.p[sp][k] = static_cast<float>(std::pow(alpha, 1.25) * TABLE.pCoefficient[sp][k]);
        }
    }
    return weights;
}

AtomNormalisation atomNormalisation(float zetaS, float zetaP) {
    AtomNormalisation n;
    // The s root is stored in single precision before use, the p root is not.
    float rootS = static_cast<float>(std::sqrt(static_cast<double>(zetaS)));
    n.s = static_cast<float>(static_cast<double>(zetaS) * rootS * S_NORMALISATION);
    float zetaP2 = zetaP * zetaP;
    n.p = static_cast<float>(static_cast<double>(zetaP2) * std::sqrt(static_cast<double>(zetaP)) * P_NORMALISATION);
    return n;
}

std::array<float, 3> scaledExponents(Shell shell, float zeta) {
    std::array<float, 3> exponents{};
    int index = shellIndex(shell);
    if (index < 0) return exponents;
    float zeta2 = zeta * zeta;
    for (int k = 0; k < 3; ++k) exponents[k] = -TABLE.alpha[index][k] * zeta2;
    return exponents;
}

}  // namespace gridorb::basis
