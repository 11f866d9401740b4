#include "picture/molecule.h"

#include <gtest/gtest.h>

#include "gridorb_results.h"
#include "picture/result_files.h"

namespace {

TEST(Molecule, BondsOfTheBundledMolecules) {
    struct Case {
        const char* name;
        int orbital;
        std::size_t bonds;
    };
    // Water: two O-H, no H-H; chloromethane: three C-H and the long C-Cl;
    // perfluorohexadecane: 15 C-C and 34 C-F, no F-F across a carbon.
    for (const Case& c : {Case{"water", 4, 2}, Case{"chloromethane", 7, 4}, Case{"perfluorohexadecane", 151, 49}}) {
        const auto molecule = picture::readCoordinateFile(gridorbResult(c.name, c.orbital).folder + "/TARNEL.COR");
        const auto bonds = picture::findBonds(molecule);
        EXPECT_EQ(bonds.size(), c.bonds) << c.name;
        for (const auto& bond : bonds) {
            EXPECT_LT(bond.first, bond.second);
            EXPECT_FALSE(molecule.atoms[bond.first].atomicNumber == molecule.atoms[bond.second].atomicNumber &&
                         molecule.atoms[bond.first].atomicNumber != 6)
                << c.name;
        }
    }
}

}  // namespace
