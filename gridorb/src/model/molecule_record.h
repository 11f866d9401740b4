#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>

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

// A matrix as FOR013 holds it: little-endian doubles at any alignment,
// read where they lie.
struct MatrixImage {
    const unsigned char* bytes = nullptr;

    double operator[](std::size_t k) const {
        unsigned char image[sizeof(double)];
        std::memcpy(image, bytes + k * sizeof(double), sizeof image);
        if constexpr (std::endian::native == std::endian::big) {
            for (std::size_t a = 0, b = sizeof image - 1; a < b; ++a, --b) std::swap(image[a], image[b]);
        }
        return std::bit_cast<double>(image);
    }
};

// The double-precision data of FOR013 before narrowing: coordinates in Å,
// the two exponents, and the two square matrices of order orbitalCount in
// file order (column-major, leading dimension orbitalCount, not 200). The
// matrices lie in the mapped file, valid while unit 13 stays connected, or,
// where the file could not be mapped (a pipe), in `copies`, where they are
// until a read.
struct RawWavefunction {
    std::array<std::array<double, 3>, MAX_ATOMS> coordinates{};
    std::array<double, MAX_ATOMS> sExponents{};
    std::array<double, MAX_ATOMS> pExponents{};
    std::array<std::array<double, MAX_ORBITALS * MAX_ORBITALS>, 2> copies{};
    MatrixImage orbitalVectors{reinterpret_cast<const unsigned char*>(copies[0].data())};  // A
    MatrixImage basisTransform{reinterpret_cast<const unsigned char*>(copies[1].data())};  // B

    RawWavefunction() = default;
    RawWavefunction(const RawWavefunction&) = delete;  // the images may point into it
    RawWavefunction& operator=(const RawWavefunction&) = delete;
};

}  // namespace gridorb
