// Two jobs where no second thread can start: the helper's share is done
// after the main one's, on the calling thread, and the main job is told it
// runs alone.
#include <gtest/gtest.h>

#include <string>
#include <system_error>
#include <thread>

#include "standin/platform/alongside.h"

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

} // namespace
