#pragma once

#include <string>

// What the fuzz targets share: the end of a run that returns to them, and a
// check that reports a broken property as a crash.
namespace gridorb::fuzzsupport {

// Thrown by the fuzz build's end of a run (fuzz_support.cpp) where the
// program would abort or exit; the target catches it and goes on with the
// next input.
struct RunEnded {
    enum class Kind { Aborted, Exited };
    Kind kind = Kind::Aborted;
    int status = 0;  // Exited only
};

// The message on the fuzzer's own error output (standard error as it was at
// start-up, so that -close_fd_mask=2 does not swallow it), then abort: the
// fuzzer keeps the input as a crash.
[[noreturn]] void propertyFailed(const char* condition, const char* file, int line, const std::string& detail);

}  // namespace gridorb::fuzzsupport

#define FUZZ_CHECK(condition, detail)                                                                  \
    do {                                                                                               \
        if (!(condition)) ::gridorb::fuzzsupport::propertyFailed(#condition, __FILE__, __LINE__, detail); \
    } while (false)
