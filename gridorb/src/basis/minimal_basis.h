#pragma once

#include <array>
#include <cstdint>

// The STO-3G expansion of the Slater orbitals: shells, weights and per-atom
// normalisation.
namespace gridorb::basis {

enum class Shell { OneS, TwoSP, ThreeSP, None };

Shell shellOf(std::int32_t atomicNumber);
// Functions counted for the basis count: 1 for Z <= 2, else 4 (Z > 18 too).
std::int32_t countedFunctions(std::int32_t atomicNumber);

// Index of a shell in the tables below: 0 for 1s, 1 for 2sp, 2 for 3sp.
int shellIndex(Shell shell);

inline constexpr float S_NORMALISATION = 0.7127055f;
inline constexpr float P_NORMALISATION = 1.425411f;

struct BasisWeights {
    std::array<std::array<float, 3>, 3> s{};  // alpha^0.75 * ds
    std::array<std::array<float, 3>, 2> p{};  // alpha^1.25 * dp
};
BasisWeights prepareBasisWeights();

struct AtomNormalisation {
    float s = 0.0f;  // Ns = zs * sqrt(zs) * 0.7127055
    float p = 0.0f;  // Np = zp^2 * sqrt(zp) * 1.425411
};
AtomNormalisation atomNormalisation(float zetaS, float zetaP);

// es(k) = -alpha(shell, k) * zeta^2, zeta^2 stored in float first.
std::array<float, 3> scaledExponents(Shell shell, float zeta);

}  // namespace gridorb::basis
