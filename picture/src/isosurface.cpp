#include "picture/isosurface.h"

#include <cmath>
#include <cstddef>

namespace picture {
namespace {

// Cube corners are numbered by their offsets: bit 0 x, bit 1 y, bit 2 z.
// Edge e runs along axis e / 4 from corner EDGE_LOWER[e] to the corner one
// step further along that axis.
constexpr int EDGE_LOWER[12] = {0, 2, 4, 6, 0, 1, 4, 5, 0, 1, 2, 3};

constexpr int edgeBetween(int a, int b) {
    const int lower = a < b ? a : b;
    const int axis = (a ^ b) == 1 ? 0 : (a ^ b) == 2 ? 1 : 2;
    for (int k = 0; k < 4; ++k) {
        if (EDGE_LOWER[axis * 4 + k] == lower) return axis * 4 + k;
    }
    return -1;
}

// The six faces, corners counter-clockwise as seen from outside the cube.
constexpr int FACE_CORNERS[6][4] = {{0, 2, 3, 1}, {4, 5, 7, 6}, {0, 1, 5, 4},
                                    {3, 2, 6, 7}, {2, 0, 4, 6}, {1, 3, 7, 5}};

struct FaceEdges {
    int edges[6][4];
    constexpr FaceEdges() : edges{} {
        for (int f = 0; f < 6; ++f) {
            for (int j = 0; j < 4; ++j) edges[f][j] = edgeBetween(FACE_CORNERS[f][j], FACE_CORNERS[f][(j + 1) % 4]);
        }
    }
};
constexpr FaceEdges FACE_EDGES;

// The field with the lobe's sign made positive and a layer of zeros around
// it, so that every lobe is closed and every cube has all eight corners.
struct PaddedField {
    int nx, ny, nz;
    std::vector<float> values;
    float at(int i, int j, int k) const {
        return values[static_cast<std::size_t>(i) + static_cast<std::size_t>(nx) * (static_cast<std::size_t>(j) + static_cast<std::size_t>(ny) * static_cast<std::size_t>(k))];
    }
};

PaddedField padField(const Volume& volume, float sign) {
    PaddedField field{volume.dimensions[0] + 2, volume.dimensions[1] + 2, volume.dimensions[2] + 2, {}};
    field.values.assign(static_cast<std::size_t>(field.nx) * static_cast<std::size_t>(field.ny) * static_cast<std::size_t>(field.nz), 0.0f);
    for (int k = 0; k < volume.dimensions[2]; ++k) {
        for (int j = 0; j < volume.dimensions[1]; ++j) {
            const float* source = &volume.values[volume.index(0, j, k)];
            float* target = &field.values[1 + static_cast<std::size_t>(field.nx) * (static_cast<std::size_t>(j + 1) + static_cast<std::size_t>(field.ny) * static_cast<std::size_t>(k + 1))];
            for (int i = 0; i < volume.dimensions[0]; ++i) target[i] = sign * source[i];
        }
    }
    return field;
}

class Extractor {
public:
    Extractor(const Volume& volume, float level)
        : volume_(volume),
          sign_(level < 0.0f ? -1.0f : 1.0f),
          level_(static_cast<double>(level < 0.0f ? -level : level)),
          field_(padField(volume, sign_)) {}

    Mesh run() {
        const int mx = field_.nx, my = field_.ny, mz = field_.nz;
        const std::size_t slab = static_cast<std::size_t>(mx) * static_cast<std::size_t>(my);
        planeCache_[0].assign(slab * 2, -1);
        planeCache_[1].assign(slab * 2, -1);
        zCache_.assign(slab, -1);
        for (int k = 0; k + 1 < mz; ++k) {
            if (k > 0) {
                planeCache_[0].swap(planeCache_[1]);
                planeCache_[1].assign(slab * 2, -1);
                zCache_.assign(slab, -1);
            }
            for (int j = 0; j + 1 < my; ++j) {
                for (int i = 0; i + 1 < mx; ++i) cube(i, j, k);
            }
        }
        repairZeroNormals();
        return std::move(mesh_);
    }

private:
    void cube(int i, int j, int k) {
        float f[8];
        unsigned inside = 0;
        for (int c = 0; c < 8; ++c) {
            f[c] = field_.at(i + (c & 1), j + ((c >> 1) & 1), k + ((c >> 2) & 1));
            if (static_cast<double>(f[c]) > level_) inside |= 1u << c;
        }
        if (inside == 0 || inside == 0xff) return;

        // Each face contributes segments from an edge where the surface
        // leaves the face's inside to the edge where it comes back; linked
        // over the six faces they close into the cube's polygons.
        int next[12];
        for (int& n : next) n = -1;
        for (int face = 0; face < 6; ++face) {
            const int* q = FACE_CORNERS[face];
            const int* edges = FACE_EDGES.edges[face];
            bool in[4];
            for (int c = 0; c < 4; ++c) in[c] = (inside >> q[c]) & 1u;
            int crossings = 0;
            for (int c = 0; c < 4; ++c) crossings += in[c] != in[(c + 1) % 4];
            if (crossings == 0) continue;
            if (crossings == 2) {
                int leave = -1, enter = -1;
                for (int c = 0; c < 4; ++c) {
                    if (in[c] && !in[(c + 1) % 4]) leave = edges[c];
                    if (!in[c] && in[(c + 1) % 4]) enter = edges[c];
                }
                next[leave] = enter;
                continue;
            }
            // Two diagonal corners inside: joined through the face's centre
            // when the mean of its corners is beyond the level. The sum of
            // four floats is exact in double, so the order of the corners
            // (and a mirrored grid) cannot change the decision.
            const double sum = static_cast<double>(f[q[0]]) + static_cast<double>(f[q[1]]) +
                               static_cast<double>(f[q[2]]) + static_cast<double>(f[q[3]]);
            const bool joined = sum > 4.0 * level_;
            for (int c = 0; c < 4; ++c) {
                if (in[c] && !in[(c + 1) % 4]) next[edges[c]] = joined ? edges[(c + 1) % 4] : edges[(c + 3) % 4];
            }
        }

        bool used[12] = {};
        for (int start = 0; start < 12; ++start) {
            if (next[start] < 0 || used[start]) continue;
            std::uint32_t loop[12];
            int size = 0;
            for (int e = start; e >= 0 && !used[e]; e = next[e]) {
                used[e] = true;
                loop[size++] = vertex(i, j, k, e);
            }
            // The loop turns with the lobe on its left seen from outside the
            // cube, i.e. clockwise seen from outside the lobe: the fan is
            // wound the other way so that triangles face out.
            for (int t = 1; t + 1 < size; ++t) mesh_.triangles.push_back({loop[0], loop[t + 1], loop[t]});
        }
    }

    std::uint32_t vertex(int i, int j, int k, int edge) {
        const int axis = edge / 4;
        const int lower = EDGE_LOWER[edge];
        const int gi = i + (lower & 1), gj = j + ((lower >> 1) & 1), gk = k + ((lower >> 2) & 1);
        const std::size_t column = static_cast<std::size_t>(gi) + static_cast<std::size_t>(field_.nx) * static_cast<std::size_t>(gj);
        std::int32_t& cached = axis == 2 ? zCache_[column] : planeCache_[gk - k][column * 2 + static_cast<std::size_t>(axis)];
        if (cached >= 0) return static_cast<std::uint32_t>(cached);

        const int step[3] = {axis == 0, axis == 1, axis == 2};
        const double fa = field_.at(gi, gj, gk);
        const double fb = field_.at(gi + step[0], gj + step[1], gk + step[2]);
        const double t = (level_ - fa) / (fb - fa);
        const int grid[3] = {gi - 1, gj - 1, gk - 1};  // in the unpadded volume
        std::array<float, 3> position{};
        for (int a = 0; a < 3; ++a) {
            const double along = a == axis ? static_cast<double>(grid[a]) + t : static_cast<double>(grid[a]);
            position[static_cast<std::size_t>(a)] = static_cast<float>(volume_.origin[static_cast<std::size_t>(a)] + along * volume_.spacing[static_cast<std::size_t>(a)]);
        }
        const auto ga = gradient(gi, gj, gk);
        const auto gb = gradient(gi + step[0], gj + step[1], gk + step[2]);
        double n[3], length2 = 0.0;
        for (int a = 0; a < 3; ++a) {
            n[a] = -(ga[static_cast<std::size_t>(a)] + t * (gb[static_cast<std::size_t>(a)] - ga[static_cast<std::size_t>(a)]));
            length2 += n[a] * n[a];
        }
        const double length = std::sqrt(length2);
        std::array<float, 3> normal{};
        if (length > 0.0) {
            for (int a = 0; a < 3; ++a) normal[static_cast<std::size_t>(a)] = static_cast<float>(n[a] / length);
        }
        cached = static_cast<std::int32_t>(mesh_.positions.size());
        mesh_.positions.push_back(position);
        mesh_.normals.push_back(normal);
        return static_cast<std::uint32_t>(cached);
    }

    // Central differences, one-sided at the rim of the padded field; the
    // field grows into the lobe, so the outward normal is minus this.
    std::array<double, 3> gradient(int i, int j, int k) const {
        const int index[3] = {i, j, k};
        const int size[3] = {field_.nx, field_.ny, field_.nz};
        std::array<double, 3> g{};
        for (int a = 0; a < 3; ++a) {
            int lo[3] = {i, j, k}, hi[3] = {i, j, k};
            if (index[a] > 0) --lo[a];
            if (index[a] + 1 < size[a]) ++hi[a];
            const double run = static_cast<double>(hi[a] - lo[a]) * volume_.spacing[static_cast<std::size_t>(a)];
            g[static_cast<std::size_t>(a)] =
                (static_cast<double>(field_.at(hi[0], hi[1], hi[2])) - static_cast<double>(field_.at(lo[0], lo[1], lo[2]))) / run;
        }
        return g;
    }

    // A flat field gives no gradient; such vertices take the mean facing of
    // their triangles.
    void repairZeroNormals() {
        std::vector<std::array<double, 3>> sum;
        for (const auto& tri : mesh_.triangles) {
            bool needed = false;
            for (auto v : tri) needed = needed || (mesh_.normals[v][0] == 0.0f && mesh_.normals[v][1] == 0.0f && mesh_.normals[v][2] == 0.0f);
            if (!needed) continue;
            if (sum.empty()) sum.assign(mesh_.positions.size(), {0.0, 0.0, 0.0});
            const auto& p0 = mesh_.positions[tri[0]];
            const auto& p1 = mesh_.positions[tri[1]];
            const auto& p2 = mesh_.positions[tri[2]];
            const double u[3] = {double(p1[0]) - p0[0], double(p1[1]) - p0[1], double(p1[2]) - p0[2]};
            const double w[3] = {double(p2[0]) - p0[0], double(p2[1]) - p0[1], double(p2[2]) - p0[2]};
            const std::array<double, 3> c{u[1] * w[2] - u[2] * w[1], u[2] * w[0] - u[0] * w[2], u[0] * w[1] - u[1] * w[0]};
            for (auto v : tri) {
                for (int a = 0; a < 3; ++a) sum[v][static_cast<std::size_t>(a)] += c[static_cast<std::size_t>(a)];
            }
        }
        if (sum.empty()) return;
        for (std::size_t v = 0; v < mesh_.normals.size(); ++v) {
            auto& n = mesh_.normals[v];
            if (n[0] != 0.0f || n[1] != 0.0f || n[2] != 0.0f) continue;
            const double length = std::sqrt(sum[v][0] * sum[v][0] + sum[v][1] * sum[v][1] + sum[v][2] * sum[v][2]);
            if (length > 0.0) {
                for (int a = 0; a < 3; ++a) n[static_cast<std::size_t>(a)] = static_cast<float>(sum[v][static_cast<std::size_t>(a)] / length);
            }
        }
    }

    const Volume& volume_;
    float sign_;
    double level_;
    PaddedField field_;
    Mesh mesh_;
    std::vector<std::int32_t> planeCache_[2];  // x and y edges from the cube layer's lower and upper plane
    std::vector<std::int32_t> zCache_;         // z edges from the lower plane
};

}  // namespace

Mesh extractIsosurface(const Volume& volume, float level) {
    for (int d : volume.dimensions) {
        if (d < 1) return {};
    }
    if (volume.values.size() != static_cast<std::size_t>(volume.dimensions[0]) * static_cast<std::size_t>(volume.dimensions[1]) *
                                    static_cast<std::size_t>(volume.dimensions[2])) {
        return {};
    }
    return Extractor(volume, level).run();
}

float defaultLevel(double peak) {
    if (peak <= 0.0) return 64.0f;
    return static_cast<float>(0.05 > peak / 2.0 ? peak / 4.0 : 0.05);
}

}  // namespace picture
