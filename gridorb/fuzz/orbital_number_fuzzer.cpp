// The orbital number: arbitrary bytes (0 to 40 of them) as command-line
// argument 1. The scan over arbitrary bytes, the scan over the 25-character
// record the argument becomes, and readOrbitalNumber on the argument as a C
// string, held to properties that the rules of list-directed input imply.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_support.h"
#include "units/fatal_report.h"
#include "units/unit_table.h"
#include "wavefunction/orbital_number.h"

namespace {

using gridorb::fuzzsupport::RunEnded;
using gridorb::wavefunction::ARGUMENT_BUFFER_LENGTH;
using gridorb::wavefunction::ListIntegerScan;
using Outcome = ListIntegerScan::Outcome;

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

std::string quoted(std::string_view bytes) {
    std::string out = "\"";
    for (unsigned char c : bytes) {
        if (c >= 0x20 && c < 0x7f && c != '"' && c != '\\') {
            out += static_cast<char>(c);
        } else {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            out += escape;
        }
    }
    return out + "\"";
}

std::string describe(const ListIntegerScan& scan) {
    switch (scan.outcome) {
        case Outcome::Value: return "value " + std::to_string(scan.value);
        case Outcome::NoValue: return "no value";
        case Outcome::Failure: break;
    }
    return "failure " + std::to_string(scan.errorNumber) + " " + (scan.context ? scan.context : "(no context)");
}

bool same(const ListIntegerScan& a, const ListIntegerScan& b) {
    if (a.outcome != b.outcome) return false;
    if (a.outcome == Outcome::Value) return a.value == b.value;
    if (a.outcome == Outcome::Failure) {
        return a.errorNumber == b.errorNumber && a.context != nullptr && b.context != nullptr &&
               std::strcmp(a.context, b.context) == 0;
    }
    return true;
}

// Whatever the bytes, the scan gives a whole number, nothing, or one of the
// failures of list-directed input, and gives it every time.
void checkWellFormed(std::string_view record, const ListIntegerScan& scan) {
    auto where = [&] { return "record " + quoted(record) + ": " + describe(scan); };
    switch (scan.outcome) {
        case Outcome::Value:
            FUZZ_CHECK(!std::isnan(scan.value), where());
            FUZZ_CHECK(std::isinf(scan.value) || scan.value == std::trunc(scan.value), where());
            break;
        case Outcome::NoValue: break;
        case Outcome::Failure:
            FUZZ_CHECK(scan.context != nullptr, where());
            FUZZ_CHECK(scan.errorNumber == gridorb::units::END_OF_FILE ||
                           scan.errorNumber == gridorb::units::INCOMPREHENSIBLE_LIST_INPUT ||
                           scan.errorNumber == gridorb::units::READ_UNEXPECTED_CHARACTER,
                       where());
            break;
    }
    FUZZ_CHECK(same(scan, gridorb::wavefunction::scanListInteger(record)), where() + ", then something else");
}

// Blanks, an optional sign, digits, then a blank, a separator or the end:
// the value is the decimal value of the digits, rounded to the nearest
// double. Worked out here without the scanner's own conversion.
std::optional<double> plainDecimal(std::string_view record) {
    std::size_t i = 0;
    while (i < record.size() && isBlank(record[i])) ++i;
    bool negative = false;
    if (i < record.size() && (record[i] == '+' || record[i] == '-')) negative = record[i++] == '-';
    std::size_t start = i;
    while (i < record.size() && isDigit(record[i])) ++i;
    if (i == start) return std::nullopt;
    if (i < record.size() && !(isBlank(record[i]) || record[i] == ',' || record[i] == '/')) return std::nullopt;
    std::string_view digits = record.substr(start, i - start);
    while (digits.size() > 1 && digits.front() == '0') digits.remove_prefix(1);
    double magnitude;
    if (digits.size() <= 19) {
        std::uint64_t exact = 0;  // 19 digits stay below 2^64
        for (char d : digits) exact = exact * 10 + static_cast<std::uint64_t>(d - '0');
        magnitude = static_cast<double>(exact);  // to nearest
    } else {
        magnitude = std::strtod(std::string(digits).c_str(), nullptr);
    }
    return negative ? -magnitude : magnitude;
}

void checkRecord(const std::string& record) {
    const ListIntegerScan scan = gridorb::wavefunction::scanListInteger(record);
    checkWellFormed(record, scan);
    auto where = [&] { return "record " + quoted(record) + ": " + describe(scan); };

    if (std::optional<double> expected = plainDecimal(record)) {
        FUZZ_CHECK(scan.outcome == Outcome::Value && scan.value == *expected,
                   where() + ", expected " + std::to_string(*expected));
    }

    // A trailing blank is what the end of the record reads as anyway: moved
    // to the front, it changes nothing.
    if (!record.empty() && isBlank(record.back())) {
        std::string shifted = " " + record.substr(0, record.size() - 1);
        FUZZ_CHECK(same(gridorb::wavefunction::scanListInteger(shifted), scan), where() + ", shifted: " + quoted(shifted));
    }

    // A sign put before a number that starts with a digit (in place of the
    // blank before it) negates the value and changes no failure; a repeat
    // count is the exception, since it may not be signed.
    std::size_t first = record.find_first_not_of(" \t");
    if (first != std::string::npos && first > 0 && isDigit(record[first]) && record.find('*') == std::string::npos) {
        for (char sign : {'-', '+'}) {
            std::string signedRecord = record;
            signedRecord[first - 1] = sign;
            ListIntegerScan signedScan = gridorb::wavefunction::scanListInteger(signedRecord);
            ListIntegerScan expected = scan;
            if (sign == '-') expected.value = -expected.value;
            FUZZ_CHECK(same(signedScan, expected), where() + ", signed " + quoted(signedRecord) + ": " + describe(signedScan));
        }
    }
}

// readOrbitalNumber ends the run exactly when the scan of its record fails
// (abort) or gives no number of an orbital that exists (status 2).
void checkReadOrbitalNumber(const std::string& argument, const std::string& record, std::int32_t orbitalCount) {
    const ListIntegerScan scan = gridorb::wavefunction::scanListInteger(record);
    const bool exists = scan.outcome == Outcome::Value && scan.value >= 1 && scan.value <= orbitalCount;
    auto where = [&] { return "argument " + quoted(argument) + " of " + std::to_string(orbitalCount) + ": " + describe(scan); };
    try {
        std::int32_t number = gridorb::wavefunction::readOrbitalNumber(argument.c_str(), orbitalCount);
        FUZZ_CHECK(exists && number == scan.value, where() + ", read " + std::to_string(number));
    } catch (const RunEnded& ended) {
        if (scan.outcome == Outcome::Failure) {
            FUZZ_CHECK(ended.kind == RunEnded::Kind::Aborted, where() + ", but no abort");
        } else {
            FUZZ_CHECK(ended.kind == RunEnded::Kind::Exited && ended.status == 2 && !exists,
                       where() + ", ended with status " + std::to_string(ended.status));
        }
    }
    const gridorb::units::StatementState& state = gridorb::units::statementState();
    FUZZ_CHECK(state.currentUnit == -1 && state.reading && state.formatted && !state.external,
               where() + ": not the state of an internal read");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > 40) return 0;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    gridorb::units::connectStandardUnits();

    const ListIntegerScan anyBytes = gridorb::wavefunction::scanListInteger(bytes);
    checkWellFormed(bytes, anyBytes);

    // The argument as a C string, and the record it becomes: its first 25
    // characters, padded with blanks.
    const std::string argument(bytes.substr(0, bytes.find('\0')));
    std::string record = argument.substr(0, ARGUMENT_BUFFER_LENGTH);
    record.resize(ARGUMENT_BUFFER_LENGTH, ' ');
    checkRecord(record);
    if (bytes.size() <= static_cast<std::size_t>(ARGUMENT_BUFFER_LENGTH) && argument.size() == bytes.size()) {
        // The padding reads as the end of the record does.
        FUZZ_CHECK(same(anyBytes, gridorb::wavefunction::scanListInteger(record)),
                   "record " + quoted(bytes) + " padded: " + describe(anyBytes));
    }

    for (std::int32_t orbitalCount : {1, 200}) checkReadOrbitalNumber(argument, record, orbitalCount);
    return 0;
}
