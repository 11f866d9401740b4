// The program's evaluator against the plain reference built without
// optimisation, bit for bit, over random molecules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <utility>
#include <memory>
#include <string>
#include <vector>

#include "basis/minimal_basis.h"
#include "coefficients/coefficient_product.h"
#include "evaluator/atom_factors.h"
#include "evaluator/volume_evaluation.h"
#include "grid/grid_frame_layout.h"
#include "reference/reference_evaluator.h"
#include "support/random_molecule.h"
#include "support/wavefunction_fixture.h"

namespace gridorb {
namespace {

using testsupport::firstDifference;
using testsupport::RandomCase;

constexpr int CASES = 36;

struct Prepared {
    MoleculeRecord molecule;  // Bohr
    GridFrame frame;          // planes laid out
    reference::Planes referencePlanes;
    MoleculeRecord referenceMolecule;
    CoefficientMatrix coefficients;
    evaluator::MoleculeAtoms atoms;
};

std::unique_ptr<Prepared> prepare(const RandomCase& c) {
    auto p = std::make_unique<Prepared>();
    p->molecule = c.molecule;
    p->frame = grid::layOutGridFrame(p->molecule);
    grid::layOutPlanes(p->frame);
    p->referenceMolecule = c.molecule;
    p->referencePlanes = reference::layOutPlanes(p->referenceMolecule);
    if (c.foreignPlanes) {
        for (int axis = 0; axis < 3; ++axis) {
            p->frame.origin[axis] = c.planeOrigin[axis];
            p->frame.spacing[axis] = c.planeSpacing[axis];
        }
        grid::layOutPlanes(p->frame);
        p->referencePlanes = {p->frame.planeX, p->frame.planeY, p->frame.planeZ};
    }
    for (int row = 1; row <= MAX_ORBITALS; ++row) p->coefficients.at(row, c.orbitalNumber) = c.column[row - 1];
    p->atoms = evaluator::gatherAtomInputs(p->molecule, p->coefficients, c.orbitalNumber);
    return p;
}

// Orbital `orbital` of a real wavefunction, as a case.
RandomCase realCase(const testsupport::WavefunctionFixture& w, int orbital) {
    RandomCase c;
    c.molecule = w.molecule;
    c.orbitalNumber = orbital;
    auto coefficients = std::make_unique<CoefficientMatrix>();
    coefficients::buildCoefficientColumn(w.raw, w.molecule.orbitalCount, orbital, *coefficients);
    for (int row = 1; row <= MAX_ORBITALS; ++row) c.column[row - 1] = coefficients->at(row, orbital);
    return c;
}

std::string describe(std::uint64_t seed, const RandomCase& c) {
    return "seed " + std::to_string(seed) + ", " + std::to_string(c.molecule.atomCount) + " atoms" + c.description;
}

TEST(EvaluatorIdentity, FrameAndVolumesMatchTheReferenceBitForBit) {
    const basis::BasisWeights weights = basis::prepareBasisWeights();
    auto reference = std::make_unique<OrbitalVolume>();
    auto fast = std::make_unique<OrbitalVolume>();
    for (std::uint64_t seed = 1; seed <= CASES; ++seed) {
        const RandomCase c = testsupport::randomCase(seed, 10);
        SCOPED_TRACE(describe(seed, c));
        auto p = prepare(c);
        if (!c.foreignPlanes) {
            EXPECT_EQ(firstDifference(p->frame.planeX.data(), p->referencePlanes[0].data(), POINTS_PER_AXIS), -1);
            EXPECT_EQ(firstDifference(p->frame.planeY.data(), p->referencePlanes[1].data(), POINTS_PER_AXIS), -1);
            EXPECT_EQ(firstDifference(p->frame.planeZ.data(), p->referencePlanes[2].data(), POINTS_PER_AXIS), -1);
        }
        EXPECT_EQ(firstDifference(&p->molecule.coordinates[0][0], &p->referenceMolecule.coordinates[0][0], 3 * MAX_ATOMS), -1);

        reference::evaluate(p->molecule, c.column.data(), p->referencePlanes, reference->values.data());
        const ValueRange range = evaluator::evaluateVolume(p->atoms, p->frame, weights, *fast, 2);
        long fastAt = firstDifference(fast->values.data(), reference->values.data(), GRID_POINTS);
        EXPECT_EQ(fastAt, -1) << "fast " << fast->values[fastAt < 0 ? 0 : fastAt] << " reference "
                              << reference->values[fastAt < 0 ? 0 : fastAt];
        // The range taken chunk by chunk on two threads is that of a plain scan.
        ValueRange scanned;
        for (float v : reference->values) {
            if (v < scanned.minimum) scanned.minimum = v;
            if (v > scanned.maximum) scanned.maximum = v;
        }
        EXPECT_EQ(range.minimum, scanned.minimum);
        EXPECT_EQ(range.maximum, scanned.maximum);
    }
}

TEST(EvaluatorIdentity, ThreadCountDoesNotChangeAnyBit) {
    const basis::BasisWeights weights = basis::prepareBasisWeights();
    auto one = std::make_unique<OrbitalVolume>();
    auto two = std::make_unique<OrbitalVolume>();
    for (std::uint64_t seed = 101; seed <= 108; ++seed) {
        const RandomCase c = testsupport::randomCase(seed, 30);
        SCOPED_TRACE(describe(seed, c));
        auto p = prepare(c);
        evaluator::evaluateVolume(p->atoms, p->frame, weights, *one, 1);
        evaluator::evaluateVolume(p->atoms, p->frame, weights, *two, 2);
        EXPECT_EQ(std::memcmp(one->values.data(), two->values.data(), sizeof one->values), 0);
    }
}

// Real wavefunctions, the 50-atom one included, for a few orbitals.
TEST(EvaluatorIdentity, RealWavefunctionsMatchTheReference) {
    const basis::BasisWeights weights = basis::prepareBasisWeights();
    auto reference = std::make_unique<OrbitalVolume>();
    auto fast = std::make_unique<OrbitalVolume>();
    const std::string examples = GRIDORB_EXAMPLES_DIR;
    const struct {
        std::string path;
        std::vector<int> orbitals;
    } files[] = {{examples + "/water/FOR013", {1, 4, 5}},
                 {examples + "/chloromethane/FOR013", {7, 11}},
                 {examples + "/../benchmarks/data/perfluorohexadecane/FOR013", {151}}};
    for (const auto& file : files) {
        auto w = testsupport::readWavefunctionFixture(file.path);
        ASSERT_TRUE(w) << file.path;
        for (int orbital : file.orbitals) {
            SCOPED_TRACE(file.path + " orbital " + std::to_string(orbital));
            const RandomCase c = realCase(*w, orbital);
            auto p = prepare(c);
            reference::evaluate(p->molecule, c.column.data(), p->referencePlanes, reference->values.data());
            evaluator::evaluateVolume(p->atoms, p->frame, weights, *fast, 2);
            EXPECT_EQ(firstDifference(fast->values.data(), reference->values.data(), GRID_POINTS), -1);
        }
    }
}

// The volume file's evaluation leaves out only values that scale to 0 there,
// and finds the range of every value: over random molecules (non-finite
// factors among them) and real orbitals, water's first being of one sign.
TEST(EvaluatorIdentity, VisibleValuesAreThoseOfEveryValue) {
    const basis::BasisWeights weights = basis::prepareBasisWeights();
    auto every = std::make_unique<OrbitalVolume>();
    auto layouts = std::make_unique<evaluator::AtomLayouts>();
    auto visible = std::make_unique<PackedVolume>();
    auto check = [&](const Prepared& p) {
        const ValueRange all = evaluator::evaluateVolume(p.atoms, p.frame, weights, *every, 1);
        evaluator::HelperThread helper;
        const ValueRange seen = evaluator::evaluateVisible(p.atoms, p.frame, weights, *layouts, *visible, 0, &helper);
        EXPECT_EQ(seen.minimum, all.minimum);
        EXPECT_EQ(seen.maximum, all.maximum);
        const float peak = std::max(std::fabs(all.minimum), std::fabs(all.maximum));
        EXPECT_EQ(testsupport::firstVisibleDifference(*visible, every->values.data(), peak), -1);
    };
    for (std::uint64_t seed = 301; seed <= 324; ++seed) {
        const RandomCase c = testsupport::randomCase(seed, 20);
        SCOPED_TRACE(describe(seed, c));
        check(*prepare(c));
    }
    const std::string examples = GRIDORB_EXAMPLES_DIR;
    for (const auto& [path, orbital] : {std::pair{examples + "/water/FOR013", 1}, std::pair{examples + "/water/FOR013", 4},
                                        std::pair{examples + "/benzene/FOR013", 15},
                                        std::pair{examples + "/../benchmarks/data/perfluorohexadecane/FOR013", 151}}) {
        SCOPED_TRACE(path + " orbital " + std::to_string(orbital));
        auto w = testsupport::readWavefunctionFixture(path);
        ASSERT_TRUE(w);
        check(*prepare(realCase(*w, orbital)));
    }
}

// The same fixed hash from every compiler and every optimisation level: a
// g++ build and a clang++ build cannot drift apart unnoticed.
TEST(EvaluatorIdentity, VolumesHashTheSameWithEveryCompiler) {
    const basis::BasisWeights weights = basis::prepareBasisWeights();
    auto volume = std::make_unique<OrbitalVolume>();
    std::uint64_t hash = 1469598103934665603ull;
    for (std::uint64_t seed = 201; seed <= 212; ++seed) {
        const RandomCase c = testsupport::randomCase(seed, 50);
        auto p = prepare(c);
        evaluator::evaluateVolume(p->atoms, p->frame, weights, *volume, 2);
        hash = testsupport::volumeHash(volume->values.data(), GRID_POINTS, hash);
    }
    EXPECT_EQ(hash, 0x9d3aa69756ec2dfbull) << std::hex << hash;
}

}  // namespace
}  // namespace gridorb
