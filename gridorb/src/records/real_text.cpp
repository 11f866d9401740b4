#include "records/real_text.h"

#include <array>
#include <bit>
#include <charconv>
#include <cmath>
#include <cstring>

namespace gridorb::records {
namespace {

constexpr std::string_view INFINITY_TEXT = "Infinity";
constexpr std::string_view NAN_TEXT = "NaN";

// Places "-" (when `minus`) and the text right-justified in the field, or
// fills it with asterisks when they do not fit. The text may lie inside
// the field's own bytes.
void justify(char* out, std::size_t width, bool minus, const char* text, std::size_t length) {
    std::size_t need = length + (minus ? 1 : 0);
    if (need > width) {
        asteriskField(width, out);
        return;
    }
    std::size_t start = width - length;
    if (length > 0) std::memmove(out + start, text, length);
    if (minus) out[--start] = '-';
    std::memset(out, ' ', start);
}

// A magnitude to nine significant digits: `digits` (100000000 to
// 999999999) times 10^(exponent - 8).
struct NineDigits {
    std::uint32_t digits;
    int exponent;
};

constexpr std::uint64_t NINE_DIGITS_END = 1'000'000'000;

using Wide = unsigned __int128;

// 10^0 .. 10^31: a float's 24-bit significand times 10^31 still fits.
constexpr auto POWERS_OF_TEN = [] {
    std::array<Wide, 32> powers{};
    Wide power = 1;
    for (Wide& p : powers) {
        p = power;
        power *= 10;
    }
    return powers;
}();

// quotient + remainder / divisor rounded to nearest, ties to even, as
// to_chars rounds.
std::uint64_t roundedQuotient(std::uint64_t quotient, Wide remainder, Wide divisor) {
    Wide twice = remainder * 2;  // the divisor is at most 2^99
    return quotient + (twice > divisor || (twice == divisor && (quotient & 1) != 0) ? 1 : 0);
}

// A float magnitude as m * 2^e: m below 2^24, and below 2^23 only for a
// subnormal or 0.
struct Binary {
    std::uint64_t m;
    int e;
};

Binary binaryOf(float magnitude) {
    const auto bits = std::bit_cast<std::uint32_t>(magnitude);
    const int biased = static_cast<int>(bits >> 23);
    return {(bits & 0x7FFFFFu) | (biased == 0 ? 0u : 0x800000u), (biased == 0 ? 1 : biased) - 150};
}

// The fixed form of a float below 2^31 in magnitude, `fraction` <= 9
// digits after the point, as to_chars writes it (the integer part, at least
// "0", then "." and the digits): magnitude * 10^fraction is below 2^61 and
// comes exactly from 128-bit integers, rounded to nearest with ties to even.
// to_chars with a precision takes its digits from large tables, which a
// run's first fixed field finds cold. Returns the end, or nullptr for other
// values.
char* fixedDigitsExactly(double value, std::size_t fraction, char* out) {
    const float narrow = static_cast<float>(value);
    if (fraction > 9 || static_cast<double>(narrow) != value || !(std::fabs(narrow) < 0x1p31f)) return nullptr;
    const auto [m, e] = binaryOf(std::fabs(narrow));
    const Wide scaled = Wide{m} * POWERS_OF_TEN[fraction];
    std::uint64_t n = 0;
    if (e >= 0) {
        n = static_cast<std::uint64_t>(scaled << e);
    } else if (-e < 100) {  // from 2^-100 on, scaled (below 2^54) is nearer 0 than 1
        const Wide divisor = Wide{1} << -e;
        n = roundedQuotient(static_cast<std::uint64_t>(scaled >> -e), scaled & (divisor - 1), divisor);
    }
    const auto power = static_cast<std::uint64_t>(POWERS_OF_TEN[fraction]);
    char* end = std::to_chars(out, out + 20, n / power).ptr;
    if (fraction > 0) {
        *end++ = '.';
        std::uint64_t digits = n % power;
        for (std::size_t i = fraction; i > 0; --i, digits /= 10) end[i - 1] = static_cast<char>('0' + digits % 10);
        end += fraction;
    }
    return end;
}

// to_chars with a precision is slow. A float is m * 2^e with m < 2^24, so
// for 2^-76 <= magnitude < 2^64 its nine digits, rounded as to_chars rounds,
// come exactly from 128-bit integers. False outside that range.
bool nineDigitsExactly(float magnitude, NineDigits& result) {
    const auto [m, e] = binaryOf(magnitude);
    if (m < 0x800000) return false;  // subnormal: far below the range
    // floor(log10 2^(e+23)) (exact for |e+23| < 200); the magnitude's decimal
    // exponent is this or one more.
    int exponent = ((e + 23) * 78913) >> 18;
    std::uint64_t quotient = 0;
    Wide remainder = 0;
    Wide divisor = 1;
    if (e < 0) {
        // magnitude * 10^(8 - exponent) = m * 10^(8 - exponent) / 2^-e.
        if (exponent < -23) return false;
        const int shift = -e;  // at most 100 here
        Wide scaled = m * POWERS_OF_TEN[static_cast<std::size_t>(8 - exponent)];
        if ((scaled >> shift) >= NINE_DIGITS_END) {
            ++exponent;
            scaled = m * POWERS_OF_TEN[static_cast<std::size_t>(8 - exponent)];
        }
        quotient = static_cast<std::uint64_t>(scaled >> shift);
        divisor = Wide{1} << shift;
        remainder = scaled & (divisor - 1);
    } else {
        // An integer: exact when it has nine digits or fewer.
        if (e > 40) return false;
        const std::uint64_t integer = m << e;
        if (integer >= POWERS_OF_TEN[static_cast<std::size_t>(exponent + 1)]) ++exponent;
        if (exponent <= 8) {
            result = {static_cast<std::uint32_t>(integer * static_cast<std::uint64_t>(
                                                               POWERS_OF_TEN[static_cast<std::size_t>(8 - exponent)])),
                      exponent};
            return true;
        }
        const auto power = static_cast<std::uint64_t>(POWERS_OF_TEN[static_cast<std::size_t>(exponent - 8)]);
        quotient = integer / power;
        remainder = integer % power;
        divisor = power;
    }
    std::uint64_t digits = roundedQuotient(quotient, remainder, divisor);
    // 999999999.5 and up is the next power of ten. No float in the range
    // rounds so; 1e-23, just below it, does.
    if (digits == NINE_DIGITS_END) {
        digits /= 10;
        ++exponent;
    }
    result = {static_cast<std::uint32_t>(digits), exponent};
    return true;
}

// The same by to_chars, for any finite nonzero magnitude: "d.dddddddde-XX".
NineDigits nineDigitsByToChars(double magnitude) {
    char text[LIST_REAL_TEXT_CAPACITY];
    const char* end = std::to_chars(text, text + sizeof text, magnitude, std::chars_format::scientific, 8).ptr;
    NineDigits result{static_cast<std::uint32_t>(text[0] - '0'), 0};
    for (const char* c = text + 2; c != text + 10; ++c) {
        result.digits = result.digits * 10 + static_cast<std::uint32_t>(*c - '0');
    }
    for (const char* c = text + 12; c != end; ++c) result.exponent = result.exponent * 10 + (*c - '0');
    if (text[11] == '-') result.exponent = -result.exponent;
    return result;
}

// As "%.9G": fixed form for decimal exponents -4..8, else d.ddddddddE+XXX
// with a sign and three exponent digits; trailing zeros dropped, but the
// point always written; no "0" before it (0.5 is ".5").
char* layOut(NineDigits value, char* p) {
    char digits[9];
    for (int i = 8; i >= 0; --i) {
        digits[i] = static_cast<char>('0' + value.digits % 10);
        value.digits /= 10;
    }
    std::size_t count = 9;
    while (digits[count - 1] == '0') --count;  // digits[0] is not '0'
    auto put = [&p](const char* bytes, std::size_t length) {
        std::memcpy(p, bytes, length);
        p += length;
    };
    const int exponent = value.exponent;
    if (exponent >= 0 && exponent <= 8) {
        const auto whole = static_cast<std::size_t>(exponent + 1);
        put(digits, whole);
        *p++ = '.';
        if (count > whole) put(digits + whole, count - whole);
    } else if (exponent < 0 && exponent >= -4) {
        *p++ = '.';
        for (int zeros = -exponent - 1; zeros > 0; --zeros) *p++ = '0';
        put(digits, count);
    } else {
        *p++ = digits[0];
        *p++ = '.';
        put(digits + 1, count - 1);
        *p++ = 'E';
        *p++ = exponent < 0 ? '-' : '+';
        const int size = exponent < 0 ? -exponent : exponent;
        *p++ = static_cast<char>('0' + size / 100);
        *p++ = static_cast<char>('0' + size / 10 % 10);
        *p++ = static_cast<char>('0' + size % 10);
    }
    return p;
}

}  // namespace

std::size_t listRealText(float value, char out[LIST_REAL_TEXT_CAPACITY]) {
    double v = value;  // exact
    char* p = out;
    *p++ = ' ';
    *p++ = v < 0 ? '-' : ' ';  // NaN compares false: no sign
    auto put = [&p](std::string_view text) {
        std::memcpy(p, text.data(), text.size());
        p += text.size();
    };
    if (std::isnan(v)) {
        put(NAN_TEXT);
    } else if (std::isinf(v)) {
        put(INFINITY_TEXT);
    } else if (v == 0) {
        put("0.");
    } else {
        NineDigits digits{};
        if (!nineDigitsExactly(std::fabs(value), digits)) digits = nineDigitsByToChars(std::fabs(v));
        p = layOut(digits, p);
    }
    return static_cast<std::size_t>(p - out);
}

void integerField(std::int32_t value, std::size_t width, char* out) {
    char digits[16];
    char* end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    justify(out, width, false, digits, static_cast<std::size_t>(end - digits));
}

void fixedField(double value, std::size_t width, std::size_t fraction, char* out) {
    if (std::isnan(value)) {
        justify(out, width, false, NAN_TEXT.data(), NAN_TEXT.size());
        return;
    }
    if (std::isinf(value)) {
        justify(out, width, value < 0, INFINITY_TEXT.data(), INFINITY_TEXT.size());
        return;
    }
    // With fraction digits the text is at least "." and the digits; wider
    // than the field, it need not be made. Otherwise it fits the slack:
    // a float has at most 39 digits before the point.
    if (fraction > 0 && fraction >= width) {
        asteriskField(width, out);
        return;
    }
    char* end = fixedDigitsExactly(value, fraction, out);
    if (end == nullptr) {
        end = std::to_chars(out, out + width + FIELD_SLACK, std::fabs(value), std::chars_format::fixed,
                            static_cast<int>(fraction))
                  .ptr;
    }
    if (fraction == 0) *end++ = '.';  // the point is always written
    const char* text = out;
    if (fraction > 0 && *text == '0') ++text;
    bool allZeros = true;
    for (const char* c = text; c != end; ++c) {
        if (*c != '0' && *c != '.') {
            allZeros = false;
            break;
        }
    }
    justify(out, width, value < 0 && !allZeros, text, static_cast<std::size_t>(end - text));
}

void rightJustifiedField(std::string_view text, std::size_t width, char* out) {
    justify(out, width, false, text.data(), text.size());
}

void asteriskField(std::size_t width, char* out) { std::memset(out, '*', width); }

}  // namespace gridorb::records
