#pragma once

#include <climits>
#include <cstddef>
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

// The split of the signed volume into its two lobes. The positive lobe holds
// a value where it is greater than 0, the negative lobe where it is 0 or
// less (an exact 0 goes to the negative side); each lobe is 0 elsewhere.
// The lobes are formed point by point as their blocks are written, never
// stored: they would be two more volumes of fresh pages for every run.
enum class Lobe { Positive, Negative, Whole };

inline float lobeValue(float value, Lobe lobe) {
    switch (lobe) {
        case Lobe::Positive: return value > 0.0f ? value : 0.0f;
        case Lobe::Negative: return value > 0.0f ? 0.0f : value;
        case Lobe::Whole: break;
    }
    return value;
}

// The scan of the split: the smallest and largest signed value, from the
// seeds 1000.0 and -1000.0, in grid order.
VolumeRange splitVolume(const OrbitalVolume& signedVolume);
float chooseNormaliser(float minimum, float maximum);
// What scaleLobe gives for a quotient that is NaN or outside the 32-bit
// range: too wide for an I5 field, so the field is written as "*****".
inline constexpr std::int32_t UNREPRESENTABLE_VALUE = INT32_MIN;

// The block values of a lobe, for `count` (at most 4096) signed values:
// |trunc(v * 256.0 / normaliser)| of the lobe's v, formed in double,
// multiplication first. A normaliser of 0 (every grid value exactly 0)
// gives 0.
void scaleLobe(const float* values, std::int32_t* scaled, std::size_t count, Lobe lobe, float normaliser);

// The whole step: opens VELD.VTK on unit 24, splits, writes the two console
// summary lines and the file: POS, NEG and TOT, the scaled values of the
// positive lobe, the negative lobe and the whole orbital. The unit is closed
// by STOP.
void writeVolumeOutput(const GridFrame& frame, const MoleculeRecord& molecule, const OrbitalVolume& signedVolume);

}  // namespace gridorb::output
