#pragma once

#include <climits>
#include <cstdint>

#include "model/grid_frame.h"
#include "model/molecule_record.h"
#include "model/orbital_volume.h"

namespace gridorb::output {

inline constexpr const char* VOLUME_FILE_NAME = "VELD.VTK";
inline constexpr int VOLUME_UNIT = 24;

struct VolumeRange {
    float minimum = 1000.0f;
    float maximum = -1000.0f;
};

VolumeRange splitVolume(const OrbitalVolume& signedVolume, OrbitalVolume& positiveVolume,
                        OrbitalVolume& negativeVolume);
float chooseNormaliser(float minimum, float maximum);
// What scaleValue gives for a quotient that is NaN or outside the 32-bit
// range: too wide for an I5 field, so the field is written as "*****".
inline constexpr std::int32_t UNREPRESENTABLE_VALUE = INT32_MIN;

// |trunc(v * 256.0 / normaliser)|, formed in double, multiplication first.
// A normaliser of 0 (every grid value exactly 0) gives 0.
std::int32_t scaleValue(float value, float normaliser);

// The whole step: opens VELD.VTK on unit 24, splits, writes the two console
// summary lines and the file. The unit is closed by STOP.
void writeVolumeOutput(const GridFrame& frame, const MoleculeRecord& molecule, const OrbitalVolume& signedVolume,
                       OrbitalVolume& positiveVolume, OrbitalVolume& negativeVolume);

}  // namespace gridorb::output
