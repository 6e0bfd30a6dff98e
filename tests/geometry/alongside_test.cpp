// Two jobs where no second thread can start: the helper's share is done
// after the main one's, on the calling thread, and the main job is told it
// runs alone; and two threads in lockstep, meeting between their steps.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <system_error>
#include <thread>

#include "standin/platform/alongside.h"
#include "standin/platform/meeting.h"

namespace {

// A thread that the system refuses, as std::thread throws when it is out
// of threads or memory.
struct RefusedThread {
    RefusedThread() = default;
    template <typename F>
    explicit RefusedThread(F &&) {
        throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    }
    void join() { ADD_FAILURE() << "a thread that never started was joined"; }
};

TEST(Alongside, whenNoThreadStartsTheHelpersShareFollowsTheMainOneHere) {
    const std::thread::id here = std::this_thread::get_id();
    std::string order;
    standin::platform::alongside<RefusedThread>(
        true,
        [&] {
            EXPECT_EQ(std::this_thread::get_id(), here);
            order += "helper ";
        },
        [&](bool alone) { order += alone ? "main alone, " : "main beside the helper, "; });
    EXPECT_EQ(order, "main alone, helper ");
}

// Each step, each thread writes its step's number and then, once both have
// met, reads the other's: it finds its own step's, every time, and neither
// thread waits for ever (a lost wake-up hangs the test until its timeout).
TEST(Meeting, neitherThreadStepsAheadOfTheOtherAndBothAlwaysGoOn) {
    constexpr uint32_t kSteps = 100000;
    standin::platform::Meeting meeting;
    std::atomic<uint32_t> step[2] = {0, 0};
    uint32_t behind[2] = {0, 0};
    const auto walk = [&](int self) {
        for (uint32_t k = 1; k <= kSteps; ++k) {
            step[self].store(k, std::memory_order_relaxed);
            standin::platform::meet(&meeting);
            behind[self] += step[1 - self].load(std::memory_order_relaxed) != k;
            standin::platform::meet(&meeting);
        }
    };
    std::thread other(walk, 1);
    walk(0);
    other.join();
    EXPECT_EQ(behind[0], 0u);
    EXPECT_EQ(behind[1], 0u);
}

} // namespace
