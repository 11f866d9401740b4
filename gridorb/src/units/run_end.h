#pragma once

#include <string_view>

#include "units/error_numbers.h"

// How a run ends when it cannot go on. The core calls these where the reason
// is known; they live in their own library (gridorb_run_end), so that another
// program linking the core can end a failed run its own way, and the fuzz
// build can hand control back to its target.
namespace gridorb::units {

// A failed statement: the four-line report (writeFatalReport), every unit
// closed, SIGABRT back to its default action, abort.
[[noreturn]] void endFailedRun(int number, const char* context);

// Input outside the limits gridorb supports: the one line on standard
// error, every unit closed, exit status 2. Nothing else is written.
[[noreturn]] void endRejectedRun(std::string_view message);

// Exit at once with `status`; the units are already closed and flushed.
[[noreturn]] void exitRun(int status);

// The statement level's answer to a unit primitive: a failure ends the run.
inline void endRunOn(Failure failure) {
    if (failure) endFailedRun(failure.number, failure.context);
}

}  // namespace gridorb::units
