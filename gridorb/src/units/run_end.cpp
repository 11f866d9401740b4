#include "units/run_end.h"

#include <signal.h>

#include <cstdlib>

#include "units/fatal_report.h"
#include "units/unit_table.h"

namespace gridorb::units {

[[noreturn]] void endFailedRun(int number, const char* context) {
    writeFatalReport(number, context);
    // Every file keeps exactly the records completed before the failure, and
    // the console keeps every line written before it.
    flushStandardStreams();
    closeAllUnits();
    flushStandardStreams();
    // A handler of the program's own would otherwise turn the abort into an
    // orderly exit.
    ::signal(SIGABRT, SIG_DFL);
    std::abort();
}

[[noreturn]] void endRejectedRun(std::string_view message) {
    (void)writeRecord(STDERR_UNIT, message.data(), message.size());
    closeAllUnits();
    flushStandardStreams();
    exitRun(2);
}

[[noreturn]] void exitRun(int status) { std::_Exit(status); }

}  // namespace gridorb::units
