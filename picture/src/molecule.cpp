#include "picture/molecule.h"

#include <cmath>
#include <cstddef>

namespace picture {
namespace {

constexpr double BOND_TOLERANCE = 0.45;  // Å beyond the sum of covalent radii

// Covalent radii in Å, hydrogen to xenon.
constexpr double COVALENT[] = {
    0.31, 0.28,                                                              // H He
    1.28, 0.96, 0.84, 0.76, 0.71, 0.66, 0.57, 0.58,                          // Li .. Ne
    1.66, 1.41, 1.21, 1.11, 1.07, 1.05, 1.02, 1.06,                          // Na .. Ar
    2.03, 1.76, 1.70, 1.60, 1.53, 1.39, 1.39, 1.32, 1.26, 1.24, 1.32, 1.22,  // K .. Zn
    1.22, 1.20, 1.19, 1.20, 1.20, 1.16,                                      // Ga .. Kr
    2.20, 1.95, 1.90, 1.75, 1.64, 1.54, 1.47, 1.46, 1.42, 1.39, 1.45, 1.44,  // Rb .. Cd
    1.42, 1.39, 1.39, 1.38, 1.39, 1.40};                                     // In .. Xe

// Van der Waals radii in Å for the light elements; the balls are a quarter
// of them, so that bonds show between them.
constexpr double VAN_DER_WAALS[] = {
    1.20, 1.40,                                      // H He
    1.82, 1.53, 1.92, 1.70, 1.55, 1.52, 1.47, 1.54,  // Li .. Ne
    2.27, 1.73, 1.84, 2.10, 1.80, 1.80, 1.75, 1.88}; // Na .. Ar

struct Colour {
    int atomicNumber;
    std::array<float, 3> rgb;
};

// The colours chemists know from ball-and-stick models.
constexpr Colour COLOURS[] = {
    {1, {1.00f, 1.00f, 1.00f}},  {2, {0.85f, 1.00f, 1.00f}},  {3, {0.80f, 0.50f, 1.00f}},
    {4, {0.76f, 1.00f, 0.00f}},  {5, {1.00f, 0.71f, 0.71f}},  {6, {0.56f, 0.56f, 0.56f}},
    {7, {0.19f, 0.31f, 0.97f}},  {8, {1.00f, 0.05f, 0.05f}},  {9, {0.56f, 0.88f, 0.31f}},
    {10, {0.70f, 0.89f, 0.96f}}, {11, {0.67f, 0.36f, 0.95f}}, {12, {0.54f, 1.00f, 0.00f}},
    {13, {0.75f, 0.65f, 0.65f}}, {14, {0.94f, 0.78f, 0.63f}}, {15, {1.00f, 0.50f, 0.00f}},
    {16, {1.00f, 1.00f, 0.19f}}, {17, {0.12f, 0.94f, 0.12f}}, {18, {0.50f, 0.82f, 0.89f}},
    {19, {0.56f, 0.25f, 0.83f}}, {20, {0.24f, 1.00f, 0.00f}}, {26, {0.88f, 0.40f, 0.20f}},
    {29, {0.78f, 0.50f, 0.20f}}, {30, {0.49f, 0.50f, 0.69f}}, {35, {0.65f, 0.16f, 0.16f}},
    {53, {0.58f, 0.00f, 0.58f}}};

constexpr std::array<float, 3> OTHER_COLOUR{1.00f, 0.08f, 0.58f};  // deep pink: an element without a colour of its own

}  // namespace

double covalentRadius(int atomicNumber) {
    constexpr int known = static_cast<int>(sizeof COVALENT / sizeof COVALENT[0]);
    if (atomicNumber >= 1 && atomicNumber <= known) return COVALENT[atomicNumber - 1];
    return 1.50;
}

double elementRadius(int atomicNumber) {
    constexpr int known = static_cast<int>(sizeof VAN_DER_WAALS / sizeof VAN_DER_WAALS[0]);
    if (atomicNumber >= 1 && atomicNumber <= known) return 0.25 * VAN_DER_WAALS[atomicNumber - 1];
    return 0.50;
}

std::array<float, 3> elementColour(int atomicNumber) {
    for (const auto& colour : COLOURS) {
        if (colour.atomicNumber == atomicNumber) return colour.rgb;
    }
    return OTHER_COLOUR;
}

std::vector<Bond> findBonds(const Molecule& molecule) {
    std::vector<Bond> bonds;
    const auto& atoms = molecule.atoms;
    for (std::size_t a = 0; a < atoms.size(); ++a) {
        for (std::size_t b = a + 1; b < atoms.size(); ++b) {
            double d2 = 0.0;
            for (int k = 0; k < 3; ++k) {
                const double d = atoms[a].position[static_cast<std::size_t>(k)] - atoms[b].position[static_cast<std::size_t>(k)];
                d2 += d * d;
            }
            const double reach = covalentRadius(atoms[a].atomicNumber) + covalentRadius(atoms[b].atomicNumber) + BOND_TOLERANCE;
            // Atoms on top of each other are a damaged input, not a bond.
            if (d2 > 0.01 && d2 < reach * reach) bonds.push_back({static_cast<int>(a), static_cast<int>(b)});
        }
    }
    return bonds;
}

}  // namespace picture
