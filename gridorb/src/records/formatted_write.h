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
//
// Descriptors: A (the text as it is), Aw, Iw and Fw.d, with repeat counts
// and groups. An item of another kind than its descriptor edits: a text
// under I or F is right-justified in the field (the coordinate listing's
// label); an integer under F is edited as the real it exactly is; a real
// under I and a number under A fill the field with asterisks (A without a
// width: four, the item's length).
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
