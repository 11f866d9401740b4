// The factor tables' exponentials, formed several at a time, against the
// scalar guardedExp they stand for.
#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

#include "evaluator/atom_factors.h"

namespace gridorb::evaluator {
namespace {

// The tables as the one-entry-at-a-time loop forms them.
void scalarFill(const AtomInput& atom, const std::array<std::span<const float>, 3>& planes,
                const basis::BasisWeights& weights, const std::array<PrimitiveTables, 3>& tables) {
    const basis::Shell shell = basis::shellOf(atom.atomicNumber);
    const int s = basis::shellIndex(shell);
    const bool sp = shell != basis::Shell::OneS;
    const basis::AtomNormalisation norm = basis::atomNormalisation(atom.zetaS, atom.zetaP);
    const std::array<float, 3> es = basis::scaledExponents(shell, atom.zetaS);
    const std::array<float, 3> ep = basis::scaledExponents(shell, atom.zetaP);
    for (int k = 0; k < 3; ++k) {
        const PrimitiveTables& f = tables[k];
        const float cs = static_cast<float>(static_cast<double>(norm.s) * atom.coefficients[0] * weights.s[s][k]);
        const float cpk = sp ? norm.p * weights.p[s - 1][k] : 0.0f;
        const std::span<float> sT[3] = {f.sx, f.sy, f.sz}, pT[3] = {f.px, f.py, f.pz}, gT[3] = {f.gx, f.gy, f.gz};
        for (int axis = 0; axis < 3; ++axis) {
            for (std::size_t i = 0; i < planes[axis].size(); ++i) {
                const float d = planes[axis][i] - atom.position[axis];
                const float d2 = d * d;
                const float g = guardedExp(d2 * es[k]);
                sT[axis][i] = axis == 0 ? g * cs : g;
                if (!sp) continue;
                pT[axis][i] = (cpk * atom.coefficients[1 + axis]) * d;
                gT[axis][i] = guardedExp(d2 * ep[k]);
            }
        }
    }
}

TEST(AtomFactors, VectorExponentialsAndTablesMatchTheScalarOnes) {
    std::vector<float> x;
    // Every 1000th float from -0 to -19, the cut-off and its neighbours,
    // arguments whose exponential lies within 4 units of halfway between
    // two floats, signed zeros, NaN, infinities and positive arguments.
    for (std::uint32_t u = std::bit_cast<std::uint32_t>(-0.0f); u <= std::bit_cast<std::uint32_t>(-19.0f); u += 1000)
        x.push_back(std::bit_cast<float>(u));
    for (float v : {-19.0f, std::nextafter(-19.0f, 0.0f), std::nextafter(-19.0f, -20.0f), -0x1.d2259ap+3f,
                    -0x1.e1dbe2p-8f, -0x1.c1c4b8p-10f, -0x1p-25f, 0.0f, -0.0f, NAN, -NAN, INFINITY, -INFINITY,
                    0x1p-149f, 0.5f, 88.0f, 89.0f, -1e30f})
        x.push_back(v);
    std::vector<float> fast(x.size()), baseline(x.size());
    guardedExps(x, fast);
    guardedExpsBaseline(x, baseline);
    for (std::size_t i = 0; i < x.size(); ++i) {
        const std::uint32_t expected = std::bit_cast<std::uint32_t>(guardedExp(x[i]));
        ASSERT_EQ(std::bit_cast<std::uint32_t>(fast[i]), expected) << x[i];
        ASSERT_EQ(std::bit_cast<std::uint32_t>(baseline[i]), expected) << x[i];
    }

    // Tables of a 1s, a 2sp and a 3sp atom (one with a NaN coordinate) on the
    // 51 planes of the grid and on 150 unevenly spaced ones, through the
    // dispatch and the baseline build.
    const basis::BasisWeights weights = basis::prepareBasisWeights();
    GridFrame frame;
    for (int i = 0; i < POINTS_PER_AXIS; ++i) {
        frame.planeX[i] = -10.0f + 0.4f * i;
        frame.planeY[i] = -7.3f + 0.31f * i;
        frame.planeZ[i] = -12.0f + 0.5f * i;
    }
    std::vector<float> fine(150);
    for (std::size_t i = 0; i < fine.size(); ++i) fine[i] = -9.0f + 0.001f * static_cast<float>(i * i);
    const AtomInput atoms[] = {{1, {0.3f, -1.2f, 2.0f}, 1.24f, 1.24f, {0.7f}},
                               {9, {-2.1f, 0.4f, 1.7f}, 2.56f, 2.55f, {-0.2f, 0.5f, -0.9f, 0.3f}},
                               {17, {1.5f, 3.1f, NAN}, 2.1f, 1.9f, {0.1f, -0.4f, 0.8f, 1.1f}}};
    for (const AtomInput& atom : atoms) {
        const basis::Shell shell = basis::shellOf(atom.atomicNumber);
        const AtomFactors fast51 = computeAtomFactors(atom, frame, weights);
        for (const bool grid : {true, false}) {
            const std::array<std::span<const float>, 3> planes =
                grid ? std::array<std::span<const float>, 3>{frame.planeX, frame.planeY, frame.planeZ}
                     : std::array<std::span<const float>, 3>{fine, fine, fine};
            std::vector<float> values[3][3][9];  // reference, dispatch, baseline
            std::array<PrimitiveTables, 3> tables[3];
            for (int t = 0; t < 3; ++t) {
                for (int k = 0; k < 3; ++k) {
                    std::vector<float>* v = values[t][k];
                    for (int j = 0; j < 9; ++j) v[j].assign(planes[j % 3].size(), 0.0f);
                    tables[t][k] = {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]};
                }
            }
            scalarFill(atom, planes, weights, tables[0]);
            fillAtomFactors(atom, shell, planes, weights, tables[1]);
            fillAtomFactorsBaseline(atom, shell, planes, weights, tables[2]);
            for (int k = 0; k < 3; ++k) {
                const PrimitiveFactors& f = fast51.primitive[k];
                const float* computed[9] = {f.sx.data(), f.sy.data(), f.sz.data(), f.px.data(), f.py.data(),
                                            f.pz.data(), f.gx.data(), f.gy.data(), f.gz.data()};
                for (int j = 0; j < 9; ++j) {
                    for (std::size_t i = 0; i < values[0][k][j].size(); ++i) {
                        const std::uint32_t bits = std::bit_cast<std::uint32_t>(values[0][k][j][i]);
                        ASSERT_EQ(std::bit_cast<std::uint32_t>(values[1][k][j][i]), bits) << atom.atomicNumber << k << j << i;
                        ASSERT_EQ(std::bit_cast<std::uint32_t>(values[2][k][j][i]), bits) << atom.atomicNumber << k << j << i;
                        if (grid) {
                            ASSERT_EQ(std::bit_cast<std::uint32_t>(computed[j][i]), bits) << atom.atomicNumber << k << j << i;
                        }
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace gridorb::evaluator
