#pragma once

#include <cstdint>
#include <functional>

#include "model/molecule_record.h"

// FOR013: five unformatted sequential records, each framed by 4-byte
// little-endian length words.
//   1: atomCount, orbitalCount, electronCount (int32); x of atoms 1..N,
//      then y, then z (float64, Å)
//   2: two int32 per atom, its last and first basis function (checked
//      against gridorb's own numbering when they form a real numbering)
//   3: s exponents, p exponents, third exponents (float64, N each; the third
//      not used), atomic numbers (int32, N)
//   4: orbital vectors, M*M float64, column-major
//   5: basis transform, M*M float64, column-major
// A record may hold more than is read; trailing length words are never read;
// anything after record 5 is ignored.
namespace gridorb::wavefunction {

inline constexpr const char* WAVEFUNCTION_FILE_NAME = "FOR013";
inline constexpr int WAVEFUNCTION_UNIT = 13;

// Connects unit 13 to FOR013 (read only) and fills the counts, the atomic
// numbers and the double-precision data. Any failure ends the run: counts
// outside the supported limits are rejected as soon as record 1 names them,
// a basis gridorb does not number as the file does (d functions) once the
// whole file has been read.
// `countsRead`, if given, is told the orbital count as soon as record 1 has
// given it, before the matrices are read.
void readWavefunctionFile(MoleculeRecord& molecule, RawWavefunction& raw,
                          const std::function<void(std::int32_t orbitalCount)>& countsRead = {});

// Narrows the exponents and the coordinates to single precision (to nearest).
void completeMoleculeRecord(MoleculeRecord& molecule, const RawWavefunction& raw);

}  // namespace gridorb::wavefunction
