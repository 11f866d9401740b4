#include "fuzz_support.h"

#include <unistd.h>

#include <cstdlib>

#include "units/fatal_report.h"
#include "units/run_end.h"
#include "units/unit_table.h"

namespace gridorb::fuzzsupport {
namespace {

// Taken before libFuzzer's main can point descriptor 2 at /dev/null.
const int g_reportDescriptor = ::dup(2);

void say(const std::string& text) {
    const char* bytes = text.data();
    std::size_t left = text.size();
    while (left > 0) {
        ssize_t n = ::write(g_reportDescriptor, bytes, left);
        if (n <= 0) return;
        bytes += n;
        left -= static_cast<std::size_t>(n);
    }
}

}  // namespace

[[noreturn]] void propertyFailed(const char* condition, const char* file, int line, const std::string& detail) {
    say(std::string("property broken at ") + file + ":" + std::to_string(line) + ": " + condition + "\n  " + detail + "\n");
    std::abort();
}

}  // namespace gridorb::fuzzsupport

// The fuzz build's end of a run: back to the target instead of out of the
// process. The report is written and the units are closed as before a real end.
namespace gridorb::units {

[[noreturn]] void endFailedRun(int number, const char* context) {
    writeFatalReport(number, context);
    flushStandardStreams();
    closeAllUnits();
    flushStandardStreams();
    throw fuzzsupport::RunEnded{fuzzsupport::RunEnded::Kind::Aborted, 0};
}

[[noreturn]] void endRejectedRun(std::string_view message) {
    (void)writeRecord(STDERR_UNIT, message.data(), message.size());
    closeAllUnits();
    flushStandardStreams();
    exitRun(2);
}

[[noreturn]] void exitRun(int status) { throw fuzzsupport::RunEnded{fuzzsupport::RunEnded::Kind::Exited, status}; }

}  // namespace gridorb::units
