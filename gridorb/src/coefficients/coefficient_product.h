#pragma once

#include <cstdint>

#include "model/coefficient_matrix.h"
#include "model/molecule_record.h"

namespace gridorb::coefficients {

// Column i (1-based) of p = b * a for n x n column-major matrices (leading
// dimension n), into p[0..n): p(j) = a(1,i)*b(j,1), then + a(k,i)*b(j,k) for
// k = 2..n ascending, every partial sum a double. Writes nothing for n <= 0
// or i outside 1..n.
void multiplyColumn(const double* a, const double* b, double* p, std::int32_t n, std::int32_t i);

// Column `orbitalNumber` of the coefficients C = B * A, narrowed to float;
// the other columns are left as they are (0). A run uses no other column.
void buildCoefficientColumn(const RawWavefunction& raw, std::int32_t orbitalCount, std::int32_t orbitalNumber,
                            CoefficientMatrix& coefficients);

}  // namespace gridorb::coefficients
