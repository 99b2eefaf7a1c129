// Posting, the message loop and window lifetime within one process.

#include "platform/Window.h"

#include "WindowTestSupport.h"
#include "platform/Process.h"

#include <atomic>
#include <gtest/gtest.h>
#include <map>
#include <thread>

namespace {

using namespace windowtest;
using plat::HWND;
using plat::Msg;

// Queue tests on the test's main thread, with workers where a test needs them.
class WindowQueueTest : public WindowTest {};

TEST_F(WindowQueueTest, PostedMessagesArriveInOrderAndDispatchReachesTheirWindow) {
    RecordingHandler& otherHandler = NewHandler();
    HWND other = MakeWindow(L"LauncherTestOther", &otherHandler);
    mainHandler_.reply = [](const Received& got) {
        return static_cast<plat::LRESULT>(got.wParam) * 10;
    };

    ASSERT_TRUE(plat::PostMessage(main_, plat::WM_APP + 1, 1, -1));
    ASSERT_TRUE(plat::PostMessage(other, plat::WM_APP + 2, 2, -2));
    ASSERT_TRUE(plat::PostMessage(main_, plat::WM_APP + 3, 3, -3));

    const std::uint32_t expected[] = {plat::WM_APP + 1, plat::WM_APP + 2, plat::WM_APP + 3};
    std::vector<plat::LRESULT> results;
    for (std::uint32_t message : expected) {
        Msg msg;
        ASSERT_EQ(plat::GetMessage(&msg), 1);
        EXPECT_EQ(msg.message, message);
        EXPECT_EQ(msg.window, message == plat::WM_APP + 2 ? other : main_);
        EXPECT_EQ(msg.lParam, -static_cast<plat::LPARAM>(msg.wParam));
        results.push_back(plat::DispatchMessage(msg));
    }
    EXPECT_EQ(results, (std::vector<plat::LRESULT>{10, 0, 30}));
    ASSERT_EQ(mainHandler_.All().size(), 2u);
    EXPECT_EQ(mainHandler_.All()[1].message, plat::WM_APP + 3);
    EXPECT_EQ(otherHandler.Count(plat::WM_APP + 2), 1u);
    Msg msg;
    EXPECT_FALSE(plat::PeekMessage(&msg));
}

TEST_F(WindowQueueTest, QuitComesOnceAfterEveryPostedMessage) {
    ASSERT_TRUE(plat::PostMessage(main_, plat::WM_APP, 1, 0));
    plat::PostQuitMessage(7);
    ASSERT_TRUE(plat::PostMessage(main_, plat::WM_APP, 2, 0));

    Msg msg;
    ASSERT_EQ(plat::GetMessage(&msg), 1);
    EXPECT_EQ(msg.wParam, 1u);
    ASSERT_EQ(plat::GetMessage(&msg), 1);
    EXPECT_EQ(msg.wParam, 2u);
    ASSERT_EQ(plat::GetMessage(&msg), 0);
    EXPECT_EQ(msg.message, plat::WM_QUIT);
    EXPECT_EQ(msg.wParam, 7u);
    EXPECT_FALSE(plat::PeekMessage(&msg));

    // Through PeekMessage the quit message comes out like any other.
    plat::PostQuitMessage(3);
    ASSERT_TRUE(plat::PeekMessage(&msg));
    EXPECT_EQ(msg.message, plat::WM_QUIT);
    EXPECT_EQ(msg.wParam, 3u);
}

TEST_F(WindowQueueTest, AThreadWithoutQueueHasNoMessages) {
    int got = 0;
    bool peeked = true;
    std::thread([&] {
        Msg msg;
        got = plat::GetMessage(&msg);
        peeked = plat::PeekMessage(&msg);
    }).join();
    EXPECT_EQ(got, -1);
    EXPECT_FALSE(peeked);
}

TEST_F(WindowQueueTest, PostsFromOtherThreadsWakeTheLoopAndKeepEachSendersOrder) {
    constexpr int kThreads = 4;
    constexpr int kPerThread = 200;
    std::vector<std::thread> posters;
    for (int t = 0; t < kThreads; ++t) {
        posters.emplace_back([this, t] {
            // Give the main thread time to go to sleep in GetMessage first.
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            for (int i = 0; i < kPerThread; ++i)
                plat::PostMessage(main_, plat::WM_APP, static_cast<plat::WPARAM>(t), i);
        });
    }
    EXPECT_TRUE(
        PumpUntil([&] { return mainHandler_.Count(plat::WM_APP) == kThreads * kPerThread; }));
    for (std::thread& poster : posters)
        poster.join();

    std::map<plat::WPARAM, plat::LPARAM> next;
    for (const Received& got : mainHandler_.Of(plat::WM_APP)) {
        EXPECT_EQ(got.lParam, next[got.wParam]) << "thread " << got.wParam;
        next[got.wParam] = got.lParam + 1;
    }
}

TEST_F(WindowQueueTest, DestroyWindowSendsWmDestroyAndDropsWhatWasPending) {
    RecordingHandler& doomedHandler = NewHandler();
    HWND doomed = MakeWindow(L"LauncherTestDoomed", &doomedHandler);
    bool aliveDuringDestroy = false;
    doomedHandler.reply = [&](const Received& got) -> plat::LRESULT {
        if (got.message == plat::WM_DESTROY)
            aliveDuringDestroy = plat::IsWindow(got.window);
        return 0;
    };
    ASSERT_TRUE(plat::PostMessage(doomed, plat::WM_APP, 1, 0));
    ASSERT_TRUE(plat::PostMessage(main_, plat::WM_APP, 2, 0));
    ASSERT_TRUE(plat::PostMessage(doomed, plat::WM_APP, 3, 0));
    ASSERT_EQ(plat::SetTimer(doomed, 5, 10), 5u);

    ASSERT_TRUE(plat::DestroyWindow(doomed));
    EXPECT_TRUE(aliveDuringDestroy);
    EXPECT_EQ(doomedHandler.Count(plat::WM_DESTROY), 1u);
    EXPECT_FALSE(plat::IsWindow(doomed));

    // Only the other window's message is left; a marker posted after the
    // timer's period shows no WM_TIMER either.
    std::this_thread::sleep_for(std::chrono::milliseconds(30));
    ASSERT_TRUE(plat::PostMessage(main_, plat::WM_APP, 4, 0));
    Msg msg;
    ASSERT_EQ(plat::GetMessage(&msg), 1);
    EXPECT_EQ(msg.wParam, 2u);
    ASSERT_EQ(plat::GetMessage(&msg), 1);
    EXPECT_EQ(msg.wParam, 4u);
    EXPECT_FALSE(plat::PeekMessage(&msg));

    EXPECT_FALSE(plat::PostMessage(doomed, plat::WM_APP, 0, 0));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidWindowHandle);
    EXPECT_FALSE(plat::SendMessageTimeout(doomed, plat::WM_APP, 0, 0, 100, nullptr));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidWindowHandle);
    EXPECT_FALSE(plat::DestroyWindow(doomed));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidWindowHandle);
    EXPECT_FALSE(plat::PostMessage(0, plat::WM_APP, 0, 0));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidWindowHandle);
    EXPECT_EQ(doomedHandler.All().size(), 1u);
}

TEST_F(WindowQueueTest, HandlesNameTheProcessAndAreNeverReused) {
    HWND first = MakeWindow(L"LauncherTestHandle", nullptr, false, L"first");
    HWND second = MakeWindow(L"LauncherTestHandle", nullptr);
    EXPECT_EQ(plat::ProcessIdOfWindow(first), plat::GetCurrentProcessId());
    EXPECT_NE(first, second);
    ASSERT_TRUE(plat::DestroyWindow(first));
    HWND third = MakeWindow(L"LauncherTestHandle", nullptr);
    EXPECT_NE(third, first);
    EXPECT_NE(third, second);

    std::wstring text;
    ASSERT_TRUE(plat::GetWindowClassName(second, &text));
    EXPECT_EQ(text, L"LauncherTestHandle");
    ASSERT_TRUE(plat::SetWindowText(second, L"renamed \u00e9"));
    ASSERT_TRUE(plat::GetWindowText(second, &text));
    EXPECT_EQ(text, L"renamed \u00e9");
    EXPECT_FALSE(plat::GetWindowText(first, &text));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidWindowHandle);
    // A window without handler takes messages and answers 0.
    plat::LRESULT result = -1;
    ASSERT_TRUE(plat::SendMessageTimeout(second, plat::WM_APP, 1, 1, 100, &result));
    EXPECT_EQ(result, 0);
}

TEST_F(WindowQueueTest, AnotherThreadsWindowIsLeftToThatThread) {
    RecordingHandler workerHandler;
    WindowThread worker(&workerHandler, WindowThread::Mode::Idle);
    HWND window = worker.Window();

    EXPECT_FALSE(plat::DestroyWindow(window));
    EXPECT_EQ(plat::GetLastError(), plat::kErrAccessDenied);
    EXPECT_EQ(plat::SetTimer(window, 1, 10), 0u);
    EXPECT_EQ(plat::GetLastError(), plat::kErrAccessDenied);
    EXPECT_EQ(plat::DispatchMessage(Msg{window, plat::WM_APP, 0, 0, {}}), 0);
    EXPECT_TRUE(workerHandler.All().empty());

    // The windows of a thread end with it.
    worker.Finish();
    EXPECT_FALSE(plat::IsWindow(window));
    EXPECT_FALSE(plat::PostMessage(window, plat::WM_APP, 0, 0));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidWindowHandle);
}

} // namespace
