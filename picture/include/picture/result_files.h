#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

#include "picture/molecule.h"
#include "picture/volume.h"

// gridorb's two result files read back: VELD.VTK (a legacy VTK
// STRUCTURED_POINTS file with POS, NEG and TOT scaled to 0..256) and
// TARNEL.COR (atomic number and Å coordinates per atom). Anything not shaped
// as gridorb writes it is refused with one message naming the file, the line
// and what was expected there.
namespace picture {

struct ReadError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The signed field POS - NEG. With peak > 0 (the larger magnitude of the
// run's minimum and maximum, from gridorb's summary line) the values are in
// atomic units (value * peak / 256); with peak = 0 they stay in file units.
Volume readVolumeFile(const std::string& path, double peak = 0.0);

Molecule readCoordinateFile(const std::string& path);

// The peak for readVolumeFile from gridorb's console output (the larger
// magnitude on its "MIN, MAX DENSITY(VALUE) COMPUTED IS" line).
double peakFromConsole(std::string_view console);

}  // namespace picture
