#include "picture/camera.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <vector>

namespace picture {
namespace {

using Vector = std::array<double, 3>;

Vector cross(const Vector& a, const Vector& b) {
    return {a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]};
}
double dot(const Vector& a, const Vector& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }
Vector normalised(const Vector& a) {
    const double length = std::sqrt(dot(a, a));
    return length > 0.0 ? Vector{a[0] / length, a[1] / length, a[2] / length} : Vector{0.0, 0.0, 0.0};
}

// Eigenvectors of a symmetric 3x3 matrix by Jacobi rotations (a fixed,
// deterministic sequence of arithmetic), as the columns of the result, with
// the eigenvalues in `values`.
Matrix3 eigenvectors(Matrix3 a, Vector& values) {
    Matrix3 v{{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}}};
    for (int sweep = 0; sweep < 50; ++sweep) {
        const double off = a[0][1] * a[0][1] + a[0][2] * a[0][2] + a[1][2] * a[1][2];
        if (off < 1e-30) break;
        for (int p = 0; p < 2; ++p) {
            for (int q = p + 1; q < 3; ++q) {
                if (a[p][q] == 0.0) continue;
                const double theta = (a[q][q] - a[p][p]) / (2.0 * a[p][q]);
                const double t = (theta >= 0 ? 1.0 : -1.0) / (std::fabs(theta) + std::sqrt(theta * theta + 1.0));
                const double c = 1.0 / std::sqrt(t * t + 1.0), s = t * c;
                for (int k = 0; k < 3; ++k) {  // a = J^T a J
                    const double akp = a[k][p], akq = a[k][q];
                    a[k][p] = c * akp - s * akq;
                    a[k][q] = s * akp + c * akq;
                }
                for (int k = 0; k < 3; ++k) {
                    const double apk = a[p][k], aqk = a[q][k];
                    a[p][k] = c * apk - s * aqk;
                    a[q][k] = s * apk + c * aqk;
                }
                for (int k = 0; k < 3; ++k) {
                    const double vkp = v[k][p], vkq = v[k][q];
                    v[k][p] = c * vkp - s * vkq;
                    v[k][q] = s * vkp + c * vkq;
                }
            }
        }
    }
    values = {a[0][0], a[1][1], a[2][2]};
    return v;
}

// The sign that makes a vector's largest component positive, so that the
// default view does not flip between similar molecules.
Vector canonical(const Vector& a) {
    int largest = 0;
    for (int k = 1; k < 3; ++k) {
        if (std::fabs(a[static_cast<std::size_t>(k)]) > std::fabs(a[static_cast<std::size_t>(largest)]) + 1e-9) largest = k;
    }
    return a[static_cast<std::size_t>(largest)] < 0 ? Vector{-a[0], -a[1], -a[2]} : a;
}

// Scene axes for view x (right) and y (up); view z, towards the viewer, completes them.
Matrix3 rows(const Vector& right, const Vector& up) {
    const Vector towards = cross(right, up);
    return {{right, up, towards}};
}

Matrix3 principalView(const std::vector<Vector>& points) {
    Vector mean{};
    for (const auto& p : points) {
        for (std::size_t k = 0; k < 3; ++k) mean[k] += p[k] / static_cast<double>(points.size());
    }
    Matrix3 covariance{};
    for (const auto& p : points) {
        for (std::size_t r = 0; r < 3; ++r) {
            for (std::size_t c = 0; c < 3; ++c) covariance[r][c] += (p[r] - mean[r]) * (p[c] - mean[c]);
        }
    }
    Vector values{};
    const Matrix3 vectors = eigenvectors(covariance, values);
    int order[3] = {0, 1, 2};  // largest spread first: across the picture, then up
    std::stable_sort(order, order + 3, [&](int a, int b) { return values[static_cast<std::size_t>(a)] > values[static_cast<std::size_t>(b)] + 1e-9; });
    const auto column = [&](int c) {
        return canonical({vectors[0][static_cast<std::size_t>(c)], vectors[1][static_cast<std::size_t>(c)], vectors[2][static_cast<std::size_t>(c)]});
    };
    return rows(column(order[0]), column(order[1]));
}

void orthonormalise(Matrix3& m) {
    const Vector x = normalised(m[0]);
    Vector y = m[1];
    const double along = dot(x, y);
    for (std::size_t k = 0; k < 3; ++k) y[k] -= along * x[k];
    y = normalised(y);
    m = rows(x, y);
}

// A pixel on the arcball: the unit sphere over the smaller dimension of the
// picture, its rim beyond.
Vector onBall(double x, double y, int width, int height) {
    const double radius = 0.5 * std::min(width, height);
    Vector p{(x - 0.5 * width) / radius, (0.5 * height - y) / radius, 0.0};
    const double d2 = p[0] * p[0] + p[1] * p[1];
    if (d2 > 1.0) {
        const double d = std::sqrt(d2);
        p = {p[0] / d, p[1] / d, 0.0};
    } else {
        p[2] = std::sqrt(1.0 - d2);
    }
    return p;
}

}  // namespace

Camera defaultCamera(const Molecule& molecule, const Volume& volume, ViewAxis axis, double aspect, double level) {
    std::vector<Vector> points;
    std::vector<double> radii;
    for (const auto& atom : molecule.atoms) {
        points.push_back(atom.position);
        radii.push_back(elementRadius(atom.atomicNumber));
    }
    if (points.empty()) {  // no atoms: the box of the volume
        for (int c = 0; c < 8; ++c) {
            Vector corner{};
            for (std::size_t k = 0; k < 3; ++k) {
                const int far = (c >> k) & 1;
                corner[k] = volume.origin[k] + far * (volume.dimensions[k] - 1) * volume.spacing[k];
            }
            points.push_back(corner);
            radii.push_back(0.0);
        }
    }

    Camera camera;
    switch (axis) {
        case ViewAxis::X: camera.rotation = rows({0, 1, 0}, {0, 0, 1}); break;
        case ViewAxis::Y: camera.rotation = rows({1, 0, 0}, {0, 0, 1}); break;
        case ViewAxis::Z: camera.rotation = rows({1, 0, 0}, {0, 1, 0}); break;
        case ViewAxis::Auto: camera.rotation = principalView(points); break;
    }

    Vector low{1e300, 1e300, 1e300}, high{-1e300, -1e300, -1e300};
    const auto include = [&](const Vector& point, double radius) {
        for (std::size_t k = 0; k < 3; ++k) {
            const double v = dot(camera.rotation[k], point);
            low[k] = std::min(low[k], v - radius);
            high[k] = std::max(high[k], v + radius);
        }
    };
    for (std::size_t i = 0; i < points.size(); ++i) include(points[i], radii[i]);
    if (level > 0.0 && volume.values.size() == static_cast<std::size_t>(volume.dimensions[0]) *
                                                   static_cast<std::size_t>(volume.dimensions[1]) *
                                                   static_cast<std::size_t>(volume.dimensions[2])) {
        for (int k = 0; k < volume.dimensions[2]; ++k) {
            for (int j = 0; j < volume.dimensions[1]; ++j) {
                for (int i = 0; i < volume.dimensions[0]; ++i) {
                    if (std::fabs(volume.at(i, j, k)) >= level) include(volume.position(i, j, k), 0.0);
                }
            }
        }
    }
    const Vector middle{0.5 * (low[0] + high[0]), 0.5 * (low[1] + high[1]), 0.5 * (low[2] + high[2])};
    for (std::size_t k = 0; k < 3; ++k) {  // rotation^T * middle
        camera.centre[k] = camera.rotation[0][k] * middle[0] + camera.rotation[1][k] * middle[1] + camera.rotation[2][k] * middle[2];
    }
    const double across = high[0] - low[0], up = high[1] - low[1];
    camera.viewHeight = std::max({up, across / (aspect > 0.0 ? aspect : 1.0), 1.0}) / 0.8;
    return camera;
}

void rotateByDrag(Camera& camera, double x0, double y0, double x1, double y1, int width, int height) {
    if (width <= 0 || height <= 0) return;
    const Vector from = onBall(x0, y0, width, height), to = onBall(x1, y1, width, height);
    const Vector half = normalised({from[0] + to[0], from[1] + to[1], from[2] + to[2]});
    if (dot(half, half) == 0.0) return;
    // The unit quaternion (w, v) that turns `from` into `to`.
    const double w = dot(from, half);
    const Vector v = cross(from, half);
    const Matrix3 turn{{{1 - 2 * (v[1] * v[1] + v[2] * v[2]), 2 * (v[0] * v[1] - w * v[2]), 2 * (v[0] * v[2] + w * v[1])},
                        {2 * (v[0] * v[1] + w * v[2]), 1 - 2 * (v[0] * v[0] + v[2] * v[2]), 2 * (v[1] * v[2] - w * v[0])},
                        {2 * (v[0] * v[2] - w * v[1]), 2 * (v[1] * v[2] + w * v[0]), 1 - 2 * (v[0] * v[0] + v[1] * v[1])}}};
    Matrix3 result{};
    for (std::size_t r = 0; r < 3; ++r) {
        for (std::size_t c = 0; c < 3; ++c) {
            result[r][c] = turn[r][0] * camera.rotation[0][c] + turn[r][1] * camera.rotation[1][c] + turn[r][2] * camera.rotation[2][c];
        }
    }
    orthonormalise(result);  // many drags must not shear the view
    camera.rotation = result;
}

void zoom(Camera& camera, double factor) {
    if (factor > 0.0) camera.viewHeight = std::clamp(camera.viewHeight / factor, 0.1, 1e4);
}

void panByPixels(Camera& camera, double dx, double dy, int height) {
    if (height <= 0) return;
    const double perPixel = camera.viewHeight / height;
    camera.pan[0] += dx * perPixel;
    camera.pan[1] -= dy * perPixel;
}

}  // namespace picture
