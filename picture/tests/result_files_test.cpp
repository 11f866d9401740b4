#include "picture/result_files.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "gridorb_results.h"

namespace {

using picture::ReadError;

std::string messageOf(void (*read)(const std::string&), const std::string& path) {
    try {
        read(path);
    } catch (const ReadError& error) {
        return error.what();
    }
    return "(read without complaint)";
}

void readVolume(const std::string& path) { picture::readVolumeFile(path); }
void readCoordinates(const std::string& path) { picture::readCoordinateFile(path); }

TEST(ResultFiles, BrokenFilesEachGetTheirMessage) {
    struct Case {
        const char* file;
        const char* message;  // after "PATH, "
    };
    const Case cases[] = {
        {"line_feeds_only.vtk", "line 1: expected \"# vtk DataFile Version 2.0\" on a line ending in CR LF, found \"# vtk DataFile Version 2.0\""},
        {"binary.vtk", "line 3: expected \"ASCII\", found \"BINARY\""},
        {"two_dimensions.vtk", "line 5: expected \"DIMENSIONS\" and three whole numbers from 2 to 1000, found \" DIMENSIONS  2 2\""},
        {"huge_dimensions.vtk", "line 5: expected \"DIMENSIONS\" and three whole numbers from 2 to 1000, found \" DIMENSIONS  2 2 100000\""},
        {"zero_spacing.vtk", "line 7: expected \"SPACING\" and three numbers greater than 0, found \" SPACING   .5  0.  1.\""},
        {"comma_spacing.vtk", "line 7: expected \"SPACING\" and three numbers greater than 0, found \" SPACING   0,5  .25  1.\""},
        {"point_count.vtk", "line 9: expected \" POINT_DATA  8\", found \" POINT_DATA  9\""},
        {"value_too_large.vtk", "line 12: expected four whole numbers from 0 to 256 in five columns each, found \"    0   10  257    0\""},
        {"short_line.vtk", "line 13: expected four whole numbers from 0 to 256 in five columns each, found \"    0    0    3   0\""},
        {"letter_in_value.vtk", "line 13: expected four whole numbers from 0 to 256 in five columns each, found \"    0    0    x    0\""},
        {"missing_lookup.vtk", "line 15: expected \"LOOKUP_TABLE default\", found \"    5    0    0    0\""},
        {"truncated.vtk", "line 17: expected four whole numbers from 0 to 256 in five columns each on a line ending in CR LF, found \"    7    0\""},
        {"both_lobes.vtk", "line 17: expected 0 at point 7, where POS is 3, found \"2\""},
        {"total_wrong.vtk", "line 21: expected 1 (POS + NEG) at point 8, found \"2\""},
        {"trailing_line.vtk", "line 22: expected the end of the file after the TOT block, found \"    0\""},
        {"trailing_bytes.vtk", "line 22: expected the end of the file after the TOT block, found \"??\""},
        {"empty.vtk", "line 1: expected \"# vtk DataFile Version 2.0\", found the end of the file"},
        {"wrong_title.cor", "line 1: expected \" COORDENADAS DE FOR013 EN FORMATO QMX\", found \" COORDINATES\""},
        {"atom_without_z.cor", "line 6: expected an atomic number from 0 to 118 and three coordinates, or the closing \"26.4583492\", found \" 1   1.9418 -.0472400002\""},
        {"atomic_number.cor", "line 5: expected an atomic number from 0 to 118 and three coordinates, or the closing \"26.4583492\", found \" 200   .973919988 -.0919600055 -.0622100048\""},
        {"no_closing_line.cor", "line 7: expected an atomic number from 0 to 118 and three coordinates, or the closing \"26.4583492\", found the end of the file"},
    };
    for (const Case& c : cases) {
        const std::string path = std::string(PICTURE_TEST_DATA) + "/broken/" + c.file;
        const bool volume = path.ends_with(".vtk");
        EXPECT_EQ(messageOf(volume ? readVolume : readCoordinates, path), path + ", " + c.message) << c.file;
    }
    const std::string missing = std::string(PICTURE_TEST_DATA) + "/no such file";
    EXPECT_EQ(messageOf(readVolume, missing), missing + ": cannot be opened (No such file or directory)");
    EXPECT_EQ(messageOf(readVolume, PICTURE_TEST_DATA), std::string(PICTURE_TEST_DATA) + ": cannot be read (Is a directory)");
}

TEST(ResultFiles, SmallFileGivesPosMinusNegScaledByThePeak) {
    const auto volume = picture::readVolumeFile(std::string(PICTURE_TEST_DATA) + "/small.vtk", 0.5);
    EXPECT_EQ(volume.dimensions, (std::array<int, 3>{2, 2, 2}));
    EXPECT_EQ(volume.origin, (std::array<double, 3>{-2.0, -1.0, 0.0}));
    EXPECT_EQ(volume.spacing, (std::array<double, 3>{0.5, 0.25, 1.0}));
    const std::vector<float> expected{-5 * 0.5f / 256, 10 * 0.5f / 256, 0.5f, 0, -7 * 0.5f / 256, 0, 3 * 0.5f / 256, -0.5f / 256};
    EXPECT_EQ(volume.values, expected);
    EXPECT_EQ(picture::readVolumeFile(std::string(PICTURE_TEST_DATA) + "/small.vtk").values[2], 256.0f);
}

TEST(ResultFiles, WaterFromGridorbReadsBack) {
    const auto& run = gridorbResult("water", 4);
    const double peak = picture::peakFromConsole(run.console);
    EXPECT_DOUBLE_EQ(peak, 0.743110478);

    const auto volume = picture::readVolumeFile(run.folder + "/VELD.VTK", peak);
    EXPECT_EQ(volume.dimensions, (std::array<int, 3>{51, 51, 51}));
    EXPECT_EQ(volume.origin, (std::array<double, 3>{-2.30492997, -3.09195995, -3.31210995}));
    EXPECT_EQ(volume.spacing, (std::array<double, 3>{.144934595, .137874603, .124997996}));
    const auto [low, high] = std::minmax_element(volume.values.begin(), volume.values.end());
    EXPECT_FLOAT_EQ(std::max(-*low, *high), static_cast<float>(peak));  // 256 in the file
    EXPECT_LT(*low, -0.5f * static_cast<float>(peak));                  // both lobes are there
    EXPECT_GT(*high, 0.5f * static_cast<float>(peak));

    const auto molecule = picture::readCoordinateFile(run.folder + "/TARNEL.COR");
    ASSERT_EQ(molecule.atoms.size(), 3u);
    EXPECT_EQ(molecule.atoms[0].atomicNumber, 8);
    EXPECT_EQ(molecule.atoms[0].position, (std::array<double, 3>{.973919988, -.0919600055, -.0622100048}));
    EXPECT_EQ(molecule.atoms[2].atomicNumber, 1);
}

}  // namespace
