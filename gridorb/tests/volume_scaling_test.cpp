#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "output/volume_file.h"

namespace gridorb::output {
namespace {

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
    static OrbitalVolume signedVolume, positive, negative;
    signedVolume.values.fill(0.0f);
    positive.values.fill(9.0f);  // stale data must be overwritten
    negative.values.fill(9.0f);
    signedVolume.at(0, 0, 0) = 0.25f;
    signedVolume.at(50, 50, 50) = -0.5f;
    signedVolume.at(3, 4, 5) = -0.0f;

    const VolumeRange range = splitVolume(signedVolume, positive, negative);
    EXPECT_EQ(range.minimum, -0.5f);
    EXPECT_EQ(range.maximum, 0.25f);
    EXPECT_EQ(positive.at(0, 0, 0), 0.25f);
    EXPECT_EQ(negative.at(0, 0, 0), 0.0f);
    EXPECT_EQ(positive.at(50, 50, 50), 0.0f);
    EXPECT_EQ(negative.at(50, 50, 50), -0.5f);
    EXPECT_EQ(positive.at(1, 1, 1), 0.0f);
    EXPECT_EQ(negative.at(1, 1, 1), 0.0f);
    for (std::size_t i = 0; i < signedVolume.values.size(); ++i) {
        ASSERT_EQ(positive.values[i] + negative.values[i], signedVolume.values[i]) << "at " << i;
    }
}

TEST(VolumeSplit, SeedsShowWhenEveryValueLiesBeyondThem) {
    static OrbitalVolume signedVolume, positive, negative;
    signedVolume.values.fill(2000.0f);
    VolumeRange range = splitVolume(signedVolume, positive, negative);
    EXPECT_EQ(range.minimum, 1000.0f);
    EXPECT_EQ(range.maximum, 2000.0f);
    signedVolume.values.fill(-2000.0f);
    range = splitVolume(signedVolume, positive, negative);
    EXPECT_EQ(range.minimum, -2000.0f);
    EXPECT_EQ(range.maximum, -1000.0f);
}

}  // namespace
}  // namespace gridorb::output
