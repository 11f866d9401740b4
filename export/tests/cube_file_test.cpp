#include <gtest/gtest.h>

#include <clocale>
#include <cstdio>
#include <random>

#include "cube_file.h"

namespace gridorb::exporter {
namespace {

std::string field(float value) {
    char text[14] = {};
    formatValue(value, text);
    return text;
}

// The values read as printf's %13.5E would print them in the C locale, also
// while a locale with a decimal comma is in force.
TEST(CubeFile, ValuesInThirteenColumnsAsPrintfGivesThem) {
    std::mt19937 random(15);
    std::uniform_real_distribution<float> exponent(-44, 38);
    std::uniform_real_distribution<float> mantissa(-1, 1);
    const bool comma = std::setlocale(LC_NUMERIC, "de_DE.UTF-8") != nullptr;
    for (int i = 0; i < 20000; ++i) {
        const float value = mantissa(random) * std::pow(10.0f, exponent(random));
        if (!std::isfinite(value) || value == 0.0f) continue;
        std::setlocale(LC_NUMERIC, "C");
        char expected[64];
        std::snprintf(expected, sizeof expected, "%13.5E", static_cast<double>(value));
        if (comma) std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
        ASSERT_EQ(field(value), expected) << value;
    }
    std::setlocale(LC_NUMERIC, "C");
    EXPECT_EQ(field(0.0f), "  0.00000E+00");
    EXPECT_EQ(field(-0.0f), "  0.00000E+00");
    EXPECT_EQ(field(9.999996e-3f), "  1.00000E-02");
    EXPECT_EQ(field(-1.5e-45f), " -1.40130E-45");
    EXPECT_EQ(formatLength(-1.25), "   -1.250000");
    EXPECT_EQ(formatLength(-12345.5), " -12345.500000");  // a full field keeps a blank before it
}

// A whole small file: header, atoms, and the z-fastest runs of 11 values
// broken after six.
TEST(CubeFile, LayoutOfAWholeFile) {
    ExportGrid grid;
    grid.points = 11;
    grid.origin = {-1.5f, 0.0f, 2.25f};
    grid.spacing = {0.5f, 0.25f, 0.125f};
    ExportVolume volume;
    volume.points = 11;
    volume.values.resize(11 * 11 * 11);
    // Each value tells its own point: ix, iy, iz as digits.
    for (int iz = 0; iz < 11; ++iz)
        for (int iy = 0; iy < 11; ++iy)
            for (int ix = 0; ix < 11; ++ix) volume.values[volume.index(ix, iy, iz)] = ix * 10000.0f + iy * 100.0f + iz;
    CubeHeader header{"H2O, orbital 4 (HOMO)", "grid", {{8, {0.0f, 0.0f, 0.25f}}, {1, {1.5f, -2.0f, 0.0f}}}};
    std::string text;
    writeCube(header, grid, volume, [&](std::string_view bytes) { text += bytes; });

    const std::string head =
        "H2O, orbital 4 (HOMO)\n"
        "grid\n"
        "    2   -1.500000    0.000000    2.250000\n"
        "   11    0.500000    0.000000    0.000000\n"
        "   11    0.000000    0.250000    0.000000\n"
        "   11    0.000000    0.000000    0.125000\n"
        "    8    8.000000    0.000000    0.000000    0.250000\n"
        "    1    1.000000    1.500000   -2.000000    0.000000\n";
    ASSERT_EQ(text.substr(0, head.size()), head);
    const std::string values = text.substr(head.size());
    const std::string firstRuns =
        "  0.00000E+00  1.00000E+00  2.00000E+00  3.00000E+00  4.00000E+00  5.00000E+00\n"
        "  6.00000E+00  7.00000E+00  8.00000E+00  9.00000E+00  1.00000E+01\n"
        "  1.00000E+02  1.01000E+02  1.02000E+02  1.03000E+02  1.04000E+02  1.05000E+02\n";
    EXPECT_EQ(values.substr(0, firstRuns.size()), firstRuns);
    // 121 runs of two lines; the last run is ix = 10, iy = 10.
    EXPECT_EQ(values.size(), 121u * (11 * 13 + 2));
    EXPECT_EQ(values.substr(values.size() - 13 * 5 - 1), "  1.01006E+05  1.01007E+05  1.01008E+05  1.01009E+05  1.01010E+05\n");
}

}  // namespace
}  // namespace gridorb::exporter
