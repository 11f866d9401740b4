#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>

// Record 2 of FOR013 as the calculation writes it: per atom the numbers of
// its last and its first basis function, in that order. gridorb numbers the
// basis itself (1 function for Z <= 2, 4 for heavier atoms); where the file
// numbers it otherwise, as for atoms that carry d functions, every atom
// after the first such one would take the wrong coefficients.
namespace gridorb::wavefunction {

// The first atom whose range in the file does not hold gridorb's count.
struct BasisRangeMismatch {
    std::int32_t atom = 0;  // from 1
    std::int32_t atomicNumber = 0;
    std::int32_t functions = 0;  // in the file's range
};

// Nothing when the words are not the ranges of a real file (the first atom
// starts at 1, each atom where the one before ends, the last ends at the
// orbital count, none is empty) or when every range holds gridorb's count.
// `words` holds two per atom.
std::optional<BasisRangeMismatch> findBasisRangeMismatch(std::span<const std::int32_t> words,
                                                         std::span<const std::int32_t> atomicNumbers,
                                                         std::int32_t orbitalCount);

// "FOR013: atom 2 (Z = 16) has 9 basis functions (s, p and d); gridorb
// evaluates s and p functions only"
std::string describeBasisRangeMismatch(const BasisRangeMismatch& mismatch);

}  // namespace gridorb::wavefunction
