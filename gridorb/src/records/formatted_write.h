#pragma once

#include <cstdint>
#include <span>
#include <string_view>

// A formatted WRITE statement under a format text such as "(4I5)",
// "(8F10.6)" or "(2(A,I5))". The format is parsed once, when the statement
// starts; a text that cannot be parsed ends the run (error 100, "startio").
//
//   FormattedWrite(6, "(2(A,I5))").text("PROCESSING ATOM NUMBER ").integer(1)
//       .text(" ATOMIC NUMBER ").integer(6).end();
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
    // The same as integer() for each value in turn.
    FormattedWrite& integers(std::span<const std::int32_t> values);
    void end();

private:
    struct Parsed;
    int unit_;
    Parsed* parsed_;
};

}  // namespace gridorb::records
