#include "output/volume_file.h"

#include <algorithm>
#include <array>
#include <span>
#include <cmath>
#include <string>

#include "platform/processor.h"
#include "records/formatted_write.h"
#include "records/list_write.h"
#include "units/run_end.h"
#include "units/unit_table.h"

namespace gridorb::output {
namespace {

constexpr double FULL_SCALE = 256.0;

// Block values are formed and handed to the block's statement a slice at a
// time: neither the lobes nor the scaled block need to exist whole.
constexpr std::size_t BLOCK_CHUNK = 4096;

// |trunc(v * 256 / divisor)|, multiplication first, in double; written
// without branches so that the loops below vectorise.
[[gnu::always_inline]] inline std::int32_t scaledMagnitude(float value, double divisor) {
    const double quotient = static_cast<double>(value) * FULL_SCALE / divisor;
    // Only non-finite data gets past 32 bits; an I5 field cannot show such a value.
    const bool representable = std::fabs(quotient) < 2147483648.0;
    const auto truncated = static_cast<std::int32_t>(representable ? quotient : 0.0);
    const std::int32_t magnitude = truncated < 0 ? -truncated : truncated;
    return representable ? magnitude : UNREPRESENTABLE_VALUE;
}

// The scaled magnitudes of a lobe over a run of at most BLOCK_CHUNK signed values,
// written without branches so that it vectorises: the same double
// operations, the same results. The body is compiled twice, for the baseline
// processor and for one with AVX2 (never with FMA: there is no multiply-add
// here to fuse anyway).
template <Lobe L>
[[gnu::always_inline]] inline void scaleLobeBody(const float* values, std::int32_t* scaled, std::size_t count,
                                                 double divisor) {
    // The lobe first, in a loop of its own: each of the two loops vectorises.
    float lobe[BLOCK_CHUNK];
    for (std::size_t i = 0; i < count; ++i) lobe[i] = lobeValue(values[i], L);
    for (std::size_t i = 0; i < count; ++i) {
        scaled[i] = scaledMagnitude(lobe[i], divisor);
    }
}

template <Lobe L>
GRIDORB_AVX2_TARGET void scaleLobeAvx2(const float* values, std::int32_t* scaled, std::size_t count, double divisor) {
    scaleLobeBody<L>(values, scaled, count, divisor);
}

template <Lobe L>
void scaleLobeOf(const float* values, std::int32_t* scaled, std::size_t count, double divisor) {
    if (platform::hasAvx2()) {
        scaleLobeAvx2<L>(values, scaled, count, divisor);
    } else {
        scaleLobeBody<L>(values, scaled, count, divisor);
    }
}

}  // namespace

void scaleLobe(const float* values, std::int32_t* scaled, std::size_t count, Lobe lobe, float normaliser) {
    if (normaliser == 0.0f) {  // every value exactly 0
        std::fill(scaled, scaled + count, 0);
        return;
    }
    const double divisor = static_cast<double>(normaliser);
    switch (lobe) {
        case Lobe::Positive: scaleLobeOf<Lobe::Positive>(values, scaled, count, divisor); break;
        case Lobe::Negative: scaleLobeOf<Lobe::Negative>(values, scaled, count, divisor); break;
        case Lobe::Whole: scaleLobeOf<Lobe::Whole>(values, scaled, count, divisor); break;
    }
}

namespace {

void writeTextRecord(std::string_view text) { records::FormattedWrite(VOLUME_UNIT, "(A)").text(text).end(); }

void writeScalarBlock(const char* name, const OrbitalVolume& signedVolume, Lobe lobe, float normaliser) {
    writeTextRecord(std::string("SCALARS ") + name + " float");
    writeTextRecord("LOOKUP_TABLE default");
    records::FormattedWrite block(VOLUME_UNIT, "(4I5)");
    std::array<std::int32_t, BLOCK_CHUNK> scaled;
    for (std::size_t start = 0; start < signedVolume.values.size(); start += BLOCK_CHUNK) {
        const std::size_t count = std::min(BLOCK_CHUNK, signedVolume.values.size() - start);
        scaleLobe(&signedVolume.values[start], scaled.data(), count, lobe, normaliser);
        block.integers(std::span<const std::int32_t>(scaled.data(), count));
    }
    block.end();
}

}  // namespace

VolumeRange splitVolume(const OrbitalVolume& signedVolume) {
    // Eight running extremes side by side, so that the scan vectorises, then
    // combined. Taking the smaller of two values never depends on the order
    // but for equal zeros of opposite sign, and no output shows a zero's sign;
    // a NaN is never taken, in any order.
    constexpr std::size_t LANES = 8;
    VolumeRange range;
    std::array<float, LANES> low, high;
    low.fill(range.minimum);
    high.fill(range.maximum);
    const std::size_t whole = signedVolume.values.size() / LANES * LANES;
    for (std::size_t i = 0; i < whole; i += LANES) {
        for (std::size_t l = 0; l < LANES; ++l) {
            const float v = signedVolume.values[i + l];
            low[l] = v < low[l] ? v : low[l];
            high[l] = v > high[l] ? v : high[l];
        }
    }
    for (std::size_t i = whole; i < signedVolume.values.size(); ++i) {
        const float v = signedVolume.values[i];
        low[0] = v < low[0] ? v : low[0];
        high[0] = v > high[0] ? v : high[0];
    }
    for (std::size_t l = 0; l < LANES; ++l) {
        range.minimum = low[l] < range.minimum ? low[l] : range.minimum;
        range.maximum = high[l] > range.maximum ? high[l] : range.maximum;
    }
    return range;
}

float chooseNormaliser(float minimum, float maximum) {
    const float a = std::fabs(minimum);
    const float b = std::fabs(maximum);
    return a > b ? a : b;
}

void writeVolumeOutput(const GridFrame& frame, const MoleculeRecord& molecule, const OrbitalVolume& signedVolume) {
    units::endRunOn(units::openOutputFile(VOLUME_UNIT, VOLUME_FILE_NAME));

    const VolumeRange range = splitVolume(signedVolume);
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

    writeScalarBlock("POS", signedVolume, Lobe::Positive, normaliser);
    writeScalarBlock("NEG", signedVolume, Lobe::Negative, normaliser);
    writeScalarBlock("TOT", signedVolume, Lobe::Whole, normaliser);
    // VELD.VTK stays connected: STOP flushes, cuts and closes it.
}

}  // namespace gridorb::output
