#pragma once

#include <string>
#include <string_view>

// The fatal input/output report and the statement state that it shows.
namespace gridorb::units {

// Error numbers: 0..99 a system error (errno), -1 end of file, 100..131 the
// record library's own errors below.
inline constexpr int END_OF_FILE = -1;
inline constexpr int ERROR_IN_FORMAT = 100;
inline constexpr int NULL_FILE_NAME = 107;
inline constexpr int OFF_END_OF_RECORD = 110;
inline constexpr int TRUNCATION_FAILED = 111;
inline constexpr int INCOMPREHENSIBLE_LIST_INPUT = 112;
inline constexpr int OUT_OF_FREE_SPACE = 113;
inline constexpr int READ_UNEXPECTED_CHARACTER = 115;
inline constexpr int CANT_WRITE_FILE = 127;

// What the report's second to fourth lines show. Each statement sets it as
// it starts; the fields keep their values otherwise.
struct StatementState {
    int currentUnit = -1;            // -1: none, an internal read
    const char* formatText = nullptr;  // "list io", a format text, or none
    bool reading = false;            // off prints "writing"
    bool sequential = false;         // off prints "direct"
    bool formatted = false;          // off prints "unformatted"
    bool external = false;           // off prints "internal"
};

StatementState& statementState();

// The text of error number 100..131, or nullptr outside that range.
const char* libraryErrorText(int number);

// The four-line report of a failed statement on standard error (unit 0):
// what failed and why, then the statement state. Allocates nothing.
void writeFatalReport(int number, const char* context);

// The report's first line alone, e.g. "do_us: off end of record" or
// "open: No such file or directory". The file concerned is
// fileName(statementState().currentUnit).
std::string describeFailure(int number, const char* context);

}  // namespace gridorb::units
