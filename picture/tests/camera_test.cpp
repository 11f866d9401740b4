#include "picture/camera.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

using picture::Camera;
using picture::Matrix3;
using Vector = std::array<double, 3>;

Vector times(const Matrix3& m, const Vector& v) {
    return {m[0][0] * v[0] + m[0][1] * v[1] + m[0][2] * v[2], m[1][0] * v[0] + m[1][1] * v[1] + m[1][2] * v[2],
            m[2][0] * v[0] + m[2][1] * v[1] + m[2][2] * v[2]};
}

TEST(Camera, DefaultViewSeesAPlanarRingFaceOnCentredAndFilling80Percent) {
    // A ring of six carbons of radius 1.4 Å in a tilted plane, off the origin.
    const Vector u{0.6, 0.8, 0.0}, w{-0.48, 0.36, 0.8}, offset{3.0, -2.0, 5.0};
    picture::Molecule ring;
    for (int k = 0; k < 6; ++k) {
        const double a = k * M_PI / 3.0, c = 1.4 * std::cos(a), s = 1.4 * std::sin(a);
        ring.atoms.push_back({6, {offset[0] + c * u[0] + s * w[0], offset[1] + c * u[1] + s * w[1], offset[2] + c * u[2] + s * w[2]}});
    }
    const double aspect = 4.0 / 3.0;
    const Camera camera = picture::defaultCamera(ring, {}, picture::ViewAxis::Auto, aspect);
    double low[2] = {1e9, 1e9}, high[2] = {-1e9, -1e9};
    for (const auto& atom : ring.atoms) {
        const Vector d{atom.position[0] - camera.centre[0], atom.position[1] - camera.centre[1], atom.position[2] - camera.centre[2]};
        const Vector v = times(camera.rotation, d);
        EXPECT_NEAR(v[2], 0.0, 1e-9);  // face-on: the ring lies across the view
        for (int k = 0; k < 2; ++k) {
            low[k] = std::min(low[k], v[k] - picture::elementRadius(6));
            high[k] = std::max(high[k], v[k] + picture::elementRadius(6));
        }
    }
    for (int k = 0; k < 2; ++k) EXPECT_NEAR(low[k] + high[k], 0.0, 1e-9);  // centred
    const double filled = std::max((high[1] - low[1]) / camera.viewHeight, (high[0] - low[0]) / (aspect * camera.viewHeight));
    EXPECT_NEAR(filled, 0.8, 1e-9);
}

TEST(Camera, DragRollsTheBallUnderTheCursorAndKeepsTheRotationRigid) {
    Camera camera;
    const int width = 400, height = 300;
    // From the centre to a point inside the ball (radius 150 pixels).
    const Matrix3 before = camera.rotation;
    picture::rotateByDrag(camera, 200, 150, 260, 110, width, height);
    const double x = 60.0 / 150, y = 40.0 / 150;
    const Vector target{x, y, std::sqrt(1 - x * x - y * y)};
    // The scene direction that faced the viewer now lies under the cursor.
    const Vector facing{before[2][0], before[2][1], before[2][2]};
    const Vector now = times(camera.rotation, facing);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(now[k], target[k], 1e-12);

    for (int drag = 0; drag < 200; ++drag) picture::rotateByDrag(camera, 10 + drag, 20, 390 - drag, 280, width, height);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            double product = 0;
            for (int k = 0; k < 3; ++k) product += camera.rotation[r][k] * camera.rotation[c][k];
            EXPECT_NEAR(product, r == c ? 1.0 : 0.0, 1e-12);
        }
    }
    const auto& m = camera.rotation;  // still a rotation, not a reflection
    const double determinant = m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
                               m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
    EXPECT_NEAR(determinant, 1.0, 1e-12);
}

}  // namespace
