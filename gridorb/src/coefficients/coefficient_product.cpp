#include "coefficients/coefficient_product.h"

#include <algorithm>
#include <array>
#include <cstddef>

namespace gridorb::coefficients {
void multiplyColumn(const double* a, const double* b, double* p, std::int32_t n, std::int32_t i) {
    if (n <= 0 || i < 1 || i > n) return;
    const std::size_t order = static_cast<std::size_t>(n);
    const double* aColumn = a + static_cast<std::size_t>(i - 1) * order;
    // Each p(j) is its own chain a(1)b(j,1) + a(2)b(j,2) + ... with k
    // ascending; sweeping j innermost keeps every chain's order (and so its
    // bits) and lets the rows run side by side.
    const double a1 = aColumn[0];
    for (std::size_t j = 0; j < order; ++j) p[j] = a1 * b[j];
    for (std::size_t k = 1; k < order; ++k) {
        const double ak = aColumn[k];
        const double* bColumn = b + k * order;
        for (std::size_t j = 0; j < order; ++j) p[j] = p[j] + ak * bColumn[j];
    }
}

void buildCoefficientColumn(const RawWavefunction& raw, std::int32_t orbitalCount, std::int32_t orbitalNumber,
                            CoefficientMatrix& coefficients) {
    // Orders beyond the capacity would overrun the fixed matrices; the reader
    // rejects them, and the product never reads or writes past the capacity.
    const std::int32_t n = std::min(orbitalCount, MAX_ORBITALS);
    if (n <= 0 || orbitalNumber < 1 || orbitalNumber > n) return;
    std::array<double, MAX_ORBITALS> column;
    multiplyColumn(raw.orbitalVectors.data(), raw.basisTransform.data(), column.data(), n, orbitalNumber);
    for (std::int32_t j = 1; j <= n; ++j) coefficients.at(j, orbitalNumber) = static_cast<float>(column[j - 1]);
}

}  // namespace gridorb::coefficients
