#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <vector>

#include "coefficients/coefficient_product.h"
#include "reference/reference_evaluator.h"
#include "support/random_molecule.h"

namespace gridorb::coefficients {
namespace {

std::unique_ptr<RawWavefunction> randomWavefunction(int n, std::uint64_t seed) {
    auto raw = std::make_unique<RawWavefunction>();
    testsupport::SplitMix rng(seed);
    for (int i = 0; i < n * n; ++i) {
        raw->orbitalVectors[i] = rng.uniform(-1.0, 1.0);
        raw->basisTransform[i] = rng.uniform(-1.0, 1.0) * (rng.chance(0.1) ? 1e-9 : 1.0);
    }
    return raw;
}

TEST(CoefficientProduct, OrderOneAndTheUntouchedRest) {
    RawWavefunction raw;
    raw.orbitalVectors[0] = 0.1;
    raw.basisTransform[0] = 3.0;
    auto c = std::make_unique<CoefficientMatrix>();
    buildCoefficientColumn(raw, 1, 1, *c);
    EXPECT_EQ(c->at(1, 1), static_cast<float>(0.1 * 3.0));
    for (std::size_t i = 1; i < c->values.size(); ++i) ASSERT_EQ(c->values[i], 0.0f) << i;
}

TEST(CoefficientProduct, TransformOnTheLeft) {
    // B = identity: C is A narrowed. A non-symmetric B tells B*A from A*B.
    const int n = 3;
    RawWavefunction raw;
    const double a[9] = {1.5, -2.0, 0.25, 3.0, 0.1, -1.0, 2.0, 4.0, 0.5};
    for (int i = 0; i < 9; ++i) raw.orbitalVectors[i] = a[i];
    for (int i = 0; i < n; ++i) raw.basisTransform[i * n + i] = 1.0;
    auto c = std::make_unique<CoefficientMatrix>();
    for (int i = 1; i <= n; ++i) {
        buildCoefficientColumn(raw, n, i, *c);
        for (int j = 1; j <= n; ++j) EXPECT_EQ(c->at(j, i), static_cast<float>(a[(i - 1) * n + j - 1]));
    }
    raw.basisTransform[1 * n + 0] = 2.0;  // b(1,2) = 2: row 1 of P = row 1 of A + 2 * row 2 of A
    buildCoefficientColumn(raw, n, 1, *c);
    EXPECT_EQ(c->at(1, 1), static_cast<float>(1.5 + 2.0 * -2.0));
    EXPECT_EQ(c->at(2, 1), static_cast<float>(-2.0));
}

TEST(CoefficientProduct, MatchesTheReferenceBitForBit) {
    for (int n : {1, 2, 7, 64, 200}) {
        SCOPED_TRACE(n);
        auto raw = randomWavefunction(n, 1000 + n);
        std::vector<double> reference(n * n), column(n);
        reference::multiplySquare(raw->orbitalVectors.data(), raw->basisTransform.data(), reference.data(), n);
        for (int i : {1, (n + 1) / 2, n}) {
            multiplyColumn(raw->orbitalVectors.data(), raw->basisTransform.data(), column.data(), n, i);
            EXPECT_EQ(std::memcmp(column.data(), &reference[(i - 1) * n], sizeof(double) * n), 0) << i;
        }
    }
}

// Only the chosen column is written, each value the reference's narrowed.
TEST(CoefficientProduct, ColumnBuildWritesTheNarrowedColumnOnly) {
    const int n = 37;
    auto raw = randomWavefunction(n, 77);
    std::vector<double> reference(n * n);
    reference::multiplySquare(raw->orbitalVectors.data(), raw->basisTransform.data(), reference.data(), n);
    auto one = std::make_unique<CoefficientMatrix>();
    buildCoefficientColumn(*raw, n, 12, *one);
    for (int row = 1; row <= MAX_ORBITALS; ++row) {
        ASSERT_EQ(one->at(row, 12), row <= n ? static_cast<float>(reference[11 * n + row - 1]) : 0.0f) << row;
        ASSERT_EQ(one->at(row, 11), 0.0f);
    }
}

TEST(CoefficientProduct, BeyondSinglePrecisionBecomesInfinity) {
    RawWavefunction raw;
    raw.orbitalVectors = {};
    raw.orbitalVectors[0] = 1e200;
    raw.orbitalVectors[1] = 1.0;
    raw.basisTransform[0] = -1e200;  // b(1,1): p(1,1) = -1e400 overflows double too
    raw.basisTransform[1] = 1e-170;  // b(2,1): p(2,1) = 1e30, fine in float
    raw.basisTransform[2] = 0.0;
    raw.basisTransform[3] = 1e300;   // b(2,2)
    auto c = std::make_unique<CoefficientMatrix>();
    buildCoefficientColumn(raw, 2, 1, *c);
    EXPECT_EQ(c->at(1, 1), -INFINITY);
    EXPECT_EQ(c->at(2, 1), INFINITY);  // 1e30 + 1e300 narrowed
}

TEST(CoefficientProduct, NonPositiveOrderWritesNothing) {
    double a[1] = {2.0}, b[1] = {3.0}, p[1] = {-5.0};
    multiplyColumn(a, b, p, 0, 1);
    multiplyColumn(a, b, p, -4, 1);
    multiplyColumn(a, b, p, 1, 2);
    EXPECT_EQ(p[0], -5.0);
}

}  // namespace
}  // namespace gridorb::coefficients
