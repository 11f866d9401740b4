#include "wavefunction/orbital_number.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <string>
#include <system_error>

#include "units/error_numbers.h"
#include "units/run_end.h"
#include "units/statement_state.h"

namespace gridorb::wavefunction {
namespace {

using Outcome = ListIntegerScan::Outcome;

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }
bool isExponentLetter(char c) { return c == 'd' || c == 'D' || c == 'e' || c == 'E'; }

ListIntegerScan failure(int number, const char* context) {
    ListIntegerScan scan;
    scan.outcome = Outcome::Failure;
    scan.errorNumber = number;
    scan.context = context;
    return scan;
}

// Walks one record; the end of the record reads as a blank (a separator).
class Cursor {
public:
    explicit Cursor(std::string_view record) : record_(record) {}
    char peek() const { return at_ < record_.size() ? record_[at_] : ' '; }
    bool atEnd() const { return at_ >= record_.size(); }
    void advance() { ++at_; }
    // Consumes a run of digits and returns it.
    std::string_view digits() {
        std::size_t start = at_;
        while (at_ < record_.size() && isDigit(record_[at_])) ++at_;
        return record_.substr(start, at_ - start);
    }

private:
    std::string_view record_;
    std::size_t at_ = 0;
};

// digits * 10^exponent, correctly rounded, then truncated toward zero. The
// record holds at most 25 characters, so at most 25 significant digits.
double decimalValue(std::string_view digits, long exponent) {
    while (!digits.empty() && digits.front() == '0') digits.remove_prefix(1);
    if (digits.empty()) return 0.0;
    if (exponent < -static_cast<long>(digits.size())) return 0.0;  // below 1: truncates to 0
    if (exponent > 400) return std::numeric_limits<double>::infinity();
    char text[64];
    std::memcpy(text, digits.data(), digits.size());
    int tail = std::snprintf(text + digits.size(), sizeof text - digits.size(), "e%ld", exponent);
    const char* end = text + digits.size() + tail;
    double value = 0.0;
    auto result = std::from_chars(text, end, value);
    if (result.ec == std::errc::result_out_of_range) return std::numeric_limits<double>::infinity();
    return std::trunc(value);
}

// One value: [sign] digits [sign digits] (an exponent), or, where a repeat is
// still allowed, a positive count, "*" and a value. After the count's "*" a
// further "*" is a character like any other: it ends the value.
ListIntegerScan scanValue(Cursor& cursor, bool repeatAllowed) {
    bool negative = false;
    bool signed_ = false;
    char c = cursor.peek();
    if (c == '+' || c == '-') {
        negative = c == '-';
        signed_ = true;
        cursor.advance();
        c = cursor.peek();
        if (c == '*' && repeatAllowed) return failure(units::INCOMPREHENSIBLE_LIST_INPUT, "bad repetition count");
        if (c == '.') return failure(units::READ_UNEXPECTED_CHARACTER, "invalid integer");
        // A lone sign, before a blank, a separator, the end or anything else.
        if (!isDigit(c)) return failure(units::INCOMPREHENSIBLE_LIST_INPUT, "invalid number");
    } else if (c == '.') {
        return failure(units::READ_UNEXPECTED_CHARACTER, "invalid integer");
    } else if (c == '*' && repeatAllowed) {
        return failure(units::INCOMPREHENSIBLE_LIST_INPUT, "bad repetition count");
    } else if (!isDigit(c)) {
        return failure(units::INCOMPREHENSIBLE_LIST_INPUT, "invalid number");
    }

    std::string_view digits = cursor.digits();
    c = cursor.peek();
    if (c == '*' && repeatAllowed) {
        bool positive = digits.find_first_not_of('0') != std::string_view::npos;
        if (signed_ || !positive) return failure(units::INCOMPREHENSIBLE_LIST_INPUT, "bad repetition count");
        cursor.advance();
        // "r*" before a blank, a separator or the end is r null values.
        c = cursor.peek();
        if (isBlank(c) || c == ',' || c == '/') return ListIntegerScan{};
        return scanValue(cursor, false);
    }
    if (c == '.' || isExponentLetter(c)) return failure(units::READ_UNEXPECTED_CHARACTER, "invalid integer");

    long exponent = 0;
    if (c == '+' || c == '-') {
        bool exponentNegative = c == '-';
        cursor.advance();
        if (!isDigit(cursor.peek())) return failure(units::INCOMPREHENSIBLE_LIST_INPUT, "exponent field");
        // Capped: beyond a few hundred the value is 0 or infinite anyway.
        for (char d : cursor.digits()) {
            if (exponent < 100000) exponent = exponent * 10 + (d - '0');
        }
        if (exponentNegative) exponent = -exponent;
    }
    // Whatever follows ends the value and is ignored.
    ListIntegerScan scan;
    scan.outcome = Outcome::Value;
    double magnitude = decimalValue(digits, exponent);
    scan.value = negative ? -magnitude : magnitude;
    return scan;
}

std::string describe(double value) {
    char text[32];
    if (std::fabs(value) < 1e15) {
        std::snprintf(text, sizeof text, "%lld", static_cast<long long>(value));
    } else {
        std::snprintf(text, sizeof text, "%.6g", value);
    }
    return text;
}

}  // namespace

ListIntegerScan scanListInteger(std::string_view record) {
    Cursor cursor(record);
    while (!cursor.atEnd() && isBlank(cursor.peek())) cursor.advance();
    if (cursor.atEnd()) return failure(units::END_OF_FILE, "list in");  // no second record to go on to
    char c = cursor.peek();
    if (c == ',' || c == '/') return ListIntegerScan{};
    return scanValue(cursor, true);
}

std::int32_t readOrbitalNumber(const char* argument, std::int32_t orbitalCount) {
    // At most the first 25 characters, padded with blanks; none when missing.
    char buffer[ARGUMENT_BUFFER_LENGTH];
    std::memset(buffer, ' ', sizeof buffer);
    for (std::size_t i = 0; argument != nullptr && i < sizeof buffer && argument[i] != '\0'; ++i) buffer[i] = argument[i];

    units::beginStatement(units::Statement::InternalListRead, -1);
    ListIntegerScan scan = scanListInteger(std::string_view(buffer, sizeof buffer));
    if (scan.outcome == Outcome::Failure) units::endFailedRun(scan.errorNumber, scan.context);
    // No value leaves the number at its initial 0.
    double value = scan.outcome == Outcome::Value ? scan.value : 0.0;
    if (!(value >= 1.0 && value <= static_cast<double>(orbitalCount))) {
        std::string message = "orbital " + describe(value) + " does not exist: FOR013 has ";
        message += orbitalCount == 1 ? "only orbital 1" : "orbitals 1 to " + std::to_string(orbitalCount);
        units::endRejectedRun(message);
    }
    return static_cast<std::int32_t>(value);
}

}  // namespace gridorb::wavefunction
