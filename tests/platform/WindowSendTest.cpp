// Sends within one process: on the window's own thread, across threads,
// with time-outs, copied data, and threads that send to each other.

#include "platform/Window.h"

#include "WindowTestSupport.h"

#include <atomic>
#include <gtest/gtest.h>
#include <thread>

namespace {

using namespace windowtest;
using plat::HWND;
using plat::LRESULT;

// Sends from the test's main thread and between worker threads.
class WindowSendTest : public WindowTest {};

TEST_F(WindowSendTest, ASendToAWindowOfTheCallingThreadCallsItsHandlerAtOnce) {
    mainHandler_.reply = [](const Received& got) { return got.lParam - 1; };
    LRESULT result = 0;
    ASSERT_TRUE(plat::SendMessageTimeout(main_, plat::WM_APP, 0, 100, 0, &result));
    EXPECT_EQ(result, 99);
    ASSERT_EQ(mainHandler_.Count(plat::WM_APP), 1u);
    EXPECT_EQ(mainHandler_.Of(plat::WM_APP)[0].thread, std::this_thread::get_id());
    plat::Msg msg;
    EXPECT_FALSE(plat::PeekMessage(&msg));
}

TEST_F(WindowSendTest, ASendToAnotherThreadsWindowRunsThereAndReturnsTheResult) {
    RecordingHandler workerHandler;
    workerHandler.reply = [](const Received& got) { return static_cast<LRESULT>(got.wParam) * 3; };
    WindowThread worker(&workerHandler);

    LRESULT result = 0;
    ASSERT_TRUE(
        plat::SendMessageTimeout(worker.Window(), plat::WM_APP, 14, 0, kWatchdogMs, &result));
    EXPECT_EQ(result, 42);
    ASSERT_EQ(workerHandler.Count(plat::WM_APP), 1u);
    EXPECT_EQ(workerHandler.Of(plat::WM_APP)[0].thread, worker.Id());

    std::string bytes("copy\0data\xff", 10);
    ASSERT_TRUE(plat::SendCopyData(worker.Window(), main_, plat::CopyData{77, bytes}, kWatchdogMs,
                                   &result));
    std::vector<Received> copies = workerHandler.Of(plat::WM_COPYDATA);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_TRUE(copies[0].hadCopyData);
    EXPECT_EQ(copies[0].wParam, main_);
    EXPECT_EQ(copies[0].copyData.number, 77u);
    EXPECT_EQ(copies[0].copyData.bytes, bytes);
}

TEST_F(WindowSendTest, ASendToAThreadThatDoesNotPumpTimesOut) {
    RecordingHandler idleHandler;
    WindowThread idle(&idleHandler, WindowThread::Mode::Idle);
    LRESULT result = 5;
    EXPECT_FALSE(plat::SendMessageTimeout(idle.Window(), plat::WM_APP, 0, 0, 50, &result));
    EXPECT_EQ(plat::GetLastError(), plat::kErrTimeout);
    EXPECT_EQ(result, 5);
    // The send left behind goes with the thread.
    idle.Finish();
    EXPECT_TRUE(idleHandler.All().empty());
}

TEST_F(WindowSendTest, TwoThreadsSendingToEachOtherBothGetTheirAnswers) {
    RecordingHandler firstHandler, secondHandler;
    Latch bothReady(2);
    std::atomic<LRESULT> firstGot{0}, secondGot{0};
    std::atomic<HWND> firstWindow{0}, secondWindow{0};
    // Each worker, told to go, sends to the other one while the other sends
    // to it: each must serve the incoming send while it waits.
    auto crossSend = [&](const Received& got, std::atomic<HWND>& target,
                         std::atomic<LRESULT>& outcome) -> LRESULT {
        if (got.message == plat::WM_APP + 1) {
            bothReady.arrive_and_wait();
            LRESULT result = 0;
            if (plat::SendMessageTimeout(target, plat::WM_APP + 2, 0, 0, kWatchdogMs, &result))
                outcome = result;
            plat::PostMessage(main_, plat::WM_APP + 3, 0, 0);
            return 0;
        }
        return got.message == plat::WM_APP + 2 ? 1000 + static_cast<LRESULT>(got.window & 0xFF) : 0;
    };
    firstHandler.reply = [&](const Received& got) {
        return crossSend(got, secondWindow, firstGot);
    };
    secondHandler.reply = [&](const Received& got) {
        return crossSend(got, firstWindow, secondGot);
    };
    WindowThread first(&firstHandler), second(&secondHandler);
    firstWindow = first.Window();
    secondWindow = second.Window();

    ASSERT_TRUE(plat::PostMessage(first.Window(), plat::WM_APP + 1, 0, 0));
    ASSERT_TRUE(plat::PostMessage(second.Window(), plat::WM_APP + 1, 0, 0));
    EXPECT_TRUE(PumpUntil([&] { return mainHandler_.Count(plat::WM_APP + 3) == 2; }));
    EXPECT_EQ(firstGot, 1000 + static_cast<LRESULT>(second.Window() & 0xFF));
    EXPECT_EQ(secondGot, 1000 + static_cast<LRESULT>(first.Window() & 0xFF));
    EXPECT_EQ(firstHandler.Of(plat::WM_APP + 2)[0].thread, first.Id());
    EXPECT_EQ(secondHandler.Of(plat::WM_APP + 2)[0].thread, second.Id());
}

TEST_F(WindowSendTest, ASendToAWindowDestroyedBeforeItRanFails) {
    // The worker is kept busy in a posted message until the send is on its
    // way, then destroys its window: the send either finds no window or is
    // dropped with it, and fails the same way.
    Latch entered(1), release(1);
    RecordingHandler workerHandler;
    workerHandler.reply = [&](const Received& got) -> LRESULT {
        if (got.message == plat::WM_APP + 1) {
            entered.count_down();
            release.wait();
            plat::DestroyWindow(got.window);
            plat::PostQuitMessage(0);
        }
        return 7;
    };
    WindowThread worker(&workerHandler);
    ASSERT_TRUE(plat::PostMessage(worker.Window(), plat::WM_APP + 1, 0, 0));
    // Sends run before posted messages: the worker must be busy first.
    entered.wait();
    std::thread releaser([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        release.count_down();
    });
    LRESULT result = 0;
    EXPECT_FALSE(
        plat::SendMessageTimeout(worker.Window(), plat::WM_APP + 2, 0, 0, kWatchdogMs, &result));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidWindowHandle);
    releaser.join();
    EXPECT_EQ(workerHandler.Count(plat::WM_APP + 2), 0u);
    EXPECT_EQ(workerHandler.Count(plat::WM_DESTROY), 1u);
}

} // namespace
