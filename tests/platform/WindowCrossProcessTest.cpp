// Window messages between processes. The test program starts itself again as
// the other process, running only WindowChildProcess.Run with the mode and
// this process's window handle in its environment; that test is skipped in
// an ordinary run.

#include "platform/Window.h"

#include "WindowTestSupport.h"
#include "platform/CommandLine.h"
#include "platform/Folders.h"
#include "platform/Process.h"
#include "platform/Unicode.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace {

using namespace windowtest;
using plat::HWND;
using plat::LRESULT;
namespace fs = std::filesystem;

constexpr const char* kModeVariable = "LAUNCHER_WINDOW_CHILD";
constexpr const char* kParentVariable = "LAUNCHER_WINDOW_PARENT";

// Messages between the two processes.
constexpr std::uint32_t kPosted = plat::WM_APP + 1;       // wParam: child pid
constexpr std::uint32_t kChildDone = plat::WM_APP + 2;    // the child's last word
constexpr std::uint32_t kSendToParent = plat::WM_APP + 3; // wParam: child window
constexpr std::uint32_t kSendToChild = plat::WM_APP + 4;
constexpr std::uint32_t kPeerWindows = plat::WM_APP + 6; // wParam: top-level, lParam: message-only
constexpr std::uint32_t kSquare = plat::WM_APP + 7;

const wchar_t* const kPeerClass = L"LauncherTestPeer";

std::string Pattern(std::size_t size) {
    std::string bytes(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        bytes[i] = static_cast<char>((i * 7 + i / 251) & 0xFF);
    return bytes;
}

bool Contains(const std::vector<HWND>& windows, HWND window) {
    return std::find(windows.begin(), windows.end(), window) != windows.end();
}

#ifndef _WIN32
// Each POSIX process listens on one socket of the runtime folder.
std::string SocketPath(std::uint32_t pid) {
    return plat::WideToUtf8(plat::GetRuntimeFolder()) + "win/" + std::to_string(pid) + ".sock";
}

// A socket file nobody listens on, as a crashed process leaves it.
void PlantDeadSocket(const std::string& path) {
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
}
#endif

// Starts the other process from the test's main thread and pumps while it
// works.
class WindowCrossProcessTest : public WindowTest {
protected:
    plat::Process StartChild(const std::string& mode) {
        testsupport::ScopedEnv modeEnv(kModeVariable, mode);
        testsupport::ScopedEnv parentEnv(kParentVariable, std::to_string(main_));
        plat::ProcessStartInfo info;
        info.commandLine = plat::BuildCommandLine(
            plat::GetExecutablePath(),
            plat::JoinArguments({L"--gtest_filter=WindowChildProcess.Run", L"--gtest_brief=1"}));
        info.tail = plat::TailPassing::Split;
        plat::Process child;
        EXPECT_TRUE(child.Start(info)) << plat::GetLastError();
        return child;
    }
    static std::uint32_t ExitCodeOf(plat::Process& child) {
        std::uint32_t code = ~0u;
        if (!child.Wait(kWatchdogMs)) {
            child.Terminate(1);
            child.Wait(-1);
        }
        child.GetExitCode(&code);
        return code;
    }
    Received AwaitFromChild(std::uint32_t message) {
        EXPECT_TRUE(PumpUntil([&] { return mainHandler_.Count(message) > 0; }));
        std::vector<Received> got = mainHandler_.Of(message);
        return got.empty() ? Received{} : got.front();
    }
};

TEST_F(WindowCrossProcessTest, AnotherProcessPostsToThisWindow) {
    plat::Process child = StartChild("post");
    ASSERT_TRUE(child.IsValid());
    Received posted = AwaitFromChild(kPosted);
    AwaitFromChild(kChildDone);
    EXPECT_EQ(posted.wParam, child.Id());
    EXPECT_EQ(posted.lParam, -77);
    EXPECT_EQ(ExitCodeOf(child), 0u);
}

TEST_F(WindowCrossProcessTest, SendsReturnTheirResultAndCopiedBytesArriveIntact) {
    mainHandler_.reply = [](const Received& got) -> LRESULT {
        if (got.message == kSendToParent) {
            // Sending back to the waiting sender's window must not deadlock.
            LRESULT inner = 0;
            bool sent = plat::SendMessageTimeout(static_cast<HWND>(got.wParam), kSendToChild, 5, 0,
                                                 kWatchdogMs, &inner);
            return sent ? inner * 2 : -1;
        }
        if (got.message == plat::WM_COPYDATA) {
            bool intact = got.hadCopyData && got.copyData.number == 0xC0FFEE &&
                          got.copyData.bytes == Pattern(300000) &&
                          plat::ProcessIdOfWindow(static_cast<HWND>(got.wParam)) !=
                              plat::GetCurrentProcessId();
            return intact ? static_cast<LRESULT>(got.copyData.bytes.size()) : -1;
        }
        return 0;
    };
    plat::Process child = StartChild("send");
    ASSERT_TRUE(child.IsValid());
    AwaitFromChild(kChildDone);
    EXPECT_EQ(mainHandler_.Count(kSendToParent), 1u);
    EXPECT_EQ(mainHandler_.Count(plat::WM_COPYDATA), 1u);
    // The child checks the results it got back.
    EXPECT_EQ(ExitCodeOf(child), 0u);
}

TEST_F(WindowCrossProcessTest, FindWindowsByClassSeesOtherProcessesButNotMessageOnlyWindows) {
    HWND ownPeer = MakeWindow(kPeerClass, nullptr);
    HWND ownHidden = MakeWindow(kPeerClass, nullptr, true);
    plat::Process child = StartChild("peer");
    ASSERT_TRUE(child.IsValid());
    Received peer = AwaitFromChild(kPeerWindows);
    HWND topLevel = static_cast<HWND>(peer.wParam);
    HWND messageOnly = static_cast<HWND>(peer.lParam);
    ASSERT_EQ(plat::ProcessIdOfWindow(topLevel), child.Id());

    // Class names compare without regard to ASCII case.
    std::vector<HWND> found = plat::FindWindowsByClass(L"launchertestPEER");
    EXPECT_TRUE(Contains(found, topLevel));
    EXPECT_TRUE(Contains(found, ownPeer));
    EXPECT_FALSE(Contains(found, messageOnly));
    EXPECT_FALSE(Contains(found, ownHidden));
    EXPECT_EQ(found.size(), 2u);
    EXPECT_TRUE(plat::IsWindow(messageOnly));

    std::wstring text;
    ASSERT_TRUE(plat::GetWindowClassName(topLevel, &text));
    EXPECT_EQ(text, kPeerClass);
    ASSERT_TRUE(plat::GetWindowText(topLevel, &text));
    EXPECT_EQ(text, L"peer \u00e9");
    EXPECT_FALSE(plat::SetWindowText(topLevel, L"x"));
    EXPECT_EQ(plat::GetLastError(), plat::kErrAccessDenied);
    LRESULT result = 0;
    ASSERT_TRUE(plat::SendMessageTimeout(topLevel, kSquare, 6, 0, kWatchdogMs, &result));
    EXPECT_EQ(result, 36);

    // Closed, the child ends and takes its socket along.
    ASSERT_TRUE(plat::PostMessage(topLevel, plat::WM_CLOSE, 0, 0));
    EXPECT_EQ(ExitCodeOf(child), 0u);
#ifndef _WIN32
    EXPECT_FALSE(fs::exists(SocketPath(child.Id())));
#endif
    EXPECT_FALSE(plat::IsWindow(topLevel));
    EXPECT_FALSE(plat::PostMessage(topLevel, plat::WM_APP, 0, 0));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidWindowHandle);
    EXPECT_EQ(plat::FindWindowsByClass(kPeerClass), std::vector<HWND>{ownPeer});
}

TEST_F(WindowCrossProcessTest, ASendToAProcessThatDoesNotPumpTimesOut) {
    plat::Process child = StartChild("stall");
    ASSERT_TRUE(child.IsValid());
    HWND stalled = static_cast<HWND>(AwaitFromChild(kPeerWindows).wParam);
    LRESULT result = 0;
    EXPECT_FALSE(plat::SendMessageTimeout(stalled, plat::WM_APP, 0, 0, 100, &result));
    EXPECT_EQ(plat::GetLastError(), plat::kErrTimeout);

    // Killed, it leaves nothing the search would find.
    ASSERT_TRUE(child.Terminate(9));
    ASSERT_TRUE(child.Wait(kWatchdogMs));
#ifndef _WIN32
    EXPECT_TRUE(fs::exists(SocketPath(child.Id())));
#endif
    EXPECT_FALSE(Contains(plat::FindWindowsByClass(kPeerClass), stalled));
#ifndef _WIN32
    EXPECT_FALSE(fs::exists(SocketPath(child.Id())));
#endif
    EXPECT_FALSE(plat::PostMessage(stalled, plat::WM_APP, 0, 0));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidWindowHandle);
}

#ifndef _WIN32
TEST_F(WindowCrossProcessTest, LeftoverSocketsOfEndedProcessesAreSkippedAndRemoved) {
    // A process that has ended lends its id to a socket nobody listens on.
    plat::Process ended = StartChild("exit");
    ASSERT_TRUE(ended.IsValid());
    ASSERT_EQ(ExitCodeOf(ended), 0u);
    std::string leftover = SocketPath(ended.Id());
    PlantDeadSocket(leftover);
    // Process 1 is alive: its socket stays however it answers.
    std::string living = SocketPath(1);
    PlantDeadSocket(living);
    testsupport::WriteTestFile(plat::Utf8ToWide(SocketPath(0) + ".notes"), "not a socket");

    EXPECT_EQ(plat::FindWindowsByClass(L"LauncherTestMain"), std::vector<HWND>{main_});
    EXPECT_FALSE(fs::exists(leftover));
    EXPECT_TRUE(fs::exists(living));
    HWND ghost = (static_cast<HWND>(ended.Id()) << 32) | 1;
    EXPECT_FALSE(plat::PostMessage(ghost, plat::WM_APP, 0, 0));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidWindowHandle);
    EXPECT_FALSE(plat::IsWindow(ghost));
    fs::remove(living);
}
#endif

TEST_F(WindowCrossProcessTest, AWindowOfAnEndedProcessIsGone) {
    plat::Process ended = StartChild("exit");
    ASSERT_TRUE(ended.IsValid());
    ASSERT_EQ(ExitCodeOf(ended), 0u);
    EXPECT_EQ(plat::FindWindowsByClass(L"LauncherTestMain"), std::vector<HWND>{main_});
    // A number that names the ended process and a window it never had.
    HWND ghost = (static_cast<HWND>(ended.Id()) << 32) | 1;
    EXPECT_FALSE(plat::PostMessage(ghost, plat::WM_APP, 0, 0));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidWindowHandle);
    EXPECT_FALSE(plat::IsWindow(ghost));
    // This process's own window under another process's number is not it.
    HWND borrowed = (static_cast<HWND>(ended.Id()) << 32) | (main_ & 0xFFFFFFFFu);
    EXPECT_FALSE(plat::IsWindow(borrowed));
    EXPECT_FALSE(plat::PostMessage(borrowed, plat::WM_APP, 0, 0));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidWindowHandle);
}

// ---- the other process ----------------------------------------------------

// Pumps until the window gets WM_CLOSE; false when the watchdog fired.
bool PumpUntilClosed(HWND window) {
    plat::Msg msg;
    while (plat::GetMessage(&msg) > 0) {
        if (msg.message == kWatchdogMessage)
            return false;
        if (msg.message == plat::WM_CLOSE && msg.window == window)
            return plat::DestroyWindow(window);
        plat::DispatchMessage(msg);
    }
    return false;
}

void RunPost(HWND parent) {
    EXPECT_TRUE(plat::PostMessage(parent, kPosted, plat::GetCurrentProcessId(), -77));
    // A window number the parent never gave out.
    HWND unknown = parent | 0xFFFFFFFFu;
    EXPECT_FALSE(plat::PostMessage(unknown, plat::WM_APP, 0, 0));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidWindowHandle);
    EXPECT_FALSE(plat::IsWindow(unknown));
    std::wstring className;
    EXPECT_TRUE(plat::GetWindowClassName(parent, &className));
    EXPECT_EQ(className, L"LauncherTestMain");
}

void RunSend(HWND parent) {
    RecordingHandler handler;
    handler.reply = [](const Received& got) -> LRESULT {
        return got.message == kSendToChild ? 500 + static_cast<LRESULT>(got.wParam) : 0;
    };
    HWND own = plat::CreateWindow(L"LauncherTestChild", L"", &handler, true);
    ASSERT_NE(own, 0u);
    LRESULT result = 0;
    EXPECT_TRUE(plat::SendMessageTimeout(parent, kSendToParent, own, 0, kWatchdogMs, &result));
    EXPECT_EQ(result, 1010);
    EXPECT_EQ(handler.Count(kSendToChild), 1u);
    result = 0;
    EXPECT_TRUE(plat::SendCopyData(parent, own, plat::CopyData{0xC0FFEE, Pattern(300000)},
                                   kWatchdogMs, &result));
    EXPECT_EQ(result, 300000);
    plat::DestroyWindow(own);
}

void RunPeer(HWND parent) {
    RecordingHandler handler;
    handler.reply = [](const Received& got) -> LRESULT {
        return got.message == kSquare ? static_cast<LRESULT>(got.wParam * got.wParam) : 0;
    };
    HWND topLevel = plat::CreateWindow(kPeerClass, L"peer \u00e9", &handler);
    HWND messageOnly = plat::CreateWindow(kPeerClass, L"", &handler, true);
    HWND otherClass = plat::CreateWindow(L"LauncherTestOtherPeer", L"", &handler);
    ASSERT_TRUE(topLevel && messageOnly && otherClass);
    Watchdog watchdog(topLevel);
    EXPECT_TRUE(
        plat::PostMessage(parent, kPeerWindows, topLevel, static_cast<plat::LPARAM>(messageOnly)));
    EXPECT_TRUE(PumpUntilClosed(topLevel));
    plat::DestroyWindow(messageOnly);
    plat::DestroyWindow(otherClass);
}

void RunStall(HWND parent) {
    HWND window = plat::CreateWindow(kPeerClass, L"", nullptr);
    ASSERT_NE(window, 0u);
    ASSERT_TRUE(plat::PostMessage(parent, kPeerWindows, window, 0));
    // Never pumps; the parent ends this process.
    std::this_thread::sleep_for(std::chrono::milliseconds(kWatchdogMs));
}

TEST(WindowChildProcess, Run) {
    const char* mode = std::getenv(kModeVariable);
    const char* parentText = std::getenv(kParentVariable);
    if (!mode || !parentText) {
        GTEST_SKIP() << "runs only as the other process of WindowCrossProcessTest";
    }
    HWND parent = std::strtoull(parentText, nullptr, 10);
    ASSERT_TRUE(plat::IsWindow(parent));
    std::string which = mode;
    if (which == "exit")
        return;
    if (which == "post") {
        RunPost(parent);
    } else if (which == "send") {
        RunSend(parent);
    } else if (which == "peer") {
        RunPeer(parent);
    } else if (which == "stall") {
        RunStall(parent);
    } else {
        FAIL() << "unknown mode " << which;
    }
    EXPECT_TRUE(plat::PostMessage(parent, kChildDone, 0, 0));
}

} // namespace
