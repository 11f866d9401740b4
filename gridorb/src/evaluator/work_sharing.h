#pragma once

#include <functional>

// Numbered units of work shared between the calling thread and helper
// threads that live for the whole process.
namespace gridorb::evaluator {

inline constexpr int MAX_THREADS = 8;

// Runs unit(0) .. unit(count - 1), each exactly once, on the calling thread
// and up to threadCount - 1 helpers; returns when all have run. Units are
// claimed in ascending order, so a unit may wait for earlier ones. The
// caller never waits for a helper that has not claimed a unit: a helper that
// the system has not scheduled yet delays nothing. One run at a time.
void runUnits(int threadCount, int count, const std::function<void(int)>& unit);

}  // namespace gridorb::evaluator
