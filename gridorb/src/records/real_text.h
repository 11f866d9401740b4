#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The texts of numbers in output records. Conversions are exact, correctly
// rounded and independent of the locale: std::to_chars, or integer arithmetic
// giving the same digits for most list reals and fixed fields.
namespace gridorb::records {

// Longest list-directed real text (" -1.17549435E-038" is 17).
inline constexpr std::size_t LIST_REAL_TEXT_CAPACITY = 32;

// The list-directed text of a real: a blank, "-" or a blank, then the
// magnitude in nine significant digits ("  .25", " -7.5", "  1.E+010",
// "  0."); infinities and NaN as "Infinity" and "NaN". Returns its length.
std::size_t listRealText(float value, char out[LIST_REAL_TEXT_CAPACITY]);

// Bytes a field of `width` needs beyond the width itself while it is built.
inline constexpr std::size_t FIELD_SLACK = 48;

// Fields of exactly `width` (>= 1) characters. `out` must have room for
// width + FIELD_SLACK bytes; only the first `width` are the field.
//
// Iw: the value right-justified, "-" counted; w asterisks when too wide.
void integerField(std::int32_t value, std::size_t width, char* out);
// Fw.d: the value widened to double, `fraction` digits after the point;
// a leading "0" is dropped when fraction > 0; a value whose digits are all
// zero has no "-"; w asterisks when the text and sign are too wide.
void fixedField(double value, std::size_t width, std::size_t fraction, char* out);
// A text right-justified with blanks in front; w asterisks when longer.
void rightJustifiedField(std::string_view text, std::size_t width, char* out);
// w asterisks: the mark of a field that cannot hold its item.
void asteriskField(std::size_t width, char* out);

}  // namespace gridorb::records
