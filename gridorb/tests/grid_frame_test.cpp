#include <gtest/gtest.h>

#include <cmath>

#include "grid/grid_frame_layout.h"

namespace gridorb::grid {
namespace {

MoleculeRecord oneAtomAt(float x, float y, float z) {
    MoleculeRecord m;
    m.atomCount = 1;
    m.coordinates[0] = {x, y, z};
    return m;
}

TEST(GridFrame, SingleAtomBox) {
    MoleculeRecord m = oneAtomAt(1.0f, 2.0f, 3.0f);
    GridFrame f = layOutGridFrame(m);
    EXPECT_EQ(f.lowCorner, (std::array<float, 3>{-2.0f, -1.0f, 0.0f}));
    EXPECT_EQ(f.highCorner, (std::array<float, 3>{4.0f, 5.0f, 6.0f}));
    EXPECT_EQ(f.spanDivisor, 0.529167f * 50.0f);
    EXPECT_FLOAT_EQ(f.spanDivisor, 26.458349f);
    for (int axis = 0; axis < 3; ++axis) EXPECT_FLOAT_EQ(f.spacing[axis], 0.2267715f);
    EXPECT_FLOAT_EQ(f.origin[0], -3.779525f);
    EXPECT_FLOAT_EQ(f.origin[1], -1.889763f);
    EXPECT_EQ(f.origin[2], 0.0f);
    // In place, by the stored reciprocal 1.8897626.
    const float r = 1.0f / 0.529167f;
    EXPECT_FLOAT_EQ(r, 1.8897626f);
    EXPECT_EQ(m.coordinates[0], (std::array<float, 3>{1.0f * r, 2.0f * r, 3.0f * r}));
}

TEST(GridFrame, NoAtomsKeepTheSeeds) {
    MoleculeRecord m;
    GridFrame f = layOutGridFrame(m);
    for (int axis = 0; axis < 3; ++axis) {
        EXPECT_EQ(f.lowCorner[axis], 97.0f);
        EXPECT_EQ(f.highCorner[axis], -97.0f);
        EXPECT_FLOAT_EQ(f.spacing[axis], -7.332279f);
    }
}

TEST(GridFrame, AtomsBeyondTheSeedsAndPlanarMolecules) {
    MoleculeRecord m;
    m.atomCount = 2;
    m.coordinates[0] = {150.0f, -120.0f, 1.5f};
    m.coordinates[1] = {160.0f, -130.0f, 1.5f};
    GridFrame f = layOutGridFrame(m);
    EXPECT_EQ(f.lowCorner[0], 97.0f);     // the low seed was never beaten
    EXPECT_EQ(f.highCorner[0], 163.0f);
    EXPECT_EQ(f.lowCorner[1], -133.0f);
    EXPECT_EQ(f.highCorner[1], -97.0f);   // nor the high one
    EXPECT_EQ(f.highCorner[2] - f.lowCorner[2], 6.0f);  // planar: still 6 Å deep
}

TEST(GridFrame, PlanesAccumulateStepByStep) {
    MoleculeRecord m;
    m.atomCount = 2;
    m.coordinates[0] = {-1.3f, 0.7f, 2.2f};
    m.coordinates[1] = {4.1f, -3.3f, 0.1f};
    GridFrame f = layOutGridFrame(m);
    layOutPlanes(f);
    const std::array<float, POINTS_PER_AXIS>* planes[3] = {&f.planeX, &f.planeY, &f.planeZ};
    for (int axis = 0; axis < 3; ++axis) {
        const auto& p = *planes[axis];
        EXPECT_EQ(p[0], f.origin[axis]);
        for (int j = 1; j < POINTS_PER_AXIS; ++j) ASSERT_EQ(p[j], p[j - 1] + f.spacing[axis]);
        // Plane 51 misses the far corner only by rounding, never by an interval.
        const float far = f.highCorner[axis] / BOHR_LENGTH;
        EXPECT_NEAR(p[50], far, 16 * std::abs(far) * 1.2e-7);
    }
}

}  // namespace
}  // namespace gridorb::grid
