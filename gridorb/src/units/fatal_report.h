#pragma once

#include <string>

#include "units/error_numbers.h"
#include "units/statement_state.h"

// The fatal input/output report of a failed statement.
namespace gridorb::units {

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
