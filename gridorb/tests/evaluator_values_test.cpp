// Values of the evaluated orbital for molecules whose answer is known.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "support/random_molecule.h"
#include "support/single_atom_case.h"

namespace gridorb {
namespace {

using testsupport::evaluateMolecule;

struct Atom {
    std::int32_t z;
    float x, y, z_;
    float zetaS, zetaP;
};

MoleculeRecord molecule(std::initializer_list<Atom> atoms) {
    MoleculeRecord m;
    for (const Atom& a : atoms) {
        const int i = m.atomCount++;
        m.atomicNumbers[i] = a.z;
        m.coordinates[i] = {a.x, a.y, a.z_};
        m.sExponents[i] = a.zetaS;
        m.pExponents[i] = a.zetaP;
    }
    m.orbitalCount = MAX_ORBITALS;
    return m;
}

CoefficientMatrix column(std::initializer_list<float> rows) {
    CoefficientMatrix c;
    int row = 1;
    for (float v : rows) c.at(row++, 1) = v;
    return c;
}

TEST(EvaluatorValues, HydrogenAtTheCentre) {
    auto e = evaluateMolecule(molecule({{1, 0, 0, 0, 1.0f, 1.0f}}), column({1.0f}));
    EXPECT_NEAR(e->frame.planeX[25], 0.0f, 3.3e-7);
    EXPECT_NEAR(e->at(26, 26, 26), 0.4549859f, 2e-7);
    EXPECT_NEAR(e->at(31, 26, 26), 0.17906f, 1e-5);
    EXPECT_NEAR(e->at(1, 26, 26), 0.0017726f, 1e-7);
    EXPECT_NEAR(e->at(1, 1, 1), 1.523e-6f, 1e-9);
    // Symmetric box: the same at the mirrored points.
    EXPECT_NEAR(e->at(21, 26, 26), e->at(31, 26, 26), 1e-6);
}

TEST(EvaluatorValues, CarbonPxLobes) {
    auto e = evaluateMolecule(molecule({{6, 0, 0, 0, 1.625f, 1.625f}}), column({0.0f, 1.0f}));
    EXPECT_NEAR(e->at(31, 26, 26), 0.33551f, 1e-5);
    EXPECT_NEAR(e->at(21, 26, 26), -0.33551f, 1e-5);
    // Plane 26 lies a rounding error off the nucleus, so the node is not exact.
    EXPECT_NE(e->at(26, 26, 26), 0.0f);
    EXPECT_NEAR(e->at(26, 26, 26), -4.2e-7f, 0.2e-7);
    // px is odd in x and even in y and z.
    EXPECT_NEAR(e->at(31, 20, 33), -e->at(21, 20, 33), 1e-6);
    EXPECT_NEAR(e->at(31, 20, 33), e->at(31, 32, 19), 1e-6);
}

TEST(EvaluatorValues, ZeroCoefficientsContributeExactlyZero) {
    auto none = evaluateMolecule(molecule({{8, 0.3f, 0, 0, 2.2f, 2.1f}, {1, 1.2f, 0.4f, 0, 1.2f, 1.2f}}), column({}));
    for (float v : none->psi.values) ASSERT_EQ(v, 0.0f);

    // An atom whose rows are all zero leaves the others' values as they are.
    auto both = evaluateMolecule(molecule({{8, 0.3f, 0, 0, 2.2f, 2.1f}, {1, 1.2f, 0.4f, 0, 1.2f, 1.2f}}),
                                 column({0.5f, -0.2f, 0.3f, 0.1f, 0.0f}));
    auto alone = evaluateMolecule(molecule({{8, 0.3f, 0, 0, 2.2f, 2.1f}, {19, 1.2f, 0.4f, 0, 1.2f, 1.2f}}),
                                  column({0.5f, -0.2f, 0.3f, 0.1f}));
    EXPECT_EQ(testsupport::firstDifference(both->psi.values.data(), alone->psi.values.data(), GRID_POINTS), -1);
}

TEST(EvaluatorValues, AxisFactorIsCutOffBeyondNineteen) {
    EXPECT_EQ(evaluator::guardedExp(-19.0f), static_cast<float>(std::exp(-19.0)));
    EXPECT_EQ(evaluator::guardedExp(std::nextafter(-19.0f, -100.0f)), 0.0f);
    EXPECT_EQ(evaluator::guardedExp(NAN), 0.0f);

    // Hydrogen 1s, zeta 1: the third primitive (alpha 2.22766) vanishes
    // along an axis past sqrt(19 / 2.22766) = 2.92047 Bohr.
    GridFrame frame;
    for (int i = 0; i < POINTS_PER_AXIS; ++i) frame.planeX[i] = frame.planeY[i] = frame.planeZ[i] = 2.9195f + 0.0001f * i;
    evaluator::AtomInput h{1, {0, 0, 0}, 1.0f, 1.0f, {1.0f}};
    const evaluator::AtomFactors f = evaluator::computeAtomFactors(h, frame, basis::prepareBasisWeights());
    for (int i = 0; i < POINTS_PER_AXIS; ++i) {
        const float d = frame.planeY[i];
        if (d < 2.92045f) {
            EXPECT_GT(f.primitive[2].sy[i], 0.0f) << d;
        } else if (d > 2.92049f) {
            EXPECT_EQ(f.primitive[2].sy[i], 0.0f) << d;
        }
        EXPECT_GT(f.primitive[1].sy[i], 0.0f);  // the wider primitives reach further
    }
}

TEST(EvaluatorValues, BasisRowsFollowTheAtoms) {
    CoefficientMatrix c;
    for (int row = 1; row <= 12; ++row) c.at(row, 3) = static_cast<float>(row);

    // Methane: carbon takes rows 1..4, the hydrogens 5, 6, 7 and 8.
    MoleculeRecord ch4 = molecule({{6, 0, 0, 0, 1, 1}, {1, 1, 0, 0, 1, 1}, {1, 0, 1, 0, 1, 1}, {1, 0, 0, 1, 1, 1}, {1, 1, 1, 1, 1, 1}});
    evaluator::MoleculeAtoms atoms = evaluator::gatherAtomInputs(ch4, c, 3);
    EXPECT_EQ(atoms.atoms[0].coefficients, (std::array<float, 4>{1, 2, 3, 4}));
    for (int h = 1; h <= 4; ++h) EXPECT_EQ(atoms.atoms[h].coefficients[0], 4.0f + h);

    // An atom beyond Z = 18 takes four rows and the next atom its own.
    MoleculeRecord heavy = molecule({{6, 0, 0, 0, 1, 1}, {35, 1, 0, 0, 1, 1}, {1, 0, 1, 0, 1, 1}});
    atoms = evaluator::gatherAtomInputs(heavy, c, 3);
    EXPECT_EQ(atoms.atoms[2].coefficients[0], 9.0f);

    // Rows past the matrix and orbital numbers outside it read as 0.
    EXPECT_EQ(evaluator::gatherAtomInputs(ch4, c, 0).atoms[0].coefficients, (std::array<float, 4>{}));
    EXPECT_EQ(evaluator::gatherAtomInputs(ch4, c, 201).atoms[0].coefficients, (std::array<float, 4>{}));
}

TEST(EvaluatorValues, HeavyAtomAddsNothing) {
    // C, Br, H against C, H with the hydrogen's row moved up by the four
    // rows that bromine holds.
    auto withBromine = evaluateMolecule(molecule({{6, 0, 0, 0, 1.6f, 1.6f}, {35, 1.1f, 0.2f, 0, 2.0f, 2.0f}, {1, -1, 0.5f, 0.2f, 1.2f, 1.2f}}),
                                        column({0.4f, 0.1f, -0.3f, 0.2f, 9.0f, 9.0f, 9.0f, 9.0f, 0.7f}));
    auto without = evaluateMolecule(molecule({{6, 0, 0, 0, 1.6f, 1.6f}, {1, -1, 0.5f, 0.2f, 1.2f, 1.2f}, {1, 1.1f, 0.2f, 0, 1.2f, 1.2f}}),
                                    column({0.4f, 0.1f, -0.3f, 0.2f, 0.7f, 0.0f}));
    EXPECT_EQ(testsupport::firstDifference(withBromine->psi.values.data(), without->psi.values.data(), GRID_POINTS), -1);
}

}  // namespace
}  // namespace gridorb
