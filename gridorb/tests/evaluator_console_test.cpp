// The evaluator's console records, byte for byte, the volume it leaves, and
// when each atom's progress record goes out.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

#include "evaluator/orbital_evaluator.h"
#include "evaluator/volume_evaluation.h"
#include "grid/grid_frame_layout.h"
#include "support/random_molecule.h"
#include "units/unit_table.h"

namespace gridorb {
namespace {

// Carbon (rows 1..4), bromine (holds rows 5..8, adds nothing), hydrogen
// (row 9), in Bohr, on a frame whose planes straddle all three.
struct ThreeAtoms {
    MoleculeRecord molecule;
    CoefficientMatrix coefficients;
    GridFrame frame;

    ThreeAtoms() {
        const struct {
            std::int32_t z;
            std::array<float, 3> bohr;
        } atoms[3] = {{6, {0.5f, -1.25f, 2.0f}}, {35, {0.0f, 3.5f, -0.75f}}, {1, {12.125f, 0.25f, -10.5f}}};
        for (const auto& a : atoms) {
            const int i = molecule.atomCount++;
            molecule.atomicNumbers[i] = a.z;
            molecule.coordinates[i] = a.bohr;
            molecule.sExponents[i] = molecule.pExponents[i] = 1.5f;
        }
        for (int row = 1; row <= 9; ++row) coefficients.at(row, 2) = 0.1f * row;
        frame.origin = {-8.0f, -7.0f, -12.0f};
        frame.spacing = {0.5f, 0.25f, 0.5f};
    }
};

TEST(EvaluatorConsole, RecordsInTheirOrderAndLayout) {
    auto m = std::make_unique<ThreeAtoms>();
    auto layouts = std::make_unique<evaluator::AtomLayouts>();
    auto visible = std::make_unique<PackedVolume>();

    units::connectStandardUnits();
    ::testing::internal::CaptureStdout();
    evaluator::HelperThread helper;
    evaluator::evaluateOrbital(m->molecule, m->coefficients, 2, m->frame, *layouts, *visible, 0, &helper);
    units::flushStandardStreams();
    const std::string console = ::testing::internal::GetCapturedStdout();

    EXPECT_EQ(console,
              "  EVALUATING THE SEMIEMPIRICAL WAVEFUNCTION\r\n"
              "  ATOMIC NUMBERS > 18 NOT YET IMPLEMENTED\r\n"
              " 9 WAVEFUNCTIONS TO BE PROCESSED \r\n"
              "       XYZ   .500000 -1.250000  2.000000   .000000  3.500000  -.750000 12.125000\r\n"
              "   .250000-10.500000\r\n"
              "PROCESSING ATOM NUMBER     1 ATOMIC NUMBER     6\r\n"
              "PROCESSING ATOM NUMBER     2 ATOMIC NUMBER    35\r\n"
              "PROCESSING ATOM NUMBER     3 ATOMIC NUMBER     1\r\n");

    // The planes are laid out here, and the volume is the orbital on them.
    EXPECT_EQ(m->frame.planeX[1], -7.5f);
    EXPECT_EQ(m->frame.planeY[50], 5.5f);
    auto expected = std::make_unique<OrbitalVolume>();
    const ValueRange range = evaluator::evaluateVolume(evaluator::gatherAtomInputs(m->molecule, m->coefficients, 2),
                                                       m->frame, basis::prepareBasisWeights(), *expected, 1);
    const float peak = std::max(std::fabs(range.minimum), std::fabs(range.maximum));
    EXPECT_EQ(testsupport::firstVisibleDifference(*visible, expected->values.data(), peak), -1);
    EXPECT_NE(expected->at(17, 23, 28), 0.0f);  // on the carbon nucleus
}

// The progress record of atom n is written on the calling thread just before
// that thread adds atom n to the chunk it sweeps first: its planes then hold
// atoms 1 .. n-1 and nothing more.
TEST(EvaluatorConsole, EachAtomIsAnnouncedJustBeforeItsTerms) {
    auto m = std::make_unique<ThreeAtoms>();
    grid::layOutPlanes(m->frame);
    constexpr long FIRST = evaluator::FIRST_CHUNK * evaluator::CHUNK_PLANES * 2601;
    const basis::BasisWeights weights = basis::prepareBasisWeights();
    const evaluator::MoleculeAtoms atoms = evaluator::gatherAtomInputs(m->molecule, m->coefficients, 2);
    std::vector<std::unique_ptr<OrbitalVolume>> firstAtoms;
    for (int n = 0; n <= atoms.count; ++n) {
        evaluator::MoleculeAtoms first = atoms;
        first.count = n;
        firstAtoms.push_back(std::make_unique<OrbitalVolume>());
        evaluator::evaluateVolume(first, m->frame, weights, *firstAtoms.back(), 1);
    }
    ASSERT_NE(testsupport::firstDifference(firstAtoms[1]->values.data() + FIRST, firstAtoms[0]->values.data() + FIRST,
                                           evaluator::CHUNK_PLANES * 2601),
              -1)
        << "the carbon must reach the first chunk";

    auto psi = std::make_unique<OrbitalVolume>();
    const std::thread::id caller = std::this_thread::get_id();
    std::vector<int> announced;
    evaluator::evaluateVolume(atoms, m->frame, weights, *psi, 2, [&](int i) {
        announced.push_back(i);
        EXPECT_EQ(std::this_thread::get_id(), caller);
        EXPECT_EQ(testsupport::firstDifference(psi->values.data() + FIRST, firstAtoms[i]->values.data() + FIRST,
                                               evaluator::CHUNK_PLANES * 2601),
                  -1)
            << "at atom " << i + 1;
    });
    EXPECT_EQ(announced, (std::vector<int>{0, 1, 2}));
}

}  // namespace
}  // namespace gridorb
