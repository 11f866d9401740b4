#include "wavefunction/wavefunction_file.h"

#include <bit>
#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <optional>
#include <span>
#include <string>

#include "units/error_numbers.h"
#include "units/run_end.h"
#include "units/statement_state.h"
#include "units/unit_table.h"
#include "wavefunction/basis_ranges.h"

namespace gridorb::wavefunction {
namespace {

// One unformatted sequential READ: the length word, then items counted
// against it, then a skip past the unread data and the trailing word.
class RecordRead {
public:
    explicit RecordRead(int unit) : unit_(unit) {
        units::beginStatement(units::Statement::UnformattedRead, unit);

        unsigned char word[4];
        std::size_t got = 0;
        units::endRunOn(units::readBytes(unit_, word, sizeof word, "start", got));
        if (got != sizeof word) {
            units::endFailedRun(units::END_OF_FILE, "start");
        }
        std::uint32_t bits = static_cast<std::uint32_t>(word[0]) | static_cast<std::uint32_t>(word[1]) << 8 |
                             static_cast<std::uint32_t>(word[2]) << 16 | static_cast<std::uint32_t>(word[3]) << 24;
        length_ = static_cast<std::int32_t>(bits);
        // A record cannot be shorter than nothing. Its first item would pass
        // the length anyway; a record the reader takes nothing from would
        // otherwise move the position backwards by the skip at its end.
        if (length_ < 0) units::endFailedRun(units::OFF_END_OF_RECORD, "do_us");
    }
    RecordRead(const RecordRead&) = delete;
    RecordRead& operator=(const RecordRead&) = delete;

    // `count` items of `width` bytes each into `destination`, in one
    // transfer. The first item that would pass the length fails before it
    // is transferred; an item that meets the end of the file fails after
    // those before it, exactly as item-by-item reading would.
    void items(void* destination, std::size_t width, std::size_t count) {
        std::int64_t room = length_ - taken_;
        std::size_t fitting = static_cast<std::size_t>(room) / width;
        std::size_t transfer = count < fitting ? count : fitting;
        std::size_t bytes = transfer * width;
        if (bytes > 0) {
            std::size_t got = 0;
            units::endRunOn(units::readBytes(unit_, destination, bytes, "do_us", got));
            taken_ += static_cast<std::int64_t>(got);
            if (got < bytes) units::endFailedRun(units::END_OF_FILE, "do_us");
        }
        if (transfer < count) units::endFailedRun(units::OFF_END_OF_RECORD, "do_us");
        if constexpr (std::endian::native == std::endian::big) reverseEach(destination, width, count);
    }

    std::int32_t int32() {
        std::int32_t value;
        items(&value, sizeof value, 1);
        return value;
    }

    // After the last item: the rest of the data and the trailing word go
    // unread, L - taken + 4 bytes. A length word of 2^31 - 1 only moves the
    // position past the end of the file, where the next length word meets it.
    void finish() { units::skipBytes(unit_, static_cast<std::int64_t>(length_) - taken_ + 4); }

private:
    // The file holds little-endian images.
    static void reverseEach(void* data, std::size_t width, std::size_t count) {
        auto* bytes = static_cast<unsigned char*>(data);
        for (std::size_t i = 0; i < count; ++i, bytes += width) {
            for (std::size_t a = 0, b = width - 1; a < b; ++a, --b) {
                unsigned char t = bytes[a];
                bytes[a] = bytes[b];
                bytes[b] = t;
            }
        }
    }

    int unit_;
    std::int32_t length_ = 0;
    std::int64_t taken_ = 0;
};

static_assert(sizeof(double) == 8 && std::numeric_limits<double>::is_iec559);

// Counts beyond these would not fit the fixed arrays.
void rejectUnsupportedCounts(std::int32_t atomCount, std::int32_t orbitalCount) {
    if (atomCount < 0 || atomCount > MAX_ATOMS) {
        std::string message = "FOR013: " + std::to_string(atomCount) + " atoms";
        message += atomCount < 0 ? "; from 0 to " + std::to_string(MAX_ATOMS) + " are supported"
                                 : "; at most " + std::to_string(MAX_ATOMS) + " are supported";
        units::endRejectedRun(message);
    }
    if (orbitalCount < 1 || orbitalCount > MAX_ORBITALS) {
        std::string message = "FOR013: " + std::to_string(orbitalCount) + " orbitals; from 1 to " +
                              std::to_string(MAX_ORBITALS) + " are supported";
        units::endRejectedRun(message);
    }
}

// Double to float, to nearest, without the undefined conversion of a value
// beyond the float range: those round to the largest float or to infinity.
float narrow(double value) {
    constexpr double FLOAT_OVERFLOW_MIDPOINT = 0x1.ffffff0p+127;  // halfway from FLT_MAX to 2^128
    if (std::isnan(value)) return std::numeric_limits<float>::quiet_NaN();
    double magnitude = std::fabs(value);
    if (magnitude > static_cast<double>(FLT_MAX)) {
        // The tie goes to infinity: FLT_MAX has an odd significand.
        float rounded = magnitude >= FLOAT_OVERFLOW_MIDPOINT ? std::numeric_limits<float>::infinity() : FLT_MAX;
        return std::signbit(value) ? -rounded : rounded;
    }
    return static_cast<float>(value);
}

}  // namespace

void readWavefunctionFile(MoleculeRecord& molecule, RawWavefunction& raw,
                          const std::function<void(std::int32_t orbitalCount)>& countsRead) {
    units::endRunOn(units::openInputFile(WAVEFUNCTION_UNIT, WAVEFUNCTION_FILE_NAME));

    std::int32_t atomCount;
    std::int32_t orbitalCount;
    {
        RecordRead record(WAVEFUNCTION_UNIT);
        atomCount = record.int32();
        orbitalCount = record.int32();
        rejectUnsupportedCounts(atomCount, orbitalCount);
        molecule.atomCount = atomCount;
        molecule.orbitalCount = orbitalCount;
        molecule.electronCount = record.int32();

        // Axis-major in the file: all x, then all y, then all z.
        const auto n = static_cast<std::size_t>(atomCount);
        double axisValues[MAX_ATOMS];
        for (std::size_t axis = 0; axis < 3; ++axis) {
            record.items(axisValues, sizeof(double), n);
            for (std::size_t i = 0; i < n; ++i) raw.coordinates[i][axis] = axisValues[i];
        }
        record.finish();
    }
    if (countsRead) countsRead(orbitalCount);
    const auto n = static_cast<std::size_t>(atomCount);
    // Two words per atom: its last and first basis function, when a
    // calculation wrote them. Checked once the whole file has been read.
    std::int32_t basisRanges[2 * MAX_ATOMS];
    {
        RecordRead record(WAVEFUNCTION_UNIT);
        record.items(basisRanges, sizeof basisRanges[0], 2 * n);
        record.finish();
    }
    {
        double thirdExponents[MAX_ATOMS];  // not used
        RecordRead record(WAVEFUNCTION_UNIT);
        record.items(raw.sExponents.data(), sizeof(double), n);
        record.items(raw.pExponents.data(), sizeof(double), n);
        record.items(thirdExponents, sizeof(double), n);
        record.items(molecule.atomicNumbers.data(), sizeof(std::int32_t), n);
        record.finish();
    }
    const std::size_t elements = static_cast<std::size_t>(orbitalCount) * static_cast<std::size_t>(orbitalCount);
    {
        RecordRead record(WAVEFUNCTION_UNIT);
        record.items(raw.orbitalVectors.data(), sizeof(double), elements);
        record.finish();
    }
    {
        RecordRead record(WAVEFUNCTION_UNIT);
        record.items(raw.basisTransform.data(), sizeof(double), elements);
        record.finish();
    }

    // After record 5, so that a damaged file is reported as such first.
    const std::optional<BasisRangeMismatch> mismatch = findBasisRangeMismatch(
        std::span(basisRanges, 2 * n), std::span(molecule.atomicNumbers.data(), n), orbitalCount);
    if (mismatch) units::endRejectedRun(describeBasisRangeMismatch(*mismatch));
}

void completeMoleculeRecord(MoleculeRecord& molecule, const RawWavefunction& raw) {
    const int n = molecule.atomCount < MAX_ATOMS ? molecule.atomCount : MAX_ATOMS;
    for (int i = 0; i < n; ++i) {
        molecule.sExponents[i] = narrow(raw.sExponents[i]);
        molecule.pExponents[i] = narrow(raw.pExponents[i]);
    }
    for (int i = 0; i < n; ++i) {
        for (int axis = 0; axis < 3; ++axis) molecule.coordinates[i][axis] = narrow(raw.coordinates[i][axis]);
    }
}

}  // namespace gridorb::wavefunction
