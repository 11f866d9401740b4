#include "units/fatal_report.h"

#include <cstring>

#include "units/unit_table.h"

namespace gridorb::units {
namespace {

constexpr const char* LIBRARY_ERROR_TEXTS[] = {
    "error in format",                // 100
    "illegal unit number",            // 101
    "formatted io not allowed",       // 102
    "unformatted io not allowed",     // 103
    "direct io not allowed",          // 104
    "sequential io not allowed",      // 105
    "can't backspace file",           // 106
    "null file name",                 // 107
    "can't stat file",                // 108
    "unit not connected",             // 109
    "off end of record",              // 110
    "truncation failed in endfile",   // 111
    "incomprehensible list input",    // 112
    "out of free space",              // 113
    "unit not connected",             // 114
    "read unexpected character",      // 115
    "bad logical input field",        // 116
    "bad variable type",              // 117
    "bad namelist name",              // 118
    "variable not in namelist",       // 119
    "no end record",                  // 120
    "variable count incorrect",       // 121
    "subscript for scalar variable",  // 122
    "invalid array section",          // 123
    "substring out of bounds",        // 124
    "subscript out of bounds",        // 125
    "can't read file",                // 126
    "can't write file",               // 127
    "'new' file exists",              // 128
    "can't append to file",           // 129
    "non-positive record number",     // 130
    "nmLbuf overflow",                // 131
};

// The report is built in fixed storage: it may be the answer to memory
// running out.
class Line {
public:
    void add(const char* text) { add(text, std::strlen(text)); }
    void add(std::string_view text) { add(text.data(), text.size()); }
    void add(const char* text, std::size_t length) {
        for (std::size_t i = 0; i < length && length_ < sizeof bytes_; ++i) bytes_[length_++] = text[i];
    }
    void addNumber(long value) {
        char digits[24];
        int n = 0;
        unsigned long magnitude = value < 0 ? 0UL - static_cast<unsigned long>(value) : static_cast<unsigned long>(value);
        do {
            digits[n++] = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        } while (magnitude != 0);
        if (value < 0) add("-");
        while (n > 0) add(&digits[--n], 1);
    }
    std::string_view text() const { return {bytes_, length_}; }
    void write() {
        (void)writeRecord(STDERR_UNIT, bytes_, length_);
        length_ = 0;
    }

private:
    char bytes_[512];
    std::size_t length_ = 0;
};

void addFailure(Line& line, int number, const char* context) {
    line.add(context);
    if (number >= 0 && number <= 99) {
        line.add(": ");
        line.add(std::strerror(number));
    } else if (number == END_OF_FILE) {
        line.add(": end of file");
    } else if (const char* text = libraryErrorText(number)) {
        line.add(": ");
        line.add(text);
    } else {
        line.add(": illegal error number ");
        line.addNumber(number);
    }
}

}  // namespace

const char* libraryErrorText(int number) {
    if (number < 100 || number > 131) return nullptr;
    return LIBRARY_ERROR_TEXTS[number - 100];
}

std::string describeFailure(int number, const char* context) {
    Line line;
    addFailure(line, number, context);
    return std::string(line.text());
}

void writeFatalReport(int number, const char* context) {
    Line line;
    addFailure(line, number, context);
    line.write();

    const StatementState& state = statementState();
    if (state.currentUnit >= 0) {
        line.add("apparent state: unit ");
        line.addNumber(state.currentUnit);
        std::string_view name = fileName(state.currentUnit);
        if (name.empty()) {
            line.add(" (unnamed)");
        } else {
            line.add(" named ");
            line.add(name);
        }
    } else {
        line.add("apparent state: internal I/O");
    }
    line.write();

    if (state.formatText != nullptr) {
        line.add("last format: ");
        line.add(state.formatText);
        line.write();
    }

    line.add("lately ");
    line.add(state.reading ? "reading" : "writing");
    line.add(state.sequential ? " sequential" : " direct");
    line.add(state.formatted ? " formatted" : " unformatted");
    line.add(state.external ? " external" : " internal");
    line.add(" IO");
    line.write();
}

}  // namespace gridorb::units
