#pragma once

#include <string>

// The end of a failed or rejected read of FOR013, as gridorb-export links it:
// instead of the fatal report and abort, or the line and exit, the reader's
// own words travel up as one of these exceptions to the caller, which
// reports them in one line.
namespace gridorb::exporter {

struct FailedRead {
    std::string reason;  // "do_us: off end of record"
};

struct RejectedRead {
    std::string message;  // "FOR013: 60 atoms; at most 50 are supported"
};

}  // namespace gridorb::exporter
