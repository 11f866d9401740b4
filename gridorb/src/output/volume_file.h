#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "model/grid_frame.h"
#include "model/molecule_record.h"
#include "model/orbital_volume.h"

namespace gridorb::output {

inline constexpr const char* VOLUME_FILE_NAME = "VELD.VTK";
inline constexpr int VOLUME_UNIT = 24;

// The split of the signed volume into its two lobes. The positive lobe holds
// a value where it is greater than 0, the negative lobe where it is 0 or
// less (an exact 0 goes to the negative side); each lobe is 0 elsewhere.
enum class Lobe { Positive, Negative, Whole };

// The range the split reports: the smallest and largest signed value, as a
// scan in grid order from the seeds 1000.0 and -1000.0 finds them.
ValueRange splitRange(const ValueRange& values);
float chooseNormaliser(float minimum, float maximum);

// The magnitude that stands for every one an I5 field cannot show: it is
// written as "*****", as NaN, infinities and quotients beyond 32 bits are.
inline constexpr float FIELD_OVERFLOW = 100000.0f;

// The runs of ZERO_RUN values, counted from the first, that scaleVolume
// found to scale to 0 throughout (most of an orbital's volume): their block
// values need not be read.
inline constexpr std::size_t ZERO_RUN = 64;
struct ZeroRuns {
    std::array<std::uint64_t, (GRID_POINTS + 64 * ZERO_RUN - 1) / (64 * ZERO_RUN)> bits{};
    bool has(std::size_t run) const { return (bits[run / 64] >> (run % 64) & 1) != 0; }
};

// The block values of all three blocks, formed once, in place: each signed
// value v becomes m where v > 0 and -m elsewhere (NaN included), with
// m = |trunc(v * 256.0 / normaliser)| formed in double, multiplication
// first, or FIELD_OVERFLOW where that is not below it or not a number.
// Whole numbers of at most 100000, so exact in float. A normaliser of 0
// (every grid value exactly 0) gives 0. `zeroRuns`, if given (for at most
// GRID_POINTS values), gets a bit for each run it finds all zeros.
void scaleVolume(float* values, std::size_t count, float normaliser, ZeroRuns* zeroRuns = nullptr);

// A lobe's block values from the scaled volume: the positive lobe takes the
// magnitudes of the + side, the negative lobe those of the - side (0 on the
// other), the whole orbital every magnitude. `count` at most 4096.
void lobeBlockValues(const float* scaled, std::int32_t* block, std::size_t count, Lobe lobe);

// The whole step: opens VELD.VTK on unit 24, splits (`values`: the range of
// the signed volume), writes the two console summary lines and the file:
// POS, NEG and TOT, the scaled values of the positive lobe, the negative lobe
// and the whole orbital, 0 in the rows the volume does not hold. The volume
// is scaled in place on the way (the run needs it no more). The unit is
// closed by STOP. `buffer`, if given, is lent to the unit to buffer the file
// in (units::lendOutputBuffer).
void writeVolumeOutput(const GridFrame& frame, const MoleculeRecord& molecule, PackedVolume& volume,
                       const ValueRange& values, std::span<char> buffer = {});

}  // namespace gridorb::output
