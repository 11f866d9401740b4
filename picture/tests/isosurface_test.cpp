#include "picture/isosurface.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <map>
#include <utility>

namespace {

using picture::Mesh;
using picture::Volume;
using Field = std::function<double(double, double, double)>;

// A grid with unequal spacings, centred on 0 so that z is mirrored exactly.
Volume sampled(const Field& field, std::array<int, 3> dimensions, std::array<double, 3> spacing) {
    Volume volume{dimensions, {}, spacing, {}};
    for (int a = 0; a < 3; ++a) volume.origin[a] = -0.5 * (dimensions[a] - 1) * spacing[a];
    for (int k = 0; k < dimensions[2]; ++k) {
        for (int j = 0; j < dimensions[1]; ++j) {
            for (int i = 0; i < dimensions[0]; ++i) {
                volume.values.push_back(static_cast<float>(field((i - 0.5 * (dimensions[0] - 1)) * spacing[0],
                                                                 (j - 0.5 * (dimensions[1] - 1)) * spacing[1],
                                                                 (k - 0.5 * (dimensions[2] - 1)) * spacing[2])));
            }
        }
    }
    return volume;
}

// Semi-axes 1.6, 1.1 and 0.8 Å at the level exp(-1).
double ellipsoid(double x, double y, double z) {
    return std::exp(-(x * x / (1.6 * 1.6) + y * y / (1.1 * 1.1) + z * z / (0.8 * 0.8)));
}

// Every directed edge once and its reverse once: closed, and consistently wound.
void expectClosed(const Mesh& mesh) {
    std::map<std::pair<std::uint32_t, std::uint32_t>, int> directed;
    for (const auto& t : mesh.triangles) {
        for (int e = 0; e < 3; ++e) ++directed[{t[e], t[(e + 1) % 3]}];
    }
    int bad = 0;
    for (const auto& [edge, count] : directed) {
        const auto reverse = directed.find({edge.second, edge.first});
        bad += count != 1 || reverse == directed.end() || reverse->second != 1;
    }
    EXPECT_EQ(bad, 0) << "of " << directed.size() << " directed edges";
}

// By the divergence theorem, from triangles wound to face out.
double enclosedVolume(const Mesh& mesh) {
    double sum = 0.0;
    for (const auto& t : mesh.triangles) {
        const auto &a = mesh.positions[t[0]], &b = mesh.positions[t[1]], &c = mesh.positions[t[2]];
        sum += a[0] * (double(b[1]) * c[2] - double(b[2]) * c[1]) + a[1] * (double(b[2]) * c[0] - double(b[0]) * c[2]) +
               a[2] * (double(b[0]) * c[1] - double(b[1]) * c[0]);
    }
    return sum / 6.0;
}

TEST(Isosurface, EllipsoidIsClosedEnclosesItsVolumeAndFacesOut) {
    const Volume volume = sampled(ellipsoid, {41, 37, 45}, {0.13, 0.11, 0.07});
    const Mesh mesh = picture::extractIsosurface(volume, static_cast<float>(std::exp(-1.0)));
    ASSERT_GT(mesh.triangles.size(), 1000u);
    expectClosed(mesh);
    const double exact = 4.0 / 3.0 * M_PI * 1.6 * 1.1 * 0.8;
    EXPECT_NEAR(enclosedVolume(mesh) / exact, 1.0, 0.02);
    for (std::size_t v = 0; v < mesh.positions.size(); ++v) {
        const auto& p = mesh.positions[v];
        const auto& n = mesh.normals[v];
        // Out of the lobe: along the analytic outward gradient direction.
        const double out[3] = {p[0] / (1.6 * 1.6), p[1] / (1.1 * 1.1), p[2] / (0.8 * 0.8)};
        const double length = std::sqrt(out[0] * out[0] + out[1] * out[1] + out[2] * out[2]);
        const double cosine = (n[0] * out[0] + n[1] * out[1] + n[2] * out[2]) / length;
        ASSERT_GT(cosine, 0.99) << "vertex " << v;
        ASSERT_NEAR(std::sqrt(n[0] * n[0] + n[1] * n[1] + n[2] * n[2]), 1.0, 1e-5);
    }

    // The negative lobe of the negated field is the same surface, facing out of it.
    Volume negated = volume;
    for (float& value : negated.values) value = -value;
    const Mesh negative = picture::extractIsosurface(negated, static_cast<float>(-std::exp(-1.0)));
    EXPECT_EQ(negative.positions, mesh.positions);
    EXPECT_EQ(negative.normals, mesh.normals);
    EXPECT_EQ(negative.triangles, mesh.triangles);
}

TEST(Isosurface, FieldMirroredInZGivesAMirroredMesh) {
    // Two lobes of different sizes off the axes, joined by a neck: lopsided
    // in x and y, symmetric in z.
    const Field field = [](double x, double y, double z) {
        return std::exp(-((x - 0.7) * (x - 0.7) + y * y + 2 * z * z)) +
               0.8 * std::exp(-((x + 0.6) * (x + 0.6) + (y - 0.5) * (y - 0.5) + z * z) * 2);
    };
    const Mesh mesh = picture::extractIsosurface(sampled(field, {31, 28, 26}, {0.15, 0.17, 0.13}), 0.3f);
    ASSERT_GT(mesh.positions.size(), 500u);
    auto mirrored = mesh.positions;
    for (auto& p : mirrored) p[2] = -p[2];
    auto original = mesh.positions;
    const auto byColumn = [](const std::array<float, 3>& a, const std::array<float, 3>& b) {
        return std::tie(a[0], a[1]) != std::tie(b[0], b[1]) ? std::tie(a[0], a[1]) < std::tie(b[0], b[1]) : a[2] < b[2] - 1e-4f;
    };
    std::sort(original.begin(), original.end(), byColumn);
    std::sort(mirrored.begin(), mirrored.end(), byColumn);
    for (std::size_t v = 0; v < original.size(); ++v) {
        ASSERT_EQ(original[v][0], mirrored[v][0]);
        ASSERT_EQ(original[v][1], mirrored[v][1]);
        ASSERT_NEAR(original[v][2], mirrored[v][2], 1e-5);
    }
    EXPECT_EQ(mesh.triangles.size() % 2, 0u);
}

TEST(Isosurface, LobeCutByTheBoxIsClosedJustOutsideIt) {
    // A sphere of radius 1 centred on the x = max face of the box.
    const Field field = [](double x, double y, double z) {
        const double dx = x - 1.0;
        return std::exp(-(dx * dx + y * y + z * z));
    };
    const Volume volume = sampled(field, {21, 31, 31}, {0.1, 0.1, 0.1});
    const Mesh mesh = picture::extractIsosurface(volume, static_cast<float>(std::exp(-1.0)));
    expectClosed(mesh);
    double reach = -1e9;
    for (const auto& p : mesh.positions) reach = std::max(reach, double(p[0]));
    EXPECT_GT(reach, 1.0);        // beyond the last plane (x = 1)...
    EXPECT_LE(reach, 1.1 + 1e-6);  // ...but within one step of it
    EXPECT_NEAR(enclosedVolume(mesh) / (2.0 / 3.0 * M_PI), 1.0, 0.06);
}

TEST(Isosurface, DefaultLevel) {
    EXPECT_FLOAT_EQ(picture::defaultLevel(0.12), 0.05f);
    EXPECT_FLOAT_EQ(picture::defaultLevel(0.08), 0.02f);
}

}  // namespace
