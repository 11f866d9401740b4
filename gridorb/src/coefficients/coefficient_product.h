#pragma once

#include <cstdint>

#include "model/coefficient_matrix.h"
#include "model/molecule_record.h"

namespace gridorb::coefficients {

// p = b * a for n x n column-major matrices (leading dimension n):
// p(j,i) = a(1,i)*b(j,1), then + a(k,i)*b(j,k) for k = 2..n ascending, every
// partial sum a double. Writes nothing for n <= 0.
void multiplySquare(const double* a, const double* b, double* p, std::int32_t n);

// Column i of the same product only, into p[0..n): bit-identical to column i
// of multiplySquare. i is 1-based.
void multiplyColumn(const double* a, const double* b, double* p, std::int32_t n, std::int32_t i);

// C = B * A narrowed to float into the leading n x n block of the matrix.
void buildCoefficientMatrix(const RawWavefunction& raw, std::int32_t orbitalCount, CoefficientMatrix& coefficients);

// Only column `orbitalNumber` of C, the others left as they are (0).
void buildCoefficientColumn(const RawWavefunction& raw, std::int32_t orbitalCount, std::int32_t orbitalNumber,
                            CoefficientMatrix& coefficients);

}  // namespace gridorb::coefficients
