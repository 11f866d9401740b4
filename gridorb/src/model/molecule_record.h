#pragma once

#include <array>
#include <cstdint>

#include "model/capacities.h"

namespace gridorb {

// The molecule as read from FOR013, completed in single precision.
// Coordinates are Å as read; layOutGridFrame converts them to Bohr in place.
struct MoleculeRecord {
    std::int32_t atomCount = 0;
    std::int32_t orbitalCount = 0;
    std::int32_t electronCount = 0;  // read and kept for callers; the run does not use it
    // coordinates[atom][axis] with axis 0..2 = x, y, z: the axis index runs
    // fastest, as in the file's 3 x 50 layout.
    std::array<std::array<float, 3>, MAX_ATOMS> coordinates{};
    std::array<std::int32_t, MAX_ATOMS> atomicNumbers{};
    std::array<float, MAX_ATOMS> sExponents{};
    std::array<float, MAX_ATOMS> pExponents{};
};

// The double-precision data of FOR013 before narrowing: coordinates in Å,
// the two exponents, and the two square matrices of order orbitalCount in
// file order (column-major, leading dimension orbitalCount, not 200).
struct RawWavefunction {
    std::array<std::array<double, 3>, MAX_ATOMS> coordinates{};
    std::array<double, MAX_ATOMS> sExponents{};
    std::array<double, MAX_ATOMS> pExponents{};
    std::array<double, MAX_ORBITALS * MAX_ORBITALS> orbitalVectors{};  // A
    std::array<double, MAX_ORBITALS * MAX_ORBITALS> basisTransform{};  // B
};

}  // namespace gridorb
