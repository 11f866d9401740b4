#pragma once

#include <array>

#include "model/capacities.h"

namespace gridorb {

// Orbital coefficients over the minimal basis, single precision, column-major
// with leading dimension MAX_ORBITALS: element (mu, m), both 1-based, is the
// coefficient of basis function mu in orbital m. Only the leading
// orbitalCount x orbitalCount block is ever written; the rest stays 0.
struct CoefficientMatrix {
    std::array<float, MAX_ORBITALS * MAX_ORBITALS> values{};

    float at(int mu, int m) const { return values[(m - 1) * MAX_ORBITALS + (mu - 1)]; }
    float& at(int mu, int m) { return values[(m - 1) * MAX_ORBITALS + (mu - 1)]; }
};

}  // namespace gridorb
