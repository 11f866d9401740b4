#include <gtest/gtest.h>

#include <cmath>

#include "basis/minimal_basis.h"

namespace gridorb::basis {
namespace {

TEST(MinimalBasis, PreparedWeights) {
    const BasisWeights w = prepareBasisWeights();
    const float s[3][3] = {{0.08482205f, 0.2721640f, 0.2814066f},
                           {0.1004770f, 0.1331324f, -0.09953225f},
                           {0.09907335f, 0.05016392f, -0.1272137f}};
    const float p[2][3] = {{0.01541939f, 0.09733424f, 0.1547870f}, {0.01167294f, 0.04857455f, 0.004261547f}};
    for (int shell = 0; shell < 3; ++shell)
        for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(w.s[shell][k], s[shell][k]) << shell << k;
    for (int shell = 0; shell < 2; ++shell)
        for (int k = 0; k < 3; ++k) EXPECT_FLOAT_EQ(w.p[shell][k], p[shell][k]) << shell << k;
}

// The s function at its own nucleus is Ns times the sum of the weights.
TEST(MinimalBasis, HydrogenSFunctionAtItsNucleus) {
    const BasisWeights w = prepareBasisWeights();
    auto atNucleus = [&](float zeta) {
        const float ns = atomNormalisation(zeta, zeta).s;
        return static_cast<double>(ns) * w.s[0][0] + static_cast<double>(ns) * w.s[0][1] +
               static_cast<double>(ns) * w.s[0][2];
    };
    EXPECT_NEAR(atNucleus(1.0f), 0.4549859, 1e-7);
    EXPECT_NEAR(atNucleus(1.2f), 0.5980945, 1e-7);
    EXPECT_EQ(atomNormalisation(1.0f, 1.0f).s, S_NORMALISATION);
}

TEST(MinimalBasis, NormalisationFollowsTheSlaterExponent) {
    for (float zeta : {0.8f, 1.625f, 2.7f, 4.1f}) {
        const AtomNormalisation n = atomNormalisation(zeta, zeta);
        EXPECT_NEAR(n.s, std::pow(zeta, 1.5) * 0.7127055, 1e-6 * n.s);
        EXPECT_NEAR(n.p, std::pow(zeta, 2.5) * 1.425411, 1e-6 * n.p);
    }
}

TEST(MinimalBasis, ShellsAndCountedFunctionsByAtomicNumber) {
    EXPECT_EQ(shellOf(-3), Shell::OneS);
    EXPECT_EQ(shellOf(0), Shell::OneS);
    EXPECT_EQ(shellOf(2), Shell::OneS);
    EXPECT_EQ(shellOf(3), Shell::TwoSP);
    EXPECT_EQ(shellOf(10), Shell::TwoSP);
    EXPECT_EQ(shellOf(11), Shell::ThreeSP);
    EXPECT_EQ(shellOf(18), Shell::ThreeSP);
    EXPECT_EQ(shellOf(19), Shell::None);
    EXPECT_EQ(countedFunctions(0), 1);
    EXPECT_EQ(countedFunctions(2), 1);
    EXPECT_EQ(countedFunctions(3), 4);
    EXPECT_EQ(countedFunctions(19), 4);
    EXPECT_EQ(countedFunctions(92), 4);
}

TEST(MinimalBasis, ScaledExponentsUseTheStoredSquare) {
    const float zeta = 1.3f;
    const float zeta2 = zeta * zeta;
    const std::array<float, 3> e = scaledExponents(Shell::ThreeSP, zeta);
    for (int k = 0; k < 3; ++k) EXPECT_EQ(e[k], -expansionTable().alpha[2][k] * zeta2);
    EXPECT_EQ(scaledExponents(Shell::None, zeta), (std::array<float, 3>{}));
}

}  // namespace
}  // namespace gridorb::basis
