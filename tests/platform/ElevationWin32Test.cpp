// Elevation on Windows: the shell's "runas" request made from a command
// line, and the user an elevated copy works for (the same account).

#include "platform/Elevation.h"
#include "platform/win32/RunAs.h"

#include "ChildProgram.h"
#include "platform/FolderTree.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

namespace {

using plat::win::RunAsRequest;

TEST(RunAsWin32, TheProgramAndTheTailAreTakenApart) {
    plat::ProcessStartInfo info;
    info.commandLine = L"\"C:\\Program Files\\Game\\Launcher.exe\" /elevated \"a b\" \\\"q\\\"";
    info.workingFolder = L"C:/Program Files/Game";
    RunAsRequest request;
    ASSERT_TRUE(plat::win::BuildRunAsRequest(info, &request));
    EXPECT_EQ(request.verb, L"runas");
    EXPECT_EQ(request.file, L"C:\\Program Files\\Game\\Launcher.exe");
    // The tail reaches the copy unchanged.
    EXPECT_EQ(request.parameters, L"/elevated \"a b\" \\\"q\\\"");
    EXPECT_EQ(request.directory, L"C:\\Program Files\\Game");
    EXPECT_EQ(request.show, 1); // SW_SHOWNORMAL

    info.hidden = true;
    info.workingFolder.clear();
    ASSERT_TRUE(plat::win::BuildRunAsRequest(info, &request));
    EXPECT_EQ(request.show, 0); // SW_HIDE
    EXPECT_TRUE(request.directory.empty());
}

TEST(RunAsWin32, ARelativeProgramBecomesAbsoluteAndNoProgramFails) {
    plat::ProcessStartInfo info;
    info.commandLine = L"Launcher.exe /x";
    RunAsRequest request;
    ASSERT_TRUE(plat::win::BuildRunAsRequest(info, &request));
    ASSERT_GE(request.file.size(), 3u);
    EXPECT_EQ(request.file[1], L':');
    EXPECT_EQ(request.file.substr(request.file.size() - 13), L"\\Launcher.exe");
    EXPECT_EQ(request.parameters, L"/x");
    info.commandLine = L"   ";
    EXPECT_FALSE(plat::win::BuildRunAsRequest(info, &request));
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
}

TEST(ElevationWin32, TheCopyWorksForItsOwnAccount) {
    EXPECT_FALSE(plat::ActsForOtherUser());
    EXPECT_NE(plat::InvokingUserId(), 0u);
    const std::wstring account = plat::GetUserAccountName();
    EXPECT_NE(account.find(L'\\'), std::wstring::npos) << "DOMAIN\\user";
    // What this process makes belongs to that user.
    testsupport::TempDir dir;
    plat::OpenFolder folder;
    ASSERT_TRUE(folder.Open(dir.Path()));
    if (!plat::IsProcessElevated()) {
        EXPECT_EQ(folder.OwnerId(), plat::InvokingUserId());
    }
    // Nothing to switch; the guard may be used all the same.
    plat::InvokingUserFiles asUser;
    EXPECT_TRUE(folder.IsEmpty());
}

TEST(ElevationWin32, UnderTheTestSwitchAnElevatedStartIsAPlainOne) {
    testsupport::TempDir dir;
    testsupport::ScopedEnv hklm("LAUNCHER_REGISTRY_HKLM", dir.NarrowPath() + "hklm");
    testsupport::ScopedEnv hkcu("LAUNCHER_REGISTRY_HKCU", dir.NarrowPath() + "hkcu");
    testsupport::ScopedEnv common("LAUNCHER_COMMON_DATA_DIR", dir.NarrowPath() + "share");
    testsupport::ScopedEnv elevation("LAUNCHER_TEST_ELEVATION", "1");
    ASSERT_TRUE(plat::IsTestElevation());
    EXPECT_TRUE(plat::IsProcessElevated());
    plat::ProcessStartInfo info = platformtest::ChildStart({L"exit", L"5"});
    info.hidden = true;
    plat::Process process;
    ASSERT_TRUE(plat::StartElevated(info, &process));
    ASSERT_TRUE(process.Wait(platformtest::kWatchdogMs));
    std::uint32_t code = 0;
    ASSERT_TRUE(process.GetExitCode(&code));
    EXPECT_EQ(code, 5u);
}

} // namespace
