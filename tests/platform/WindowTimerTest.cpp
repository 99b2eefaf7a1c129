// Timers: repeating WM_TIMER in the owner's loop, restart, KillTimer.

#include "platform/Window.h"

#include "WindowTestSupport.h"

#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace windowtest;
using plat::HWND;

// Timers of the main window, pumped on the test's main thread.
class WindowTimerTest : public WindowTest {
protected:
    // WM_TIMER messages of one timer that reached the main window.
    std::size_t Ticks(std::uint64_t id) const {
        std::size_t count = 0;
        for (const Received& got : mainHandler_.Of(plat::WM_TIMER))
            count += got.wParam == id ? 1 : 0;
        return count;
    }
};

TEST_F(WindowTimerTest, ATimerRepeatsUntilKilledFromItsOwnHandler) {
    // Timer 1 kills itself at its third tick and starts timer 2, whose tick
    // ends the test: no tick of timer 1 may come after the kill.
    std::size_t ticksAfterKill = 0;
    bool killed = false, done = false;
    mainHandler_.reply = [&](const Received& got) -> plat::LRESULT {
        if (got.message != plat::WM_TIMER)
            return 0;
        EXPECT_EQ(got.window, main_);
        if (got.wParam == 1 && killed)
            ++ticksAfterKill;
        if (got.wParam == 1 && Ticks(1) == 3) {
            EXPECT_TRUE(plat::KillTimer(main_, 1));
            killed = true;
            EXPECT_EQ(plat::SetTimer(main_, 2, 40), 2u);
        }
        if (got.wParam == 2) {
            EXPECT_TRUE(plat::KillTimer(main_, 2));
            done = true;
        }
        return 0;
    };
    ASSERT_EQ(plat::SetTimer(main_, 1, 10), 1u);
    EXPECT_TRUE(PumpUntil([&] { return done; }));
    EXPECT_EQ(Ticks(1), 3u);
    EXPECT_EQ(ticksAfterKill, 0u);
    EXPECT_EQ(Ticks(2), 1u);
    EXPECT_FALSE(plat::KillTimer(main_, 1));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidParameter);
}

TEST_F(WindowTimerTest, TimersTickSideBySideAndRestartWithTheNewPeriod) {
    ASSERT_EQ(plat::SetTimer(main_, 11, 10), 11u);
    // With its first period timer 12 would not tick before the watchdog.
    ASSERT_EQ(plat::SetTimer(main_, 12, 0x7FFFFFFF), 12u);
    ASSERT_EQ(plat::SetTimer(main_, 12, 15), 12u);
    EXPECT_TRUE(PumpUntil([&] { return Ticks(11) >= 3 && Ticks(12) >= 3; }));
    EXPECT_TRUE(plat::KillTimer(main_, 11));
    EXPECT_TRUE(plat::KillTimer(main_, 12));
}

TEST_F(WindowTimerTest, KillTimerDropsATickThatIsAlreadyDue) {
    ASSERT_EQ(plat::SetTimer(main_, 4, 10), 4u);
    std::this_thread::sleep_for(std::chrono::milliseconds(40));
    EXPECT_TRUE(plat::KillTimer(main_, 4));
    plat::Msg msg;
    EXPECT_FALSE(plat::PeekMessage(&msg));
}

TEST_F(WindowTimerTest, TimersNeedAWindowOfTheCallingThreadAndAnId) {
    EXPECT_EQ(plat::SetTimer(main_, 0, 10), 0u);
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidParameter);
    HWND gone = MakeWindow(L"LauncherTestGone", nullptr);
    ASSERT_TRUE(plat::DestroyWindow(gone));
    EXPECT_EQ(plat::SetTimer(gone, 1, 10), 0u);
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidWindowHandle);
    EXPECT_FALSE(plat::KillTimer(gone, 1));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidWindowHandle);
}

} // namespace
