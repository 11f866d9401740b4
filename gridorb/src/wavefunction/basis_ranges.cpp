#include "wavefunction/basis_ranges.h"

#include "basis/minimal_basis.h"

namespace gridorb::wavefunction {

std::optional<BasisRangeMismatch> findBasisRangeMismatch(std::span<const std::int32_t> words,
                                                         std::span<const std::int32_t> atomicNumbers,
                                                         std::int32_t orbitalCount) {
    const std::size_t atoms = atomicNumbers.size();
    if (atoms == 0 || words.size() != 2 * atoms) return std::nullopt;
    // 64 bits: the words are whatever the writer left there.
    std::int64_t nextFirst = 1;
    std::optional<BasisRangeMismatch> mismatch;
    for (std::size_t i = 0; i < atoms; ++i) {
        const std::int64_t last = words[2 * i];
        const std::int64_t first = words[2 * i + 1];
        if (first != nextFirst || last < first) return std::nullopt;
        const std::int64_t functions = last - first + 1;
        if (!mismatch && functions != basis::countedFunctions(atomicNumbers[i])) {
            mismatch = BasisRangeMismatch{static_cast<std::int32_t>(i + 1), atomicNumbers[i], static_cast<std::int32_t>(functions)};
        }
        nextFirst = last + 1;
    }
    if (nextFirst != static_cast<std::int64_t>(orbitalCount) + 1) return std::nullopt;
    return mismatch;
}

std::string describeBasisRangeMismatch(const BasisRangeMismatch& mismatch) {
    std::string message = "FOR013: atom " + std::to_string(mismatch.atom) + " (Z = " + std::to_string(mismatch.atomicNumber) +
                          ") has " + std::to_string(mismatch.functions) + " basis function" + (mismatch.functions == 1 ? "" : "s");
    switch (mismatch.functions) {
        case 1: message += " (s)"; break;
        case 4: message += " (s and p)"; break;
        case 9: message += " (s, p and d)"; break;
        case 16: message += " (s, p, d and f)"; break;
        default: break;
    }
    const std::int32_t counted = basis::countedFunctions(mismatch.atomicNumber);
    if (counted == 4 && mismatch.functions > 4) return message + "; gridorb evaluates s and p functions only";
    return message + "; gridorb expects " + std::to_string(counted) + " for this element";
}

}  // namespace gridorb::wavefunction
