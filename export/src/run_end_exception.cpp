// gridorb-export's end of a failed or rejected read, linked in place of
// gridorb's: the reader's own words go up to the caller as an exception, to be
// reported in one line, instead of the fatal report's four lines and abort.
#include "run_end_exception.h"

#include <cstdlib>

#include "units/fatal_report.h"
#include "units/run_end.h"
#include "units/unit_table.h"

namespace gridorb::units {

[[noreturn]] void endFailedRun(int number, const char* context) {
    std::string reason = describeFailure(number, context);
    closeAllUnits();
    throw exporter::FailedRead{std::move(reason)};
}

[[noreturn]] void endRejectedRun(std::string_view message) {
    closeAllUnits();
    throw exporter::RejectedRead{std::string(message)};
}

[[noreturn]] void exitRun(int status) { std::_Exit(status); }

}  // namespace gridorb::units
