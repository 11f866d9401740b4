// The run's helper thread: the pages it warms keep their contents (the main
// thread may be filling them at the time), it runs the job it is handed, and
// a job it has not begun is taken back.
#include <gtest/gtest.h>

#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <span>
#include <thread>
#include <vector>

#include "evaluator/helper_thread.h"

namespace gridorb::evaluator {
namespace {

constexpr std::size_t PAGES = 64;

TEST(HelperThread, WarmsPagesWithoutChangingThemThenRunsItsJob) {
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    std::vector<std::byte> written(PAGES * page);
    for (std::size_t i = 0; i < written.size(); ++i) written[i] = static_cast<std::byte>(i * 7 + 1);
    const std::vector<std::byte> expected = written;
    void* fresh = ::mmap(nullptr, PAGES * page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    ASSERT_NE(fresh, MAP_FAILED);
    const std::span<std::byte> untouched(static_cast<std::byte*>(fresh), PAGES * page);

    std::atomic<bool> ran = false;
    {
        HelperThread helper(written, untouched);
        ASSERT_TRUE(helper.started());
        helper.run([](void* flag) { static_cast<std::atomic<bool>*>(flag)->store(true); }, &ran);
        // Once the thread has begun the job, finish() waits for it rather than taking it back.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
        while (!ran.load() && std::chrono::steady_clock::now() < deadline) std::this_thread::yield();
        EXPECT_TRUE(helper.finish());
        EXPECT_TRUE(ran.load());
    }
    EXPECT_EQ(written, expected);
    std::vector<unsigned char> resident(PAGES);
    ASSERT_EQ(::mincore(fresh, PAGES * page, resident.data()), 0);
    // Every page is in (where the system can populate pages at all: Linux 5.14 on), and still zeros.
    void* probe = ::mmap(nullptr, page, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (::madvise(probe, page, MADV_POPULATE_WRITE) == 0) {
        for (unsigned char r : resident) EXPECT_TRUE(r & 1);
    }
    for (std::byte b : untouched) ASSERT_EQ(b, std::byte{0});
    ::munmap(probe, page);
    ::munmap(fresh, PAGES * page);
}

// A job the thread has not begun is taken back and never runs; a helper
// handed no job ends when the object goes.
TEST(HelperThread, AJobNotBegunIsTakenBack) {
    const std::size_t page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    std::vector<std::byte> warming(4096 * page);  // keeps the thread busy before it looks for a job
    bool ran = false;
    bool began;
    {
        HelperThread helper(warming);
        helper.run([](void* flag) { *static_cast<bool*>(flag) = true; }, &ran);
        began = helper.finish();
    }
    EXPECT_EQ(ran, began);
    HelperThread idle;
    EXPECT_TRUE(idle.started());
}

// Two helpers at once (one on the static stack, one on the system's) each
// run their own job.
TEST(HelperThread, TwoAtOnceRunTheirOwnJobs) {
    std::atomic<int> first = 0, second = 0;
    {
        HelperThread a, b;
        auto count = [](void* n) { static_cast<std::atomic<int>*>(n)->fetch_add(1); };
        a.run(count, &first);
        b.run(count, &second);
        EXPECT_EQ(first.load(), a.finish() ? 1 : 0);
        EXPECT_EQ(second.load(), b.finish() ? 1 : 0);
    }
    HelperThread again;  // the static stack is free again
    int ran = 0;
    again.run([](void* n) { ++*static_cast<int*>(n); }, &ran);
    EXPECT_EQ(ran, again.finish() ? 1 : 0);
}

}  // namespace
}  // namespace gridorb::evaluator
