// The evaluator's console records, byte for byte, and the volume it leaves.
#include <gtest/gtest.h>

#include <memory>

#include "evaluator/orbital_evaluator.h"
#include "evaluator/volume_evaluation.h"
#include "grid/grid_frame_layout.h"
#include "support/random_molecule.h"
#include "units/unit_table.h"

namespace gridorb {
namespace {

TEST(EvaluatorConsole, RecordsInTheirOrderAndLayout) {
    auto molecule = std::make_unique<MoleculeRecord>();
    const struct {
        std::int32_t z;
        std::array<float, 3> bohr;
    } atoms[3] = {{6, {0.5f, -1.25f, 2.0f}}, {35, {0.0f, 3.5f, -0.75f}}, {1, {12.125f, 0.25f, -10.5f}}};
    for (const auto& a : atoms) {
        const int i = molecule->atomCount++;
        molecule->atomicNumbers[i] = a.z;
        molecule->coordinates[i] = a.bohr;
        molecule->sExponents[i] = molecule->pExponents[i] = 1.5f;
    }
    auto coefficients = std::make_unique<CoefficientMatrix>();
    for (int row = 1; row <= 9; ++row) coefficients->at(row, 2) = 0.1f * row;
    GridFrame frame;
    frame.origin = {-8.0f, -7.0f, -12.0f};
    frame.spacing = {0.5f, 0.25f, 0.5f};
    auto psi = std::make_unique<OrbitalVolume>();

    units::connectStandardUnits();
    ::testing::internal::CaptureStdout();
    evaluator::evaluateOrbital(*molecule, *coefficients, 2, frame, *psi);
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

    // The planes are laid out here, and the volume is the orbital on them:
    // carbon on rows 1..4, bromine holding 5..8, hydrogen on row 9.
    EXPECT_EQ(frame.planeX[1], -7.5f);
    EXPECT_EQ(frame.planeY[50], 5.5f);
    auto expected = std::make_unique<OrbitalVolume>();
    evaluator::evaluateVolumeLiteral(evaluator::gatherAtomInputs(*molecule, *coefficients, 2), frame,
                                     basis::prepareBasisWeights(), *expected);
    EXPECT_EQ(testsupport::firstDifference(psi->values.data(), expected->values.data(), GRID_POINTS), -1);
    EXPECT_NE(psi->at(17, 23, 28), 0.0f);  // on the carbon nucleus
}

}  // namespace
}  // namespace gridorb
