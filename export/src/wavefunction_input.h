#pragma once

#include <memory>
#include <stdexcept>
#include <string>

#include "model/molecule_record.h"

// FOR013 of a folder, read by gridorb's own reader.
namespace gridorb::exporter {

struct Wavefunction {
    MoleculeRecord molecule;  // completed in single precision, Å
    std::unique_ptr<RawWavefunction> raw;
};

struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Moves the process into `folder` (the reader opens FOR013 where it runs)
// and reads FOR013 there. A missing folder, a missing or damaged file and
// counts beyond the reader's limits are refused with one line that names
// the file and gives the reader's own words.
Wavefunction readWavefunction(const std::string& folder);

}  // namespace gridorb::exporter
