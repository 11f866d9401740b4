#include "picture/renderer.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <limits>

namespace picture {
namespace {

// Materials of a sample: background, the two lobes, then one per element.
constexpr std::uint8_t BACKGROUND = 0, POSITIVE = 1, NEGATIVE = 2, ELEMENT_BASE = 3;
constexpr int MAX_ELEMENT = 118;

constexpr std::array<float, 3> POSITIVE_COLOUR{0.86f, 0.12f, 0.10f};
constexpr std::array<float, 3> NEGATIVE_COLOUR{0.12f, 0.28f, 0.90f};
constexpr double BOND_RADIUS = 0.13;  // Å

// Light: a headlight along the view plus ambient. With the light and the
// viewer both on the view axis, a sample's shade depends only on the view z
// of its normal, so the buffers keep that one number.
constexpr float AMBIENT = 0.28f, DIFFUSE = 0.72f;
constexpr float LOBE_SPECULAR = 0.40f, ATOM_SPECULAR = 0.30f;

// Translucent lobes: more opaque where they are seen edge-on, so that their
// outline stays clear while the atoms inside show through.
constexpr float FACE_ON_ALPHA = 0.45f, EDGE_ON_ALPHA = 0.85f;

constexpr float NOTHING = -std::numeric_limits<float>::infinity();

// The facing is kept in steps of 1/1023: finer than 8-bit colour can show,
// and it lets each material's shades be computed once per picture.
constexpr int FACING_STEPS = 1023;
std::uint16_t facingStep(float facing) {
    return static_cast<std::uint16_t>(std::clamp(facing, 0.0f, 1.0f) * FACING_STEPS + 0.5f);
}

struct Layer {
    std::vector<float> depth;  // view z in samples, larger is nearer
    std::vector<std::uint16_t> facing;  // view z of the unit normal, in steps of 1/FACING_STEPS
    std::vector<std::uint8_t> material;
    void clear(std::size_t size) {
        depth.assign(size, NOTHING);
        facing.assign(size, 0);
        material.assign(size, BACKGROUND);
    }
};

struct Projection {
    Matrix3 rotation;
    std::array<double, 3> shift;  // view position of the scene origin, then to samples
    double scale;                 // samples per Å
    double halfWidth, halfHeight;

    // View coordinates in samples: x right, y down, z towards the viewer.
    std::array<double, 3> operator()(const std::array<double, 3>& p) const {
        std::array<double, 3> v{};
        for (std::size_t r = 0; r < 3; ++r) v[r] = rotation[r][0] * p[0] + rotation[r][1] * p[1] + rotation[r][2] * p[2] + shift[r];
        return {halfWidth + v[0] * scale, halfHeight - v[1] * scale, v[2] * scale};
    }
};

Projection projectionFor(const Camera& camera, int width, int height) {
    Projection projection{camera.rotation, {}, height / camera.viewHeight, 0.5 * width, 0.5 * height};
    for (std::size_t r = 0; r < 3; ++r) {
        projection.shift[r] = -(camera.rotation[r][0] * camera.centre[0] + camera.rotation[r][1] * camera.centre[1] +
                                camera.rotation[r][2] * camera.centre[2]) +
                              (r < 2 ? camera.pan[r] : 0.0);
    }
    return projection;
}

class Rasteriser {
public:
    Rasteriser(Layer& layer, const Layer* occluder, int width, int height)
        : layer_(layer), occluder_(occluder), width_(width), height_(height) {}

    void sphere(const std::array<double, 3>& centre, double radius, std::uint8_t material) {
        if (!finite(centre) || !(radius > 0.0) || radius > LIMIT) return;
        const double r2 = radius * radius;
        const int y0 = std::max(0, static_cast<int>(std::floor(centre[1] - radius)));
        const int y1 = std::min(height_ - 1, static_cast<int>(std::ceil(centre[1] + radius)));
        const int x0 = std::max(0, static_cast<int>(std::floor(centre[0] - radius)));
        const int x1 = std::min(width_ - 1, static_cast<int>(std::ceil(centre[0] + radius)));
        for (int y = y0; y <= y1; ++y) {
            const double dy = y + 0.5 - centre[1];
            for (int x = x0; x <= x1; ++x) {
                const double dx = x + 0.5 - centre[0];
                const double d2 = dx * dx + dy * dy;
                if (d2 >= r2) continue;
                const double h = std::sqrt(r2 - d2);
                write(x, y, static_cast<float>(centre[2] + h), static_cast<float>(h / radius), material);
            }
        }
    }

    // A stick from a to b, each half in its atom's colour; the ends lie
    // inside the atoms' balls and need no caps.
    void cylinder(const std::array<double, 3>& a, const std::array<double, 3>& b, double radius, std::uint8_t materialA,
                  std::uint8_t materialB) {
        if (!finite(a) || !finite(b) || !(radius > 0.0)) return;
        const double axis[3] = {b[0] - a[0], b[1] - a[1], b[2] - a[2]};
        const double length = std::sqrt(axis[0] * axis[0] + axis[1] * axis[1] + axis[2] * axis[2]);
        if (length <= 0.0) return;
        const double u[3] = {axis[0] / length, axis[1] / length, axis[2] / length};
        const double qa = 1.0 - u[2] * u[2];  // seen end-on, the balls hide it
        if (qa < 1e-9) return;
        const double n[3] = {-u[2] * u[0], -u[2] * u[1], qa};
        const int y0 = std::max(0, static_cast<int>(std::floor(std::min(a[1], b[1]) - radius)));
        const int y1 = std::min(height_ - 1, static_cast<int>(std::ceil(std::max(a[1], b[1]) + radius)));
        const int x0 = std::max(0, static_cast<int>(std::floor(std::min(a[0], b[0]) - radius)));
        const int x1 = std::min(width_ - 1, static_cast<int>(std::ceil(std::max(a[0], b[0]) + radius)));
        for (int y = y0; y <= y1; ++y) {
            for (int x = x0; x <= x1; ++x) {
                // The ray (x, y, t) meets the cylinder where the part of
                // w + t e_z across the axis is `radius` long.
                const double w[3] = {x + 0.5 - a[0], y + 0.5 - a[1], -a[2]};
                const double wu = w[0] * u[0] + w[1] * u[1] + w[2] * u[2];
                const double qb = w[0] * n[0] + w[1] * n[1] + w[2] * n[2];
                const double qc = w[0] * w[0] + w[1] * w[1] + w[2] * w[2] - wu * wu - radius * radius;
                const double discriminant = qb * qb - qa * qc;
                if (discriminant < 0.0) continue;
                const double t = (-qb + std::sqrt(discriminant)) / qa;  // the nearer crossing
                const double s = wu + t * u[2];
                if (s < 0.0 || s > length) continue;
                const double across = w[2] + t - s * u[2];  // view z of the normal times radius
                write(x, y, static_cast<float>(t), static_cast<float>(std::max(0.0, across / radius)),
                      s < 0.5 * length ? materialA : materialB);
            }
        }
    }

    // Vertices in samples (x right, y down, z towards the viewer) with view
    // normals. Only triangles facing the viewer are drawn: the lobes are
    // closed, so their far sides are hidden anyway.
    void mesh(const std::vector<std::array<float, 3>>& points, const std::vector<std::array<float, 3>>& normals,
              const std::vector<std::array<std::uint32_t, 3>>& triangles, std::uint8_t material) {
        // Fixed point, 1/256 sample: the edge tests are exact integers, so
        // neighbouring triangles share their edges without gaps or overlaps.
        fixed_.resize(points.size());
        usable_.assign(points.size(), true);
        for (std::size_t i = 0; i < points.size(); ++i) {
            const std::array<double, 3> p{points[i][0], points[i][1], points[i][2]};
            usable_[i] = finite(p) && std::fabs(p[0]) < LIMIT && std::fabs(p[1]) < LIMIT;
            if (!usable_[i]) continue;
            fixed_[i] = {static_cast<std::int64_t>(std::floor(p[0] * 256.0 + 0.5)), static_cast<std::int64_t>(std::floor(p[1] * 256.0 + 0.5))};
        }
        for (const auto& t : triangles) {
            bool usable = true;
            for (auto v : t) usable = usable && v < points.size() && usable_[v];
            if (usable) triangle(t, points, normals, material);
        }
    }

    void write(int x, int y, float depth, float facing, std::uint8_t material) {
        const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
        if (depth <= layer_.depth[i]) return;
        if (occluder_ && depth <= occluder_->depth[i]) return;
        layer_.depth[i] = depth;
        layer_.facing[i] = facingStep(facing);
        layer_.material[i] = material;
    }

private:
    // Farther than this from the picture (in samples) is a broken scene, not a view.
    static constexpr double LIMIT = 1 << 20;

    static bool finite(const std::array<double, 3>& p) {
        return std::isfinite(p[0]) && std::isfinite(p[1]) && std::isfinite(p[2]) && std::fabs(p[0]) < LIMIT &&
               std::fabs(p[1]) < LIMIT;
    }

    void triangle(const std::array<std::uint32_t, 3>& t, const std::vector<std::array<float, 3>>& points,
                  const std::vector<std::array<float, 3>>& normals, std::uint8_t material) {
        std::uint32_t v[3] = {t[0], t[1], t[2]};
        const auto edge = [&](std::uint32_t a, std::uint32_t b, std::int64_t px, std::int64_t py) {
            return (fixed_[b][0] - fixed_[a][0]) * (py - fixed_[a][1]) - (fixed_[b][1] - fixed_[a][1]) * (px - fixed_[a][0]);
        };
        // Outward winding is counter-clockwise seen by the viewer, which in
        // y-down samples gives a negative area: those face the viewer.
        const std::int64_t area = edge(v[0], v[1], fixed_[v[2]][0], fixed_[v[2]][1]);
        if (area >= 0) return;
        std::swap(v[1], v[2]);
        const std::int64_t area2 = -area;

        std::int64_t minX = fixed_[v[0]][0], maxX = minX, minY = fixed_[v[0]][1], maxY = minY;
        for (int k = 1; k < 3; ++k) {
            minX = std::min(minX, fixed_[v[k]][0]);
            maxX = std::max(maxX, fixed_[v[k]][0]);
            minY = std::min(minY, fixed_[v[k]][1]);
            maxY = std::max(maxY, fixed_[v[k]][1]);
        }
        // Samples whose centre (x + 1/2, y + 1/2) lies in the bounding box.
        const int x0 = static_cast<int>(std::max<std::int64_t>(0, (minX - 128 + 255) >> 8));
        const int x1 = static_cast<int>(std::min<std::int64_t>(width_ - 1, (maxX - 128) >> 8));
        const int y0 = static_cast<int>(std::max<std::int64_t>(0, (minY - 128 + 255) >> 8));
        const int y1 = static_cast<int>(std::min<std::int64_t>(height_ - 1, (maxY - 128) >> 8));
        if (x0 > x1 || y0 > y1) return;

        // Edge k lies opposite vertex k. A sample exactly on an edge belongs
        // to one of the two triangles sharing it (the edge's direction decides).
        std::int64_t stepX[3], stepY[3], bias[3];
        for (int k = 0; k < 3; ++k) {
            const std::uint32_t a = v[(k + 1) % 3], b = v[(k + 2) % 3];
            const std::int64_t dx = fixed_[b][0] - fixed_[a][0], dy = fixed_[b][1] - fixed_[a][1];
            stepX[k] = -dy * 256;
            stepY[k] = dx * 256;
            bias[k] = (dy > 0 || (dy == 0 && dx < 0)) ? 0 : -1;
        }
        const float inverse = 1.0f / static_cast<float>(area2);
        float z[3], n[3][3];
        for (int k = 0; k < 3; ++k) {
            z[k] = points[v[k]][2];
            for (int c = 0; c < 3; ++c) n[k][c] = normals[v[k]][c];
        }
        const std::int64_t startX = static_cast<std::int64_t>(x0) * 256 + 128, startY = static_cast<std::int64_t>(y0) * 256 + 128;
        std::int64_t row[3];
        for (int k = 0; k < 3; ++k) row[k] = edge(v[(k + 1) % 3], v[(k + 2) % 3], startX, startY);
        for (int y = y0; y <= y1; ++y) {
            std::int64_t e[3] = {row[0], row[1], row[2]};
            for (int x = x0; x <= x1; ++x) {
                if ((e[0] + bias[0]) >= 0 && (e[1] + bias[1]) >= 0 && (e[2] + bias[2]) >= 0) {
                    const float b0 = static_cast<float>(e[0]) * inverse, b1 = static_cast<float>(e[1]) * inverse,
                                b2 = static_cast<float>(e[2]) * inverse;
                    const float depth = b0 * z[0] + b1 * z[1] + b2 * z[2];
                    const std::size_t i = static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x);
                    if (depth > layer_.depth[i] && !(occluder_ && depth <= occluder_->depth[i])) {
                        const float nx = b0 * n[0][0] + b1 * n[1][0] + b2 * n[2][0];
                        const float ny = b0 * n[0][1] + b1 * n[1][1] + b2 * n[2][1];
                        const float nz = b0 * n[0][2] + b1 * n[1][2] + b2 * n[2][2];
                        const float length2 = nx * nx + ny * ny + nz * nz;
                        layer_.depth[i] = depth;
                        layer_.facing[i] = nz > 0.0f ? facingStep(nz / std::sqrt(length2)) : 0;
                        layer_.material[i] = material;
                    }
                }
                for (int k = 0; k < 3; ++k) e[k] += stepX[k];
            }
            for (int k = 0; k < 3; ++k) row[k] += stepY[k];
        }
    }

    Layer& layer_;
    const Layer* occluder_;
    int width_, height_;
    std::vector<std::array<std::int64_t, 2>> fixed_;
    std::vector<bool> usable_;
};

void drawMesh(Rasteriser& rasteriser, const Mesh& mesh, const Projection& projection, std::uint8_t material) {
    std::vector<std::array<float, 3>> points(mesh.positions.size()), normals(mesh.normals.size());
    for (std::size_t i = 0; i < mesh.positions.size(); ++i) {
        const auto& p = mesh.positions[i];
        const auto s = projection({p[0], p[1], p[2]});
        points[i] = {static_cast<float>(s[0]), static_cast<float>(s[1]), static_cast<float>(s[2])};
    }
    for (std::size_t i = 0; i < mesh.normals.size(); ++i) {
        const auto& n = mesh.normals[i];
        for (std::size_t r = 0; r < 3; ++r) {
            normals[i][r] = static_cast<float>(projection.rotation[r][0] * n[0] + projection.rotation[r][1] * n[1] +
                                               projection.rotation[r][2] * n[2]);
        }
        normals[i][1] = -normals[i][1];  // samples run down
    }
    if (normals.size() != points.size()) return;
    rasteriser.mesh(points, normals, mesh.triangles, material);
}

std::uint8_t elementMaterial(int atomicNumber) {
    return static_cast<std::uint8_t>(ELEMENT_BASE + std::clamp(atomicNumber, 0, MAX_ELEMENT));
}

struct Palette {
    std::array<std::array<float, 3>, ELEMENT_BASE + MAX_ELEMENT + 1> colour{};
    std::array<float, ELEMENT_BASE + MAX_ELEMENT + 1> specular{};
};

Palette paletteFor(const RenderOptions& options) {
    Palette palette;
    for (std::size_t c = 0; c < 3; ++c) palette.colour[BACKGROUND][c] = options.background[c] / 255.0f;
    palette.colour[POSITIVE] = POSITIVE_COLOUR;
    palette.colour[NEGATIVE] = NEGATIVE_COLOUR;
    palette.specular[POSITIVE] = palette.specular[NEGATIVE] = LOBE_SPECULAR;
    for (int z = 0; z <= MAX_ELEMENT; ++z) {
        palette.colour[static_cast<std::size_t>(ELEMENT_BASE + z)] = elementColour(z);
        palette.specular[static_cast<std::size_t>(ELEMENT_BASE + z)] = ATOM_SPECULAR;
    }
    return palette;
}

// Lambert from the headlight plus a Phong highlight (exponent 32, by
// squaring: no libm on the per-sample path).
std::array<float, 3> shade(const Palette& palette, std::uint8_t material, float facing) {
    if (material == BACKGROUND) return palette.colour[BACKGROUND];
    float highlight = facing * facing;  // ^2
    highlight *= highlight;             // ^4
    highlight *= highlight;             // ^8
    highlight *= highlight;             // ^16
    highlight *= highlight;             // ^32
    const float light = AMBIENT + DIFFUSE * facing;
    const float shine = palette.specular[material] * highlight;
    std::array<float, 3> rgb{};
    for (std::size_t c = 0; c < 3; ++c) rgb[c] = std::min(1.0f, palette.colour[material][c] * light + shine);
    return rgb;
}

std::uint8_t toByte(float value) { return static_cast<std::uint8_t>(std::clamp(value, 0.0f, 1.0f) * 255.0f + 0.5f); }

}  // namespace

Image render(const Scene& scene, const Camera& camera, const RenderOptions& options) {
    Image image;
    if (options.width <= 0 || options.height <= 0 || !(camera.viewHeight > 0.0)) return image;
    const int ss = std::clamp(options.supersample, 1, 8);
    const int width = options.width * ss, height = options.height * ss;
    const std::size_t samples = static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    const Projection projection = projectionFor(camera, width, height);

    Layer solid;
    solid.clear(samples);
    Rasteriser atoms(solid, nullptr, width, height);
    const auto& molecule = scene.molecule;
    std::vector<std::array<double, 3>> centres;
    for (const auto& atom : molecule.atoms) {
        centres.push_back(projection(atom.position));
        atoms.sphere(centres.back(), elementRadius(atom.atomicNumber) * projection.scale, elementMaterial(atom.atomicNumber));
    }
    for (const auto& bond : scene.bonds) {
        if (bond.first < 0 || bond.second < 0 || static_cast<std::size_t>(bond.first) >= centres.size() ||
            static_cast<std::size_t>(bond.second) >= centres.size()) {
            continue;
        }
        atoms.cylinder(centres[static_cast<std::size_t>(bond.first)], centres[static_cast<std::size_t>(bond.second)],
                       BOND_RADIUS * projection.scale, elementMaterial(molecule.atoms[static_cast<std::size_t>(bond.first)].atomicNumber),
                       elementMaterial(molecule.atoms[static_cast<std::size_t>(bond.second)].atomicNumber));
    }

    Layer glass;  // the nearest lobe surface in front of the atoms, when translucent
    if (options.translucent) glass.clear(samples);
    Rasteriser lobes(options.translucent ? glass : solid, options.translucent ? &solid : nullptr, width, height);
    drawMesh(lobes, scene.positive, projection, POSITIVE);
    drawMesh(lobes, scene.negative, projection, NEGATIVE);

    // Each material's shades once (those in the picture), then every
    // pixel the mean of its samples.
    const Palette palette = paletteFor(options);
    std::vector<std::array<std::uint8_t, 3>> shades(palette.colour.size() * (FACING_STEPS + 1));
    std::vector<bool> used(palette.colour.size(), false);
    const auto markUsed = [&](const Layer& layer) {
        for (std::uint8_t m : layer.material) used[m] = true;
    };
    markUsed(solid);
    if (options.translucent) markUsed(glass);
    for (std::size_t m = 0; m < used.size(); ++m) {
        if (!used[m]) continue;
        for (int f = 0; f <= FACING_STEPS; ++f) {
            const auto rgb = shade(palette, static_cast<std::uint8_t>(m), static_cast<float>(f) / FACING_STEPS);
            for (std::size_t c = 0; c < 3; ++c) shades[m * (FACING_STEPS + 1) + static_cast<std::size_t>(f)][c] = toByte(rgb[c]);
        }
    }
    const auto shaded = [&](const Layer& layer, std::size_t i) -> const std::array<std::uint8_t, 3>& {
        return shades[static_cast<std::size_t>(layer.material[i]) * (FACING_STEPS + 1) + layer.facing[i]];
    };

    image.width = options.width;
    image.height = options.height;
    image.rgb.resize(static_cast<std::size_t>(options.width) * static_cast<std::size_t>(options.height) * 3);
    const unsigned count = static_cast<unsigned>(ss * ss);
    for (int y = 0; y < options.height; ++y) {
        for (int x = 0; x < options.width; ++x) {
            unsigned sum[3] = {0, 0, 0};
            for (int sy = 0; sy < ss; ++sy) {
                const std::size_t base = static_cast<std::size_t>(y * ss + sy) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x * ss);
                for (std::size_t i = base; i < base + static_cast<std::size_t>(ss); ++i) {
                    const auto& under = shaded(solid, i);
                    if (options.translucent && glass.material[i] != BACKGROUND) {
                        const float facing = static_cast<float>(glass.facing[i]) / FACING_STEPS;
                        const float alpha = FACE_ON_ALPHA + (EDGE_ON_ALPHA - FACE_ON_ALPHA) * (1.0f - facing);
                        const auto& front = shaded(glass, i);
                        for (std::size_t c = 0; c < 3; ++c) {
                            sum[c] += toByte((alpha * front[c] + (1.0f - alpha) * under[c]) / 255.0f);
                        }
                    } else {
                        for (std::size_t c = 0; c < 3; ++c) sum[c] += under[c];
                    }
                }
            }
            std::uint8_t* out = &image.rgb[(static_cast<std::size_t>(y) * static_cast<std::size_t>(options.width) + static_cast<std::size_t>(x)) * 3];
            for (std::size_t c = 0; c < 3; ++c) out[c] = static_cast<std::uint8_t>((sum[c] + count / 2) / count);
        }
    }
    return image;
}

}  // namespace picture
