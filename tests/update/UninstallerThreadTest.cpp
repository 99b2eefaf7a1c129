#include "update/UninstallerThread.h"

#include "assistant/Shortcuts.h"
#include "platform/FileSystem.h"
#include "platform/ShellFolders.h"
#include "platform/ShellLink.h"
#include "platform/Unicode.h"
#include "platform/Window.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "update/UninstallerMessages.h"

#include <chrono>
#include <filesystem>
#include <gtest/gtest.h>
#include <thread>
#include <vector>

namespace {

using testsupport::ReadTestFile;
using testsupport::ScopedEnv;
using testsupport::WriteTestFile;
using update::CUninstallerThread;
namespace fs = std::filesystem;

constexpr int kWatchdogMs = 30000;

TEST(UninstallerNames, TheLauncherShortcutIsNamedAfterTheQuotedPath) {
    EXPECT_EQ(CUninstallerThread::ShortcutNameFromQuotedPath(
                  L"\"/home/u/Desktop/Alpha Beta Portable (2).desktop\""),
              L"Alpha Beta Portable (2)");
    EXPECT_EQ(CUninstallerThread::ShortcutNameFromQuotedPath(L"\"C:\\Users\\u\\Game.lnk\""),
              L"Game");
    EXPECT_EQ(CUninstallerThread::ShortcutNameFromQuotedPath(L"\"Game.lnk\""), L"");
    EXPECT_EQ(CUninstallerThread::ShortcutNameFromQuotedPath(L"/.hidden"), L"");
}

TEST(UninstallerNames, TheSuffixKeepsAFinalParenthesisedGroup) {
    EXPECT_EQ(CUninstallerThread::ShortcutSuffix(L"Alpha Beta Portable"), L" Portable");
    EXPECT_EQ(CUninstallerThread::ShortcutSuffix(L"Alpha Beta Portable (2)"), L" Portable (2)");
    EXPECT_EQ(CUninstallerThread::ShortcutSuffix(L"Alpha"), L"Alpha");
    EXPECT_EQ(CUninstallerThread::ShortcutSuffix(L"Alpha (2)"), L"Alpha (2)");
    EXPECT_EQ(CUninstallerThread::ShortcutSuffix(L""), L"");
}

TEST(UninstallerProgress, PercentRisesFromOneToAHundredAndNeverDividesByZero) {
    EXPECT_EQ(CUninstallerThread::PercentFor(0, 0), 0);
    EXPECT_EQ(CUninstallerThread::PercentFor(5, 0), 0);
    int previous = 0;
    for (std::uint32_t done = 1; done <= 200; ++done) {
        int percent = CUninstallerThread::PercentFor(done, 200);
        EXPECT_GE(percent, previous);
        previous = percent;
    }
    EXPECT_EQ(CUninstallerThread::PercentFor(1, 200), 1);
    EXPECT_EQ(CUninstallerThread::PercentFor(200, 200), 100);
}

// Receives the thread's messages on the test's thread.
class Collector : public plat::IWindowHandler {
public:
    plat::LRESULT HandleWindowMessage(plat::HWND, std::uint32_t message, plat::WPARAM,
                                      plat::LPARAM lParam, const plat::CopyData*) override {
        if (message == update::kUninstallProgressMessage)
            progress.push_back(static_cast<int>(lParam));
        if (message == update::kUninstallThreadFinishedMessage)
            finished.push_back(static_cast<int>(lParam));
        return 0;
    }
    std::vector<int> progress;
    std::vector<int> finished;
};

class UninstallerThreadTest : public ::testing::Test {
protected:
    void SetUp() override {
        window_ = plat::CreateWindow(L"LauncherTestUninstall", L"", &collector_, true);
        ASSERT_NE(window_, 0u);
    }
    void TearDown() override { plat::DestroyWindow(window_); }

    std::wstring Folder(const std::wstring& name = L"") const {
        return dir_.File(L"games/Alpha Portable" + (name.empty() ? L"" : L"/" + name));
    }
    bool Exists(const std::wstring& path) const {
        return fs::exists(testsupport::FsPath(path)) || fs::is_symlink(testsupport::FsPath(path));
    }
    // A file in one of the user's shell folders (moved into the test's).
    static std::wstring InShellFolder(int csidl, const std::wstring& name) {
        std::wstring folder;
        EXPECT_TRUE(plat::GetSpecialFolderPath(csidl, &folder)) << csidl;
        return folder + plat::PathSeparator() + name;
    }
    // A shortcut on the user's desktop.
    static std::wstring Desktop(const std::wstring& name) {
        return InShellFolder(plat::kCsidlDesktop, name) + plat::kShortcutExtension;
    }

    // Runs the thread to its end (or until `stopAfterFirst` asks it to stop
    // at its first progress message).
    void RunThread(bool stopAfterFirst = false) {
        uninstaller_.Setup(window_, L"\"" + Desktop(L"Alpha Portable") + L"\"", Folder(),
                           L"Launcher.exe", L"Alpha");
        ASSERT_TRUE(uninstaller_.Start());
        auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWatchdogMs);
        plat::Msg msg;
        while (collector_.finished.empty() && std::chrono::steady_clock::now() < deadline) {
            if (stopAfterFirst && !collector_.progress.empty()) {
                uninstaller_.RequestStop();
                uninstaller_.Stop(1000);
                break;
            }
            if (plat::PeekMessage(&msg))
                plat::DispatchMessage(msg);
            else
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        uninstaller_.Stop(kWatchdogMs);
        while (plat::PeekMessage(&msg))
            plat::DispatchMessage(msg);
    }

    static std::string AppListRecord(const std::wstring& name, const std::wstring& exec) {
        std::string record(652, '\0');
        std::string n = plat::WideToUtf16Le(name), e = plat::WideToUtf16Le(exec);
        record.replace(0, n.size(), n);
        record.replace(130, e.size(), e);
        return record;
    }

    testsupport::TempDir dir_;
    ScopedEnv desktop_{"XDG_DESKTOP_DIR", dir_.NarrowPath() + "desktop"};
    ScopedEnv data_{"XDG_DATA_HOME", dir_.NarrowPath() + "data"};
    ScopedEnv common_{"LAUNCHER_COMMON_DATA_DIR", dir_.NarrowPath() + "share"};
    ScopedEnv temp_{"LAUNCHER_TEMP_DIR", dir_.NarrowPath() + "temp"};
    ScopedEnv home_{"HOME", dir_.NarrowPath() + "home"};
    ScopedEnv user_{"LAUNCHER_USER_DATA_DIR", dir_.NarrowPath() + "user"};
    ScopedEnv profile_{"USERPROFILE", dir_.NarrowPath() + "home"};
    Collector collector_;
    plat::HWND window_ = 0;
    CUninstallerThread uninstaller_;
};

TEST_F(UninstallerThreadTest, APortableInstallationGoesWithItsShortcutsAndTheCanaryStays) {
    WriteTestFile(Folder(L"Launcher.exe"), "launcher");
    WriteTestFile(Folder(L"guest.dat"), "");
    WriteTestFile(Folder(L"sub/LAUNCHER.EXE"), "nested copy");
    for (int i = 0; i < 50; ++i)
        WriteTestFile(Folder(L"data/file" + std::to_wstring(i)), "x");
    WriteTestFile(Folder(L"applist.dat"), AppListRecord(L"Editor", L"tools\\editor.exe"));
    WriteTestFile(dir_.File(L"canary/keep.txt"), "canary");
    fs::permissions(testsupport::FsPath(dir_.File(L"canary/keep.txt")),
                    fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    // A link to the canary where this system lets the test make one (Wine
    // makes none).
    std::error_code noLink;
    fs::create_directory_symlink(testsupport::FsPath(dir_.File(L"canary")),
                                 testsupport::FsPath(Folder(L"data/to-canary")), noLink);

    const std::wstring launcher = Folder(L"Launcher.exe");
    ASSERT_TRUE(assistant::CreateShortcut(launcher, L"", L"Alpha Portable", plat::kCsidlDesktop,
                                          L"", 0, false));
    ASSERT_TRUE(assistant::CreateShortcut(launcher, L"", L"Alpha Portable", plat::kCsidlPrograms,
                                          L"Alpha", 0, true));
    ASSERT_TRUE(assistant::CreateShortcut(launcher, L"/uninstall", L"Uninstall Alpha Portable",
                                          plat::kCsidlPrograms, L"Alpha", 1, false));
    ASSERT_TRUE(assistant::CreateShortcut(Folder(L"tools/editor.exe"), L"", L"Editor Portable",
                                          plat::kCsidlDesktop, L"", 0, false));
    ASSERT_TRUE(assistant::CreateShortcut(Folder(L"tools/editor.exe"), L"", L"Editor Portable",
                                          plat::kCsidlStartMenu, L"", 0, false));
    WriteTestFile(Desktop(L"Unrelated"), "not the launcher's");

    RunThread();
    ASSERT_EQ(collector_.finished, std::vector<int>{0});
    EXPECT_FALSE(Exists(Folder()));
    EXPECT_EQ(ReadTestFile(dir_.File(L"canary/keep.txt")), "canary");
    EXPECT_EQ(fs::status(testsupport::FsPath(dir_.File(L"canary/keep.txt"))).permissions() &
                  fs::perms::owner_write,
              fs::perms::none);
    EXPECT_FALSE(Exists(Desktop(L"Alpha Portable")));
    EXPECT_FALSE(Exists(Desktop(L"Editor Portable")));
    EXPECT_FALSE(Exists(InShellFolder(plat::kCsidlStartMenu, L"Editor Portable") +
                        plat::kShortcutExtension));
    EXPECT_FALSE(Exists(InShellFolder(plat::kCsidlPrograms, L"Alpha")));
    EXPECT_TRUE(Exists(Desktop(L"Unrelated")));

    ASSERT_GE(collector_.progress.size(), 2u);
    EXPECT_EQ(collector_.progress.front(), 0);
    EXPECT_EQ(collector_.progress.back(), 100);
    for (std::size_t i = 1; i + 1 < collector_.progress.size(); ++i) {
        EXPECT_GE(collector_.progress[i], 1);
        EXPECT_LE(collector_.progress[i], 99);
    }
}

TEST_F(UninstallerThreadTest, AnEmptyFolderIsRemovedWithTheFirstAndLastProgress) {
    fs::create_directories(plat::WideToUtf8(Folder()));
    RunThread();
    EXPECT_EQ(collector_.finished, std::vector<int>{0});
    EXPECT_EQ(collector_.progress, (std::vector<int>{0, 100}));
    EXPECT_FALSE(Exists(Folder()));
}

TEST_F(UninstallerThreadTest, ADamagedApplicationListIsDeletedAndItsShortcutsStay) {
    WriteTestFile(Folder(L"Launcher.exe"), "launcher");
    WriteTestFile(Folder(L"applist.dat"), std::string(1000, 'x'));
    WriteTestFile(Desktop(L"x Portable"), "not the launcher's");
    RunThread();
    EXPECT_EQ(collector_.finished, std::vector<int>{0});
    EXPECT_FALSE(Exists(Folder()));
    EXPECT_TRUE(Exists(Desktop(L"x Portable")));
}

TEST_F(UninstallerThreadTest, AFolderThatIsNoInstallationIsRefused) {
    WriteTestFile(Folder(L"precious.txt"), "mine");
    RunThread();
    EXPECT_EQ(collector_.finished, std::vector<int>{1});
    EXPECT_TRUE(collector_.progress.empty());
    EXPECT_EQ(ReadTestFile(Folder(L"precious.txt")), "mine");

    // The home folder holding a launcher is still no folder to empty.
    collector_.finished.clear();
    WriteTestFile(dir_.File(L"home/Launcher.exe"), "x");
    uninstaller_.Setup(window_, L"\"/x/y.desktop\"", dir_.File(L"home"), L"Launcher.exe", L"Alpha");
    ASSERT_TRUE(uninstaller_.Start());
    uninstaller_.Stop(kWatchdogMs);
    plat::Msg msg;
    while (plat::PeekMessage(&msg))
        plat::DispatchMessage(msg);
    EXPECT_EQ(collector_.finished, std::vector<int>{1});
    EXPECT_TRUE(Exists(dir_.File(L"home/Launcher.exe")));
}

TEST_F(UninstallerThreadTest, AStopDuringTheWalkPostsNothingMore) {
    WriteTestFile(Folder(L"Launcher.exe"), "launcher");
    // Enough files that the walk is still going when the stop comes (file
    // creation is slow under Wine, where fewer do).
#ifdef _WIN32
    constexpr int kFiles = 3000;
#else
    constexpr int kFiles = 20000;
#endif
    for (int i = 0; i < kFiles; ++i)
        WriteTestFile(Folder(L"many/f" + std::to_wstring(i)), "");
    RunThread(true);
    EXPECT_TRUE(collector_.finished.empty());
    EXPECT_TRUE(Exists(Folder(L"Launcher.exe")));
}

} // namespace
