#include "output/volume_file.h"

#include <algorithm>
#include <array>
#include <span>
#include <cmath>
#include <string>

#include "records/formatted_write.h"
#include "records/list_write.h"
#include "units/unit_table.h"

namespace gridorb::output {
namespace {

constexpr double FULL_SCALE = 256.0;

// Block values are handed to the block's statement a slice at a time.
constexpr std::size_t BLOCK_CHUNK = 4096;

// scaleValue of every signed value, formed once for all three blocks: each
// block's volume holds at every point either the signed value or 0, and
// scaleValue(0) is 0, so a block's value is 0 where its volume is 0 and the
// signed value's scaled magnitude elsewhere.
std::array<std::int32_t, GRID_POINTS> g_scaledSigned;

// scaleValue over a run of values, written without branches so that the
// compiler can vectorise it: the same double operations, the same results.
void scaleValues(const float* values, std::int32_t* scaled, std::size_t count, float normaliser) {
    if (normaliser == 0.0f) {
        std::fill(scaled, scaled + count, 0);
        return;
    }
    const double divisor = static_cast<double>(normaliser);
    for (std::size_t i = 0; i < count; ++i) {
        const double quotient = static_cast<double>(values[i]) * FULL_SCALE / divisor;
        const bool representable = std::fabs(quotient) < 2147483648.0;
        const auto truncated = static_cast<std::int32_t>(representable ? quotient : 0.0);
        const std::int32_t magnitude = truncated < 0 ? -truncated : truncated;
        scaled[i] = representable ? magnitude : UNREPRESENTABLE_VALUE;
    }
}

void writeTextRecord(const char* text) { records::FormattedWrite(VOLUME_UNIT, "(A)").text(text).end(); }

void writeScalarBlock(const char* name, const OrbitalVolume& volume) {
    std::string header = std::string("SCALARS ") + name + " float";
    records::FormattedWrite(VOLUME_UNIT, "(A)").text(header).end();
    writeTextRecord("LOOKUP_TABLE default");
    records::FormattedWrite block(VOLUME_UNIT, "(4I5)");
    std::array<std::int32_t, BLOCK_CHUNK> values;
    for (std::size_t start = 0; start < volume.values.size(); start += BLOCK_CHUNK) {
        const std::size_t count = std::min(BLOCK_CHUNK, volume.values.size() - start);
        for (std::size_t i = 0; i < count; ++i) {
            values[i] = volume.values[start + i] == 0.0f ? 0 : g_scaledSigned[start + i];
        }
        block.integers(std::span<const std::int32_t>(values.data(), count));
    }
    block.end();
}

}  // namespace

VolumeRange splitVolume(const OrbitalVolume& signedVolume, OrbitalVolume& positiveVolume,
                        OrbitalVolume& negativeVolume) {
    VolumeRange range;
    // Grid order, x fastest; a value equal to the current extreme leaves it.
    // Written as selections rather than branches, so that it vectorises.
    float minimum = range.minimum;
    float maximum = range.maximum;
    for (std::size_t i = 0; i < signedVolume.values.size(); ++i) {
        const float v = signedVolume.values[i];
        minimum = v < minimum ? v : minimum;
        maximum = v > maximum ? v : maximum;
        positiveVolume.values[i] = v > 0.0f ? v : 0.0f;
        negativeVolume.values[i] = v > 0.0f ? 0.0f : v;  // an exact 0 goes to the negative side
    }
    range.minimum = minimum;
    range.maximum = maximum;
    return range;
}

float chooseNormaliser(float minimum, float maximum) {
    const float a = std::fabs(minimum);
    const float b = std::fabs(maximum);
    return a > b ? a : b;
}

std::int32_t scaleValue(float value, float normaliser) {
    // Every grid value exactly 0: nothing to scale, every field shows 0.
    if (normaliser == 0.0f) return 0;
    const double quotient = static_cast<double>(value) * FULL_SCALE / static_cast<double>(normaliser);
    // Only non-finite data gets here; an I5 field cannot show such a value.
    if (!(std::fabs(quotient) < 2147483648.0)) return UNREPRESENTABLE_VALUE;
    const auto truncated = static_cast<std::int32_t>(quotient);
    return truncated < 0 ? -truncated : truncated;
}

void writeVolumeOutput(const GridFrame& frame, const MoleculeRecord& molecule, const OrbitalVolume& signedVolume,
                       OrbitalVolume& positiveVolume, OrbitalVolume& negativeVolume) {
    units::openOutputFile(VOLUME_UNIT, VOLUME_FILE_NAME);

    const VolumeRange range = splitVolume(signedVolume, positiveVolume, negativeVolume);
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

    scaleValues(signedVolume.values.data(), g_scaledSigned.data(), GRID_POINTS, normaliser);
    writeScalarBlock("POS", positiveVolume);
    writeScalarBlock("NEG", negativeVolume);
    writeScalarBlock("TOT", signedVolume);
    // VELD.VTK stays connected: STOP flushes, cuts and closes it.
}

}  // namespace gridorb::output
