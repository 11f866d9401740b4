// The factor tables, their exponentials formed several at a time, against
// the one-entry-at-a-time loop and the scalar guardedExp it calls.
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

// The tables of a 1s, a 2sp and a 3sp atom (one with a NaN coordinate) on
// the 51 planes of the grid and on 20000 unevenly spaced ones, whose
// arguments d^2 * e run densely from 0 to far below the cut-off.
TEST(AtomFactors, TablesMatchTheScalarOnesBitForBit) {
    const basis::BasisWeights weights = basis::prepareBasisWeights();
    GridFrame frame;
    for (int i = 0; i < POINTS_PER_AXIS; ++i) {
        frame.planeX[i] = -10.0f + 0.4f * i;
        frame.planeY[i] = -7.3f + 0.31f * i;
        frame.planeZ[i] = -12.0f + 0.5f * i;
    }
    std::vector<float> fine(20000);
    for (std::size_t i = 0; i < fine.size(); ++i) fine[i] = -9.0f + 1e-7f * static_cast<float>(i * i);
    const AtomInput atoms[] = {{1, {0.3f, -1.2f, 2.0f}, 1.24f, 1.24f, {0.7f}},
                               {9, {-2.1f, 0.4f, 1.7f}, 2.56f, 2.55f, {-0.2f, 0.5f, -0.9f, 0.3f}},
                               {17, {1.5f, 3.1f, NAN}, 2.1f, 1.9f, {0.1f, -0.4f, 0.8f, 1.1f}}};
    for (const AtomInput& atom : atoms) {
        const basis::Shell shell = basis::shellOf(atom.atomicNumber);
        const AtomFactors onGrid = computeAtomFactors(atom, frame, weights);
        for (const bool grid : {true, false}) {
            const std::array<std::span<const float>, 3> planes =
                grid ? std::array<std::span<const float>, 3>{frame.planeX, frame.planeY, frame.planeZ}
                     : std::array<std::span<const float>, 3>{fine, fine, fine};
            std::vector<float> values[2][3][9];  // the scalar loop's, the program's
            std::array<PrimitiveTables, 3> tables[2];
            for (int t = 0; t < 2; ++t) {
                for (int k = 0; k < 3; ++k) {
                    std::vector<float>* v = values[t][k];
                    for (int j = 0; j < 9; ++j) v[j].assign(planes[j % 3].size(), 0.0f);
                    tables[t][k] = {v[0], v[1], v[2], v[3], v[4], v[5], v[6], v[7], v[8]};
                }
            }
            scalarFill(atom, planes, weights, tables[0]);
            fillAtomFactors(atom, shell, planes, weights, tables[1]);
            for (int k = 0; k < 3; ++k) {
                const PrimitiveFactors& f = onGrid.primitive[k];
                const float* computed[9] = {f.sx.data(), f.sy.data(), f.sz.data(), f.px.data(), f.py.data(),
                                            f.pz.data(), f.gx.data(), f.gy.data(), f.gz.data()};
                for (int j = 0; j < 9; ++j) {
                    for (std::size_t i = 0; i < values[0][k][j].size(); ++i) {
                        const std::uint32_t bits = std::bit_cast<std::uint32_t>(values[0][k][j][i]);
                        ASSERT_EQ(std::bit_cast<std::uint32_t>(values[1][k][j][i]), bits) << atom.atomicNumber << k << j << i;
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
