// Starting programs on Windows: the numbers a failed start gives, the
// running program's own path, and programs started hidden.

#include "platform/Process.h"

#include "ChildProgram.h"
#include "platform/FileSystem.h"
#include "support/TempDir.h"

#include <chrono>
#include <gtest/gtest.h>
#include <thread>

namespace {

using platformtest::ChildStart;
using platformtest::RunToEnd;
using testsupport::ReadTestFile;

bool WaitUntilGone(const std::wstring& path) {
    auto deadline =
        std::chrono::steady_clock::now() + std::chrono::milliseconds(platformtest::kWatchdogMs);
    while (plat::FileExists(path)) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

TEST(ProcessWin32, StartFailuresCarryWindowsErrors) {
    testsupport::TempDir dir;
    testsupport::WriteTestFile(dir.File(L"garbage.exe"), "neither a program nor anything else");
    struct Case {
        std::wstring commandLine, workingFolder;
        plat::ErrorCode error;
    } cases[] = {
        {L"\"" + dir.File(L"missing.exe") + L"\" x", L"", plat::kErrFileNotFound},
        {L"\"" + dir.File(L"nofolder\\missing.exe") + L"\"", L"", plat::kErrPathNotFound},
        {L"\"" + dir.File(L"garbage.exe") + L"\"", L"", plat::kErrBadExeFormat},
        {L"\"" + dir.Path() + L"\"", L"", plat::kErrAccessDenied},
        {plat::BuildCommandLine(platformtest::ChildPath(), L"exit 0"), dir.File(L"nofolder"),
         plat::kErrDirectory},
    };
    for (const Case& c : cases) {
        plat::Process child;
        plat::ProcessStartInfo info;
        info.commandLine = c.commandLine;
        info.workingFolder = c.workingFolder;
        plat::SetLastError(0);
        EXPECT_FALSE(child.Start(info)) << plat::WideToUtf8(c.commandLine);
        EXPECT_EQ(plat::GetLastError(), c.error) << plat::WideToUtf8(c.commandLine);
        EXPECT_FALSE(child.IsValid());
    }
}

TEST(ProcessWin32, TheRunningProgramKnowsItsFile) {
    const std::wstring path = plat::GetExecutablePath();
    const std::wstring folder = plat::GetExecutableFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(folder.back(), L'\\');
    EXPECT_EQ(path, folder + L"platform_tests.exe");
    EXPECT_TRUE(plat::FileExists(path));
    EXPECT_TRUE(plat::IsProgramRunning(path));
    EXPECT_FALSE(plat::IsProgramRunning(folder + L"no-such-program.exe"));
    EXPECT_NE(plat::GetCurrentProcessId(), 0u);
}

TEST(ProcessWin32, AHiddenChildRunsAndItsCommandLineIsItsOwn) {
    testsupport::TempDir dir;
    // The child reads the tail from its own command line, quotes and all.
    const std::wstring tail = L"echo-line " + dir.File(L"line") + L"  \"x y\"  \\\\\"z\"";
    plat::ProcessStartInfo info;
    info.commandLine = plat::BuildCommandLine(platformtest::ChildPath(), tail);
    info.hidden = true;
    info.tail = plat::TailPassing::Split;
    ASSERT_EQ(RunToEnd(info), 0u);
    EXPECT_EQ(ReadTestFile(dir.File(L"line")), plat::WideToUtf8(tail));
}

TEST(ProcessWin32, AClosedChildGoesOnRunning) {
    testsupport::TempDir dir;
    plat::Process child;
    ASSERT_TRUE(child.Start(ChildStart({L"wait-for", dir.File(L"go")})));
    const std::uint32_t pid = child.Id();
    child.Close();
    EXPECT_FALSE(child.IsValid());
    EXPECT_FALSE(child.Wait(0));
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidHandle);
    // Still there: it removes the file once it sees it.
    testsupport::WriteTestFile(dir.File(L"go"), "");
    EXPECT_TRUE(WaitUntilGone(dir.File(L"go")));
    EXPECT_NE(pid, 0u);
}

} // namespace
