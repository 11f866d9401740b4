#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "output/volume_file.h"

namespace gridorb::output {
namespace {

// One value through the writer's own scaling.
std::int32_t scaleValue(float value, float normaliser) {
    std::int32_t scaled = 0;
    scaleLobe(&value, &scaled, 1, Lobe::Whole, normaliser);
    return scaled;
}

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

TEST(VolumeScaling, ZeroNormaliserGivesZeroFields) {
    EXPECT_EQ(scaleValue(0.0f, 0.0f), 0);
    EXPECT_EQ(scaleValue(-0.0f, 0.0f), 0);
}

TEST(VolumeScaling, UnrepresentableQuotientsAreMarked) {
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(scaleValue(nan, 1.0f), UNREPRESENTABLE_VALUE);
    EXPECT_EQ(scaleValue(inf, 1.0f), UNREPRESENTABLE_VALUE);
    EXPECT_EQ(scaleValue(-inf, 1.0f), UNREPRESENTABLE_VALUE);
    EXPECT_EQ(scaleValue(1.0f, nan), UNREPRESENTABLE_VALUE);
    EXPECT_EQ(scaleValue(1.0e30f, 1.0e-30f), UNREPRESENTABLE_VALUE);
    // -2^31 exactly: its magnitude has no 32-bit signed value either.
    EXPECT_EQ(scaleValue(-8388608.0f, 1.0f), UNREPRESENTABLE_VALUE);
    EXPECT_EQ(scaleValue(8388607.0f, 1.0f), 2147483392);
}

TEST(VolumeScaling, NormaliserIsTheLargerMagnitude) {
    EXPECT_EQ(chooseNormaliser(-0.5f, 0.5f), 0.5f);
    EXPECT_EQ(chooseNormaliser(-0.75f, 0.5f), 0.75f);
    EXPECT_EQ(chooseNormaliser(0.25f, 0.5f), 0.5f);
    EXPECT_EQ(chooseNormaliser(1000.0f, -1000.0f), 1000.0f);
}

TEST(VolumeSplit, SplitsLobesAndFindsTheRange) {
    static OrbitalVolume signedVolume;
    signedVolume.values.fill(0.0f);
    signedVolume.at(0, 0, 0) = 0.25f;
    signedVolume.at(50, 50, 50) = -0.5f;
    const VolumeRange range = splitVolume(signedVolume);
    EXPECT_EQ(range.minimum, -0.5f);
    EXPECT_EQ(range.maximum, 0.25f);

    const float nan = std::numeric_limits<float>::quiet_NaN();
    for (float v : {0.25f, -0.5f, 0.0f, -0.0f, nan}) {
        const float positive = lobeValue(v, Lobe::Positive);
        const float negative = lobeValue(v, Lobe::Negative);
        EXPECT_TRUE(positive == 0.0f || negative == 0.0f) << v;
        EXPECT_FALSE(positive < 0.0f) << v;
        EXPECT_FALSE(negative > 0.0f) << v;
        // Each lobe holds the value or 0, so the scaled lobes add up to the scaled whole.
        EXPECT_EQ(scaleValue(positive, 0.5f) + (std::isnan(v) ? 0 : scaleValue(negative, 0.5f)),
                  std::isnan(v) ? 0 : scaleValue(v, 0.5f))
            << v;
    }
    EXPECT_EQ(lobeValue(0.0f, Lobe::Positive), 0.0f);
    EXPECT_TRUE(std::isnan(lobeValue(nan, Lobe::Negative))) << "not above 0: the negative side";
    EXPECT_EQ(lobeValue(-0.5f, Lobe::Whole), -0.5f);
}

TEST(VolumeSplit, SeedsShowWhenEveryValueLiesBeyondThem) {
    static OrbitalVolume signedVolume;
    signedVolume.values.fill(2000.0f);
    VolumeRange range = splitVolume(signedVolume);
    EXPECT_EQ(range.minimum, 1000.0f);
    EXPECT_EQ(range.maximum, 2000.0f);
    signedVolume.values.fill(-2000.0f);
    range = splitVolume(signedVolume);
    EXPECT_EQ(range.minimum, -2000.0f);
    EXPECT_EQ(range.maximum, -1000.0f);
    signedVolume.values.fill(std::numeric_limits<float>::quiet_NaN());
    range = splitVolume(signedVolume);
    EXPECT_EQ(range.minimum, 1000.0f) << "a NaN never becomes an extreme";
    EXPECT_EQ(range.maximum, -1000.0f);
}

}  // namespace
}  // namespace gridorb::output
