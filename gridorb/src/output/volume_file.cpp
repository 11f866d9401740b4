#include "output/volume_file.h"

#include <algorithm>
#include <array>
#include <span>
#include <bit>
#include <cmath>
#include <cstring>
#include <string>

#include "platform/processor.h"

// The vector helpers below are internal and always inlined: the ABI note
// that both compilers give for them under the default target does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"
#include "records/formatted_write.h"
#include "records/list_write.h"
#include "units/run_end.h"
#include "units/unit_table.h"

namespace gridorb::output {
namespace {

constexpr double FULL_SCALE = 256.0;

// The magnitudes are formed once for the three blocks, and the blocks then
// only pick their side. A division in double per value was still the
// slowest step of the file (two processor cycles a value), so the quotient
// is first formed in float, eight lanes at a time: |v| * 256 is exact in
// float, and below 512 the float quotient lies within 2^-15 of the double
// one (one rounding of 2^-24 relative, one of 2^-53). Wherever its fractional
// part is at least 2^-13 from a whole number, both truncate alike. A run of
// values holding any other (exact ratios such as the peak itself, NaN,
// infinities, quotients from 512 up) is divided in double as written; on an
// orbital that is a few runs per volume. Written with vector types because
// as plain loops the compiler makes branches of the selects. Each body is
// compiled for the baseline processor (which splits the vectors in halves)
// and for one with AVX2; never with FMA (there is no multiply-add here).
typedef float Float8 __attribute__((vector_size(32)));
typedef std::int32_t Int8 __attribute__((vector_size(32)));

constexpr float NEAR_WHOLE = 0x1p-13f;
constexpr float FAST_LIMIT = 512.0f;
constexpr std::size_t RUN = ZERO_RUN;

[[gnu::always_inline]] inline bool anyLane(const Int8& lanes) {
    int any = 0;
    for (int lane = 0; lane < 8; ++lane) any |= lanes[lane];
    return any != 0;
}

[[gnu::always_inline]] inline float scaledValue(float value, double divisor) {
    const double magnitude = std::fabs(static_cast<double>(value) * FULL_SCALE / divisor);
    const float whole = magnitude < static_cast<double>(FIELD_OVERFLOW)
                            ? static_cast<float>(static_cast<std::int32_t>(magnitude))
                            : FIELD_OVERFLOW;  // also NaN
    return value > 0.0f ? whole : -whole;
}

[[gnu::always_inline]] inline void scaleVolumeBody(float* values, std::size_t count, float normaliser,
                                                   ZeroRuns* zeroRuns) {
    const double divisor = static_cast<double>(normaliser);
    const Float8 floatDivisor = Float8{} + std::fabs(normaliser);
    const Int8 noSign = Int8{} + INT32_MAX;
    const Int8 signBit = Int8{} + INT32_MIN;
    std::size_t i = 0;
    for (; i + RUN <= count; i += RUN) {
        // Most of a volume lies below the normaliser's 256th: where every
        // |v| * 256 of the run is below |normaliser| (exact in float), each
        // quotient is below 1 both in float and in double (at most 1 - 2^-24),
        // and the run is signed zeros without a division.
        Int8 atOrAbove{};
        for (std::size_t v = 0; v < RUN / 8; ++v) {
            Int8 bits;
            std::memcpy(&bits, values + i + 8 * v, sizeof bits);
            atOrAbove |= ~(std::bit_cast<Float8>(bits & noSign) * 256.0f < floatDivisor);  // NaN: not below
        }
        if (!anyLane(atOrAbove)) {
            for (std::size_t v = 0; v < RUN / 8; ++v) {
                Float8 value;
                std::memcpy(&value, values + i + 8 * v, sizeof value);
                const Int8 zero = signBit & ~(value > 0.0f);
                std::memcpy(values + i + 8 * v, &zero, sizeof zero);
            }
            if (zeroRuns != nullptr) zeroRuns->bits[i / RUN / 64] |= std::uint64_t{1} << (i / RUN % 64);
            continue;
        }
        Float8 scaled[RUN / 8];
        Int8 doubtful{};
        for (std::size_t v = 0; v < RUN / 8; ++v) {
            Float8 value;
            std::memcpy(&value, values + i + 8 * v, sizeof value);
            const Float8 magnitude = std::bit_cast<Float8>(std::bit_cast<Int8>(value) & noSign) * 256.0f;
            const Float8 quotient = magnitude / floatDivisor;
            const Int8 small = quotient < FAST_LIMIT;  // false for NaN
            const Float8 kept = std::bit_cast<Float8>(std::bit_cast<Int8>(quotient) & small);
            const Float8 whole = __builtin_convertvector(__builtin_convertvector(kept, Int8), Float8);
            const Float8 fraction = kept - whole;
            doubtful |= ~small | (fraction > 1.0f - NEAR_WHOLE) | ((fraction < NEAR_WHOLE) & (kept >= 1.0f));
            const Int8 positive = value > 0.0f;
            scaled[v] = std::bit_cast<Float8>(std::bit_cast<Int8>(whole) | (signBit & ~positive));
        }
        if (!anyLane(doubtful)) {
            std::memcpy(values + i, scaled, sizeof scaled);
        } else {
            for (std::size_t k = i; k < i + RUN; ++k) values[k] = scaledValue(values[k], divisor);
        }
    }
    for (; i < count; ++i) values[i] = scaledValue(values[i], divisor);
}

GRIDORB_AVX2_TARGET void scaleVolumeAvx2(float* values, std::size_t count, float normaliser, ZeroRuns* zeroRuns) {
    scaleVolumeBody(values, count, normaliser, zeroRuns);
}

template <Lobe L>
[[gnu::always_inline]] inline void lobeBlockBody(const float* scaled, std::int32_t* block, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const float v = scaled[i];
        float m = std::fabs(v);
        if constexpr (L == Lobe::Positive) m = v > 0.0f ? v : 0.0f;
        if constexpr (L == Lobe::Negative) m = v < 0.0f ? -v : 0.0f;
        block[i] = static_cast<std::int32_t>(m);
    }
}

template <Lobe L>
GRIDORB_AVX2_TARGET void lobeBlockAvx2(const float* scaled, std::int32_t* block, std::size_t count) {
    lobeBlockBody<L>(scaled, block, count);
}

template <Lobe L>
void lobeBlockOf(const float* scaled, std::int32_t* block, std::size_t count) {
    if (platform::hasAvx2()) {
        lobeBlockAvx2<L>(scaled, block, count);
    } else {
        lobeBlockBody<L>(scaled, block, count);
    }
}

}  // namespace

void scaleVolume(float* values, std::size_t count, float normaliser, ZeroRuns* zeroRuns) {
    if (normaliser == 0.0f) {  // every value exactly 0
        std::fill(values, values + count, 0.0f);
        return;
    }
    if (platform::hasAvx2()) {
        scaleVolumeAvx2(values, count, normaliser, zeroRuns);
    } else {
        scaleVolumeBody(values, count, normaliser, zeroRuns);
    }
}

void lobeBlockValues(const float* scaled, std::int32_t* block, std::size_t count, Lobe lobe) {
    switch (lobe) {
        case Lobe::Positive: lobeBlockOf<Lobe::Positive>(scaled, block, count); break;
        case Lobe::Negative: lobeBlockOf<Lobe::Negative>(scaled, block, count); break;
        case Lobe::Whole: lobeBlockOf<Lobe::Whole>(scaled, block, count); break;
    }
}

namespace {

void writeTextRecord(std::string_view text) { records::FormattedWrite(VOLUME_UNIT, "(A)").text(text).end(); }

// The rows that hold a value other than 0 once scaled, in grid order: the
// rows packed, less those whose values lie in runs scaleVolume found zeros.
struct ShownRows {
    std::array<std::uint16_t, GRID_ROWS> row;
    int count = 0;
};

void findShownRows(const PackedVolume& scaled, const ZeroRuns& zeroRuns, ShownRows& shown) {
    for (int r = 0; r < GRID_ROWS; ++r) {
        const std::uint32_t first = scaled.offset[r];
        if (first == PackedVolume::NO_ROW) continue;
        const std::uint32_t last = first + POINTS_PER_AXIS - 1;
        if (zeroRuns.has(first / ZERO_RUN) && zeroRuns.has(last / ZERO_RUN)) continue;
        shown.row[shown.count++] = static_cast<std::uint16_t>(r);
    }
}

void writeScalarBlock(const char* name, const PackedVolume& scaled, const ShownRows& shown, Lobe lobe) {
    writeTextRecord(std::string("SCALARS ") + name + " float");
    writeTextRecord("LOOKUP_TABLE default");
    records::FormattedWrite block(VOLUME_UNIT, "(4I5)");
    // Shown rows that follow each other in the grid go to the statement together.
    constexpr int ROWS_AT_ONCE = 64;
    std::array<std::int32_t, ROWS_AT_ONCE * POINTS_PER_AXIS> values;
    std::size_t written = 0;  // points of the grid
    for (int k = 0; k < shown.count;) {
        const std::size_t first = shown.row[k];
        int rows = 0;
        for (; k < shown.count && rows < ROWS_AT_ONCE && shown.row[k] == first + rows;) {
            // Rows summed one after another lie one after another: their lobe in one pass.
            const std::uint32_t from = scaled.offset[shown.row[k]];
            int run = 1;
            while (k + run < shown.count && rows + run < ROWS_AT_ONCE && shown.row[k + run] == first + rows + run &&
                   scaled.offset[shown.row[k + run]] == from + run * POINTS_PER_AXIS)
                ++run;
            lobeBlockValues(&scaled.values[from], values.data() + rows * POINTS_PER_AXIS, run * POINTS_PER_AXIS, lobe);
            k += run;
            rows += run;
        }
        block.zeros(first * POINTS_PER_AXIS - written);
        block.integers(std::span<const std::int32_t>(values.data(), rows * POINTS_PER_AXIS));
        written = (first + rows) * POINTS_PER_AXIS;
    }
    block.zeros(GRID_POINTS - written);
    block.end();
}

}  // namespace

ValueRange splitRange(const ValueRange& values) {
    constexpr float LOW_SEED = 1000.0f, HIGH_SEED = -1000.0f;
    return {values.minimum < LOW_SEED ? values.minimum : LOW_SEED,
            values.maximum > HIGH_SEED ? values.maximum : HIGH_SEED};
}

float chooseNormaliser(float minimum, float maximum) {
    const float a = std::fabs(minimum);
    const float b = std::fabs(maximum);
    return a > b ? a : b;
}

void writeVolumeOutput(const GridFrame& frame, const MoleculeRecord& molecule, PackedVolume& volume,
                       const ValueRange& values, std::span<char> buffer) {
    units::endRunOn(units::openOutputFile(VOLUME_UNIT, VOLUME_FILE_NAME));
    if (!buffer.empty()) units::lendOutputBuffer(VOLUME_UNIT, buffer.data(), buffer.size());

    const ValueRange range = splitRange(values);
    records::ListWrite(units::CONSOLE_UNIT)
        .text("MIN, MAX DENSITY(VALUE) COMPUTED IS ")
        .real(range.minimum)
        .real(range.maximum)
        .end();
    const float normaliser = chooseNormaliser(range.minimum, range.maximum);
    records::ListWrite(units::CONSOLE_UNIT)
        .text("NORBS ")
        .integer(molecule.orbitalCount)
        .text("NATB ")
        .integer(molecule.atomCount)
        .end();

    // The Å distance between neighbouring planes: 50 intervals from corner to corner.
    std::array<float, 3> spacing{};
    for (std::size_t k = 0; k < 3; ++k) {
        spacing[k] = static_cast<float>(
            (static_cast<double>(frame.highCorner[k]) - static_cast<double>(frame.lowCorner[k])) / 50.0);
    }

    writeTextRecord("# vtk DataFile Version 2.0");
    writeTextRecord("A Simple Matrix of values");
    writeTextRecord("ASCII");
    writeTextRecord("DATASET STRUCTURED_POINTS");
    records::ListWrite(VOLUME_UNIT)
        .text("DIMENSIONS ")
        .integer(POINTS_PER_AXIS)
        .integer(POINTS_PER_AXIS)
        .integer(POINTS_PER_AXIS)
        .end();
    records::ListWrite(VOLUME_UNIT)
        .text("ORIGIN ")
        .real(frame.lowCorner[0])
        .real(frame.lowCorner[1])
        .real(frame.lowCorner[2])
        .end();
    records::ListWrite(VOLUME_UNIT).text("SPACING ").real(spacing[0]).real(spacing[1]).real(spacing[2]).end();
    writeTextRecord(" ");
    records::ListWrite(VOLUME_UNIT).text("POINT_DATA ").integer(GRID_POINTS).end();

    ZeroRuns zeroRuns;
    scaleVolume(volume.values.data(), volume.count, normaliser, &zeroRuns);
    ShownRows shown;
    findShownRows(volume, zeroRuns, shown);
    writeScalarBlock("POS", volume, shown, Lobe::Positive);
    writeScalarBlock("NEG", volume, shown, Lobe::Negative);
    writeScalarBlock("TOT", volume, shown, Lobe::Whole);
    // VELD.VTK stays connected: STOP flushes, cuts and closes it.
}

}  // namespace gridorb::output
