// A physical check of product order and basis together: an occupied orbital
// of a real wavefunction, squared and summed over the grid with the volume
// of a voxel, is close to 1, a little below (its tails lie outside the box).
#include <gtest/gtest.h>

#include "coefficients/coefficient_product.h"
#include "support/single_atom_case.h"
#include "support/wavefunction_fixture.h"

namespace gridorb {
namespace {

void expectOccupiedOrbitalsNormalised(const char* name, int homo) {
    auto w = testsupport::readWavefunctionFixture(std::string(GRIDORB_EXAMPLES_DIR) + "/" + name + "/FOR013");
    ASSERT_TRUE(w);
    EXPECT_EQ(w->electronCount / 2, homo);
    auto c = std::make_unique<CoefficientMatrix>();
    for (int orbital = 1; orbital <= homo; ++orbital) {
        SCOPED_TRACE(std::string(name) + " orbital " + std::to_string(orbital));
        *c = CoefficientMatrix{};
        coefficients::buildCoefficientColumn(w->raw, w->molecule.orbitalCount, orbital, *c);
        // The evaluating helper takes orbital 1: move the column there.
        for (int row = 1; row <= MAX_ORBITALS; ++row) c->at(row, 1) = c->at(row, orbital);
        auto e = testsupport::evaluateMolecule(w->molecule, *c);
        double sum = 0.0;
        for (float v : e->psi.values) sum += static_cast<double>(v) * v;
        const double voxel = static_cast<double>(e->frame.spacing[0]) * e->frame.spacing[1] * e->frame.spacing[2];
        EXPECT_GT(sum * voxel, 0.95);
        EXPECT_LT(sum * voxel, 1.005);
    }
}

TEST(OrbitalNorm, WaterOccupiedOrbitals) { expectOccupiedOrbitalsNormalised("water", 4); }
TEST(OrbitalNorm, ChloromethaneOccupiedOrbitals) { expectOccupiedOrbitalsNormalised("chloromethane", 7); }

}  // namespace
}  // namespace gridorb
