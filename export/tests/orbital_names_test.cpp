#include <gtest/gtest.h>

#include "orbital_names.h"

namespace gridorb::exporter {
namespace {

using Orbitals = std::vector<std::int32_t>;

// Water: 8 electrons, 6 orbitals, HOMO 4.
const Frontier WATER = frontierOf(8, 6);

TEST(OrbitalNames, FrontierAndLabelsAsTheFrontEndCountsThem) {
    EXPECT_EQ(WATER.homo, 4);
    EXPECT_EQ(WATER.lumo, 5);
    EXPECT_EQ(frontierOf(9, 6).homo, 5);  // odd: rounded up
    EXPECT_EQ(frontierOf(12, 6).lumo, 0);  // every orbital occupied
    EXPECT_EQ(frontierOf(0, 6).homo, 0);
    EXPECT_EQ(orbitalLabel(4, WATER), "HOMO");
    EXPECT_EQ(orbitalLabel(2, WATER), "HOMO-2");
    EXPECT_EQ(orbitalLabel(5, WATER), "LUMO");
    EXPECT_EQ(orbitalLabel(6, WATER), "LUMO+1");
    EXPECT_EQ(orbitalLabel(1, frontierOf(0, 6)), "LUMO");
}

TEST(OrbitalNames, NumbersNamesRangesAndAll) {
    EXPECT_EQ(selectOrbitals({"3"}, WATER), Orbitals({3}));
    EXPECT_EQ(selectOrbitals({"HOMO", "lumo"}, WATER), Orbitals({4, 5}));
    EXPECT_EQ(selectOrbitals({"homo-2", "lumo+1"}, WATER), Orbitals({2, 6}));
    EXPECT_EQ(selectOrbitals({"homo-1..lumo", "5", "2..3"}, WATER), Orbitals({2, 3, 4, 5}));
    EXPECT_EQ(selectOrbitals({"all"}, WATER), Orbitals({1, 2, 3, 4, 5, 6}));
}

// Each refusal quotes the argument and gives the valid range.
TEST(OrbitalNames, RefusalsNameTheArgumentAndTheRange) {
    const std::string range = "(orbitals 1 to 6, HOMO 4, LUMO 5)";
    auto message = [](const std::vector<std::string>& names, const Frontier& frontier) {
        try {
            selectOrbitals(names, frontier);
        } catch (const OrbitalNameError& error) {
            return std::string(error.what());
        }
        return std::string("accepted");
    };
    EXPECT_EQ(message({"7"}, WATER), "orbital '7': orbital 7 does not exist " + range);
    EXPECT_EQ(message({"0"}, WATER), "orbital '0': orbital 0 does not exist " + range);
    EXPECT_EQ(message({"homo-4"}, WATER), "orbital 'homo-4': orbital 0 does not exist " + range);
    EXPECT_EQ(message({"lumo+9"}, WATER), "orbital 'lumo+9': orbital 14 does not exist " + range);
    EXPECT_EQ(message({"5..2"}, WATER), "orbital '5..2': the range runs from 5 down to 2 " + range);
    EXPECT_EQ(message({"homo+1"}, WATER), "orbital 'homo+1': write homo-N with N a whole number " + range);
    EXPECT_EQ(message({"lumo+"}, WATER), "orbital 'lumo+': write lumo+N with N a whole number " + range);
    for (const char* bad : {"x", "-3", "4.0", "..", "1..", "1...3"}) {
        EXPECT_NE(message({bad}, WATER).find("not a number, homo, lumo"), std::string::npos) << bad;
    }
    EXPECT_EQ(message({"lumo"}, frontierOf(12, 6)),
              "orbital 'lumo': the molecule has no LUMO (orbitals 1 to 6, HOMO 6)");
}

}  // namespace
}  // namespace gridorb::exporter
