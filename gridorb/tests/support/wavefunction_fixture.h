#pragma once

#include <memory>
#include <string>

#include "model/molecule_record.h"

// A small FOR013 reader of the tests' own, independent of the program's,
// for the bundled example wavefunctions: the five length-framed records,
// narrowed to single precision. Fails the calling test on a short file.
namespace gridorb::testsupport {

struct WavefunctionFixture {
    MoleculeRecord molecule;  // Å, single precision
    RawWavefunction raw;
    std::int32_t electronCount = 0;
};

// Empty pointer when the file cannot be read whole.
std::unique_ptr<WavefunctionFixture> readWavefunctionFixture(const std::string& path);

}  // namespace gridorb::testsupport
