#include <gtest/gtest.h>

#include <atomic>
#include <vector>

#include "evaluator/work_sharing.h"

namespace gridorb::evaluator {
namespace {

// Many short runs back to back: a helper still busy with, or waking for, an
// earlier run must never run a unit of a later one twice or miss one.
TEST(WorkSharing, EveryUnitRunsOnceInEveryRun) {
    for (int threads : {1, 2, 3, MAX_THREADS + 4}) {
        for (int run = 0; run < 200; ++run) {
            const int count = run % 7 == 0 ? 0 : 1 + (run * 37) % 120;
            std::vector<std::atomic<int>> runs(static_cast<std::size_t>(count));
            runUnits(threads, count, [&](int unit) { runs[static_cast<std::size_t>(unit)].fetch_add(1); });
            for (int unit = 0; unit < count; ++unit) ASSERT_EQ(runs[unit].load(), 1) << threads << " " << run << " " << unit;
        }
    }
}

// Units are claimed in order, so units that wait for all earlier ones (as
// the planes wait for the atoms) finish with any number of threads.
TEST(WorkSharing, LaterUnitsMayWaitForEarlierOnes) {
    for (int threads : {1, 2, 5}) {
        std::atomic<int> firstDone{0};
        std::atomic<int> later{0};
        runUnits(threads, 40, [&](int unit) {
            if (unit < 8) {
                if (firstDone.fetch_add(1) + 1 == 8) firstDone.notify_all();
                return;
            }
            for (int done = firstDone.load(); done < 8; done = firstDone.load()) firstDone.wait(done);
            later.fetch_add(1);
        });
        EXPECT_EQ(later.load(), 32);
    }
}

}  // namespace
}  // namespace gridorb::evaluator
