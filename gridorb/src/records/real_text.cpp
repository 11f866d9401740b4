#include "records/real_text.h"

#include <algorithm>
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
        // As "%.9G": nine significant digits, fixed form for decimal
        // exponents -4..8, trailing zeros and a bare point removed.
        char digits[LIST_REAL_TEXT_CAPACITY];
        char* end = std::to_chars(digits, digits + sizeof digits, std::fabs(v), std::chars_format::general, 9).ptr;
        const char* mantissa = digits;
        if (*mantissa == '0') ++mantissa;  // 0.5 is written ".5"
        const char* exponent = std::find(mantissa, static_cast<const char*>(end), 'e');
        put({mantissa, static_cast<std::size_t>(exponent - mantissa)});
        if (std::find(mantissa, exponent, '.') == exponent) *p++ = '.';
        if (exponent != end) {
            // "e+10" becomes "E+010": always a sign and three digits.
            *p++ = 'E';
            *p++ = exponent[1];
            const char* expDigits = exponent + 2;
            for (std::ptrdiff_t n = end - expDigits; n < 3; ++n) *p++ = '0';
            put({expDigits, static_cast<std::size_t>(end - expDigits)});
        }
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
    char* end = std::to_chars(out, out + width + FIELD_SLACK, std::fabs(value), std::chars_format::fixed,
                              static_cast<int>(fraction))
                    .ptr;
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
