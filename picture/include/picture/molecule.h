#pragma once

#include <array>
#include <vector>

// Atoms and the bonds drawn between them, in Å.
namespace picture {

struct Atom {
    int atomicNumber = 0;
    std::array<double, 3> position{};  // Å
};

struct Bond {
    int first = 0;   // indices into Molecule::atoms, first < second
    int second = 0;
};

struct Molecule {
    std::vector<Atom> atoms;
};

// Bonds wherever two atoms are closer than the sum of their covalent radii
// plus a tolerance.
std::vector<Bond> findBonds(const Molecule& molecule);

// Conventional element colour (sRGB, 0..1) and drawing radius in Å.
std::array<float, 3> elementColour(int atomicNumber);
double elementRadius(int atomicNumber);
double covalentRadius(int atomicNumber);

}  // namespace picture
