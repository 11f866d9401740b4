#include <gtest/gtest.h>

#include "command_line.h"

namespace gridorb::exporter {
namespace {

std::string refusal(const std::vector<std::string>& arguments) {
    try {
        parseCommandLine(arguments);
    } catch (const UsageError& error) {
        return error.what();
    }
    return "accepted";
}

TEST(CommandLine, DefaultsAndEveryOption) {
    const Options plain = parseCommandLine({"homo"}).options;
    EXPECT_TRUE(plain.cube);
    EXPECT_FALSE(plain.png);
    EXPECT_TRUE(plain.coreGrid());
    EXPECT_EQ(plain.inputFolder, ".");
    EXPECT_FALSE(plain.outputFolder);

    const Options o = parseCommandLine({"-C", "in", "-oout", "--png", "--points=101", "--margin", "4.5",
                                        "--isovalue", "0.02", "--size", "640x480", "--view=z", "--translucent",
                                        "--quiet", "homo", "--", "-1"})
                          .options;
    EXPECT_EQ(o.inputFolder, "in");
    EXPECT_EQ(*o.outputFolder, "out");
    EXPECT_TRUE(o.png);
    EXPECT_FALSE(o.cube);
    EXPECT_EQ(o.points, 101);
    EXPECT_EQ(o.margin, 4.5);
    EXPECT_FALSE(o.coreGrid());
    EXPECT_EQ(*o.isovalue, 0.02);
    EXPECT_EQ(o.width, 640);
    EXPECT_EQ(o.height, 480);
    EXPECT_EQ(o.view, picture::ViewAxis::Z);
    EXPECT_TRUE(o.translucent && o.quiet);
    EXPECT_EQ(o.orbitals, (std::vector<std::string>{"homo", "-1"}));

    EXPECT_EQ(parseCommandLine({"--help", "--bogus"}).request, Request::Help);
    EXPECT_EQ(parseCommandLine({"--version"}).request, Request::Version);
}

TEST(CommandLine, RefusalsNameTheOptionAndTheValue) {
    EXPECT_EQ(refusal({"--points", "52", "1"}), "--points 52: must be an odd number from 11 to 201");
    EXPECT_EQ(refusal({"--points=9", "1"}), "--points 9: must be an odd number from 11 to 201");
    EXPECT_EQ(refusal({"--points", "51x", "1"}), "--points 51x: must be an odd number from 11 to 201");
    EXPECT_EQ(refusal({"--margin", "-1", "1"}), "--margin -1: must be a number of angstrom from 0 to 100");
    EXPECT_EQ(refusal({"--margin", "3,5", "1"}), "--margin 3,5: must be a number of angstrom from 0 to 100");
    EXPECT_EQ(refusal({"--isovalue", "0", "1"}), "--isovalue 0: must be a positive number (atomic units)");
    EXPECT_EQ(refusal({"--size", "640", "1"}), "--size 640: must be WIDTHxHEIGHT, each from 16 to 8192");
    EXPECT_EQ(refusal({"--size", "10x480", "1"}), "--size 10x480: must be WIDTHxHEIGHT, each from 16 to 8192");
    EXPECT_EQ(refusal({"--view", "w", "1"}), "--view w: must be auto, x, y or z");
    EXPECT_EQ(refusal({"--frobnicate", "1"}), "--frobnicate: unknown option (try --help)");
    EXPECT_EQ(refusal({"--png=yes", "1"}), "--png: takes no value");
    EXPECT_EQ(refusal({"1", "-C"}), "-C: needs a value");
    EXPECT_EQ(refusal({"--png"}), "no orbital named (for example: gridorb-export homo)");
}

}  // namespace
}  // namespace gridorb::exporter
