#include "base/ManualResetEvent.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

TEST(ManualResetEventTest, StaysSetForEveryWaiterUntilReset) {
    CManualResetEvent event;
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.Wait(0));
    EXPECT_FALSE(event.Wait(20)); // times out
    std::atomic<int> through{0};
    std::vector<std::thread> waiters;
    for (int i = 0; i < 4; ++i)
        waiters.emplace_back([&] {
            if (event.Wait(-1))
                ++through;
        });
    event.Set();
    for (auto& waiter : waiters)
        waiter.join();
    EXPECT_EQ(through.load(), 4);
    // Still set: a later wait passes at once, as often as it is asked.
    EXPECT_TRUE(event.Wait(0));
    EXPECT_TRUE(event.Wait(0));
    event.Reset();
    EXPECT_FALSE(event.IsSet());
    EXPECT_FALSE(event.Wait(0));
}

TEST(ManualResetEventTest, TheRiserSetsTheEventHoweverItsScopeIsLeft) {
    CManualResetEvent event;
    auto leaveEarly = [&](bool early) {
        CEventRiser riser(&event);
        if (early)
            return 1;
        return 2;
    };
    EXPECT_EQ(leaveEarly(true), 1);
    EXPECT_TRUE(event.IsSet());
    event.Reset();
    EXPECT_EQ(leaveEarly(false), 2);
    EXPECT_TRUE(event.IsSet());
    { CEventRiser none(nullptr); } // without an event it does nothing
}

} // namespace
