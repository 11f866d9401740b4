#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

// A formatted WRITE statement under one of the four formats gridorb writes:
// "(A)", "(4I5)", "(8F10.6)" and "(2(A,I5))". Any other text ends the run
// (error 100, "startio") before the unit is touched.
//
//   FormattedWrite(6, "(2(A,I5))").text("PROCESSING ATOM NUMBER ").integer(1)
//       .text(" ATOMIC NUMBER ").integer(6).end();
//
// The items take the format's fields in turn. When they outrun the format,
// the record ends and the format starts again at its last top-level group,
// which for these four is their first field. A text under A is written as
// it is, under Iw or Fw.d right-justified in the field (the coordinate
// listing's label); an integer goes under Iw, a real under Fw.d. A number
// under a field that cannot edit it fills the field with asterisks.
namespace gridorb::records {

class FormattedWrite {
public:
    // `format` must outlive the statement: the fatal report shows it.
    FormattedWrite(int unit, const char* format);
    FormattedWrite(const FormattedWrite&) = delete;
    FormattedWrite& operator=(const FormattedWrite&) = delete;
    ~FormattedWrite();

    FormattedWrite& integer(std::int32_t value);
    FormattedWrite& real(float value);
    FormattedWrite& text(std::string_view value);
    // The same as integer() for each value in turn; "(4I5)", the volume
    // file's blocks, goes by whole records.
    FormattedWrite& integers(std::span<const std::int32_t> values);
    // The same as integer(0) `count` times; under "(4I5)" the whole records
    // of zeros go out without being laid out.
    FormattedWrite& zeros(std::size_t count);
    void end();

    struct Field {
        char code;  // 'A', 'I' or 'F'
        std::uint8_t width;
        std::uint8_t fraction;
    };

private:
    const Field& nextField();

    int unit_;
    const char* format_;
    std::span<const Field> fields_;
    std::size_t used_ = 0;  // fields of the current pass already taken
};

}  // namespace gridorb::records
