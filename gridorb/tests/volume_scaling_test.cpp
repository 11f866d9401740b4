#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "output/volume_file.h"

namespace gridorb::output {
namespace {

// One value through the writer's own scaling: its block value in `lobe`.
std::int32_t scaleValue(float value, float normaliser, Lobe lobe = Lobe::Whole) {
    scaleVolume(&value, 1, normaliser);
    std::int32_t block = -1;
    lobeBlockValues(&value, &block, 1, lobe);
    return block;
}

// Shown as "*****".
constexpr std::int32_t OVERFLOW = static_cast<std::int32_t>(FIELD_OVERFLOW);

TEST(VolumeScaling, TruncatesTowardZeroThenTakesTheMagnitude) {
    // 12.9 and -12.9 after scaling: both lobes write 12.
    EXPECT_EQ(scaleValue(12.9f / 256.0f, 1.0f), 12);
    EXPECT_EQ(scaleValue(-12.9f / 256.0f, 1.0f), 12);
    EXPECT_EQ(scaleValue(0.5f, 0.5f), 256);
    EXPECT_EQ(scaleValue(-0.75f, 0.75f), 256);
    EXPECT_EQ(scaleValue(0.5f, 0.75f), 170);  // 170.67 truncated
    EXPECT_EQ(scaleValue(0.0f, 0.75f), 0);
    EXPECT_EQ(scaleValue(-0.0f, 0.75f), 0);
}

TEST(VolumeScaling, MultipliesBeforeDividingInDouble) {
    // v * 256 / n in that order: the same double operations, not v / n * 256.
    const float v = 0.1f;
    const float n = 0.3f;
    const double expected = static_cast<double>(v) * 256.0 / static_cast<double>(n);
    EXPECT_EQ(scaleValue(v, n), static_cast<int>(expected));
}

// The whole volume through the writer's fast path against the formula as
// written, one value at a time: random values, and values whose quotient is
// a whole number or lies next to one, where a quotient not divided in
// double could truncate the other way.
TEST(VolumeScaling, TheFastPathTruncatesAsTheDoubleDivisionDoes) {
    std::vector<float> values;
    std::uint32_t state = 2024;
    auto next = [&state] { return (state = state * 1664525u + 1013904223u) >> 8; };
    for (float normaliser : {0.5f, 0.1234567f, 3.0e-7f, 0.0171f}) {
        values.clear();
        for (int i = 0; i < 20000; ++i) {
            const float unit = static_cast<float>(next()) / 16777216.0f;  // [0, 1)
            values.push_back((next() & 1 ? 1.0f : -1.0f) * unit * normaliser);
        }
        for (int k = 0; k <= 256; ++k) {
            const float v = static_cast<float>(k * static_cast<double>(normaliser) / 256.0);
            for (float w : {v, std::nextafter(v, 0.0f), std::nextafter(v, 1.0f)}) {
                values.push_back(w);
                values.push_back(-w);
            }
        }
        // Runs wholly below the normaliser's 256th (all zeros), then wholly at it (all ones).
        const float first = static_cast<float>(static_cast<double>(normaliser) / 256.0);
        for (float w : {std::nextafter(first, 0.0f), first}) {
            for (int i = 0; i < 128; ++i) values.push_back(i % 2 != 0 ? w : -w);
        }
        values.push_back(normaliser);
        values.push_back(std::numeric_limits<float>::quiet_NaN());
        std::vector<float> scaled = values;
        scaleVolume(scaled.data(), scaled.size(), normaliser);
        for (std::size_t i = 0; i < values.size(); ++i) {
            const double q = std::fabs(static_cast<double>(values[i]) * 256.0 / static_cast<double>(normaliser));
            const float magnitude = q < 100000.0 ? static_cast<float>(static_cast<std::int32_t>(q)) : FIELD_OVERFLOW;
            ASSERT_EQ(scaled[i], values[i] > 0.0f ? magnitude : -magnitude) << values[i] << " / " << normaliser;
        }
    }
}

TEST(VolumeScaling, ZeroNormaliserGivesZeroFields) {
    EXPECT_EQ(scaleValue(0.0f, 0.0f), 0);
    EXPECT_EQ(scaleValue(-0.0f, 0.0f), 0);
}

TEST(VolumeScaling, MagnitudesAnI5FieldCannotShowOverflow) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(scaleValue(nan, 1.0f), OVERFLOW);
    EXPECT_EQ(scaleValue(inf, 1.0f), OVERFLOW);
    EXPECT_EQ(scaleValue(-inf, 1.0f), OVERFLOW);
    EXPECT_EQ(scaleValue(1.0f, nan), OVERFLOW);
    EXPECT_EQ(scaleValue(1.0e30f, 1.0e-30f), OVERFLOW);
    EXPECT_EQ(scaleValue(-8388608.0f, 1.0f), OVERFLOW);
    EXPECT_EQ(scaleValue(99999.0f / 256.0f, 1.0f), 99999);
    EXPECT_EQ(scaleValue(100000.0f / 256.0f, 1.0f), OVERFLOW);
}

TEST(VolumeScaling, NormaliserIsTheLargerMagnitude) {
    EXPECT_EQ(chooseNormaliser(-0.5f, 0.5f), 0.5f);
    EXPECT_EQ(chooseNormaliser(-0.75f, 0.5f), 0.75f);
    EXPECT_EQ(chooseNormaliser(0.25f, 0.5f), 0.5f);
    EXPECT_EQ(chooseNormaliser(1000.0f, -1000.0f), 1000.0f);
}

TEST(VolumeSplit, EachLobeTakesItsSidesMagnitudes) {
    // Each lobe takes its side's magnitudes and 0 elsewhere; an exact 0 and
    // NaN are on the negative side.
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const struct {
        float value;
        std::int32_t positive, negative, whole;
    } cases[] = {{0.25f, 128, 0, 128}, {-0.5f, 0, 256, 256}, {0.0f, 0, 0, 0}, {-0.0f, 0, 0, 0},
                 {1.0e-9f, 0, 0, 0}, {nan, 0, OVERFLOW, OVERFLOW}};
    for (const auto& c : cases) {
        EXPECT_EQ(scaleValue(c.value, 0.5f, Lobe::Positive), c.positive) << c.value;
        EXPECT_EQ(scaleValue(c.value, 0.5f, Lobe::Negative), c.negative) << c.value;
        EXPECT_EQ(scaleValue(c.value, 0.5f, Lobe::Whole), c.whole) << c.value;
    }
}

TEST(VolumeSplit, SeedsShowWhenEveryValueLiesBeyondThem) {
    ValueRange range = splitRange({-0.5f, 0.25f});
    EXPECT_EQ(range.minimum, -0.5f);
    EXPECT_EQ(range.maximum, 0.25f);
    range = splitRange({2000.0f, 2000.0f});
    EXPECT_EQ(range.minimum, 1000.0f);
    EXPECT_EQ(range.maximum, 2000.0f);
    range = splitRange({-2000.0f, -2000.0f});
    EXPECT_EQ(range.minimum, -2000.0f);
    EXPECT_EQ(range.maximum, -1000.0f);
    range = splitRange(ValueRange{});  // no value a number
    EXPECT_EQ(range.minimum, 1000.0f);
    EXPECT_EQ(range.maximum, -1000.0f);
}

}  // namespace
}  // namespace gridorb::output
