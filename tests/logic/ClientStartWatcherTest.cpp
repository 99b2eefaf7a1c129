#include "logic/ClientLaunch.h"

#include "assistant/ProcessKill.h"
#include "platform/CommandLine.h"
#include "platform/NamedEvent.h"
#include "platform/Process.h"
#include "platform/Unicode.h"
#include "platform/Window.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

namespace {

constexpr std::uint32_t kConfirmed = plat::WM_APP + 1;
constexpr std::uint32_t kFailed = plat::WM_APP + 2;

class NoHandler final : public plat::IWindowHandler {
public:
    plat::LRESULT HandleWindowMessage(plat::HWND, std::uint32_t, plat::WPARAM, plat::LPARAM,
                                      const plat::CopyData*) override {
        return 0;
    }
};

// The watcher's result as its window gets it: kConfirmed, kFailed, or 0
// when nothing came within the time.
std::uint32_t WaitForResult(plat::HWND window, int ms) {
    for (int waited = 0; waited < ms; waited += 10) {
        plat::Msg msg;
        while (plat::PeekMessage(&msg)) {
            if (msg.window == window && (msg.message == kConfirmed || msg.message == kFailed))
                return msg.message;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return 0;
}

class ClientStartWatcherTest : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directory(dir.NarrowPath() + "runtime");
        std::filesystem::permissions(dir.NarrowPath() + "runtime",
                                     std::filesystem::perms::owner_all);
        // Two copies of the client program: the one the watcher starts and
        // another client of the same program that must be left alone.
        std::filesystem::copy_file(FAKE_CLIENT_PATH, dir.NarrowPath() + "game.exe");
        window = plat::CreateWindow(L"WatcherTestWindow", L"", &handler, true);
        ASSERT_NE(window, 0u);
    }
    void TearDown() override {
        plat::DestroyWindow(window);
        assistant::KillByPath(dir.File(L"game.exe"));
    }
    logic::CClientStartWatcher::Job Job(int timeoutMs) const {
        logic::CClientStartWatcher::Job job;
        job.window = window;
        job.commandLine = plat::BuildCommandLine(dir.File(L"game.exe"), L"-windowed");
        job.timeoutMs = timeoutMs;
        job.exitMessage = kConfirmed;
        job.failedMessage = kFailed;
        return job;
    }

    testsupport::TempDir dir;
    testsupport::ScopedEnv output{"FAKE_CLIENT_OUTPUT", dir.NarrowPath() + "client.txt"};
    NoHandler handler;
    plat::HWND window = 0;
};

TEST_F(ClientStartWatcherTest, AConfirmationWithinTheTimeCountsEvenWhenLate) {
    testsupport::ScopedEnv late("FAKE_CLIENT_START_EVENT", "late:300");
    logic::CClientStartWatcher watcher;
    ASSERT_TRUE(watcher.Start(Job(20000)));
    EXPECT_EQ(WaitForResult(window, 20000), kConfirmed);
    // The confirmed client goes on.
    EXPECT_TRUE(assistant::IsRunningFromPath(dir.File(L"game.exe")));
}

// A set event left by an earlier client is cleared before the start: only
// the new client's own signal counts. A client that never confirms is
// ended, and only that one: another client of the same program stays.
TEST_F(ClientStartWatcherTest, AStaleSignalDoesNotCountAndOnlyTheStartedClientIsEnded) {
    testsupport::ScopedEnv silent("FAKE_CLIENT_START_EVENT", "none");
    plat::NamedEvent stale;
    ASSERT_TRUE(stale.Create(logic::kClientStartEventName, true));
    ASSERT_TRUE(stale.IsSet());

    plat::ProcessStartInfo other;
    other.commandLine = plat::BuildCommandLine(dir.File(L"game.exe"), L"");
    other.tail = plat::TailPassing::Split;
    plat::Process bystander;
    ASSERT_TRUE(bystander.Start(other));

    logic::CClientStartWatcher watcher;
    ASSERT_TRUE(watcher.Start(Job(1500)));
    EXPECT_EQ(WaitForResult(window, 20000), kFailed);
    EXPECT_FALSE(stale.IsSet());
    // The bystander still runs: it has not ended within a while.
    EXPECT_FALSE(bystander.Wait(300));
    bystander.Terminate(0);
    bystander.Wait(5000);
}

TEST_F(ClientStartWatcherTest, AMissingProgramFailsAtOnce) {
    logic::CClientStartWatcher watcher;
    auto job = Job(20000);
    job.commandLine = plat::BuildCommandLine(dir.File(L"missing.exe"), L"");
    ASSERT_TRUE(watcher.Start(job));
    EXPECT_EQ(WaitForResult(window, 5000), kFailed);
}

} // namespace
