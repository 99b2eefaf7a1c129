#include "logic/RunModeDecision.h"

#include "assistant/InstallDirList.h"
#include "logic/LogCapture.h"
#include "platform/Registry.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace logic;

namespace {

const std::wstring kGame = L"/opt/games/tanks";

struct Case {
    int rc;
    const wchar_t* exeName;
    bool guest, installed; // of the executable's folder
    int mode;
    bool portable;
    const wchar_t* log; // after "Launcher run mode: "
};

void ExpectCases(std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.rc << " " << c.exeName << c.guest << c.installed);
        RunModeInput input;
        input.runCommand = c.rc;
        input.workFolder = kGame; // set-long-name's folder; the executable lies elsewhere
        input.executablePath =
            (c.rc == rcSetLongName ? L"/tmp/elsewhere/" : kGame + L"/") + c.exeName;
        input.hasGuestFile = [&](const std::wstring& folder) { return c.guest && folder == kGame; };
        input.isInstalled = [&](const std::wstring& folder) {
            return c.installed && folder == kGame;
        };
        logictest::LogCapture log;
        RunModeResult result = DecideRunMode(input, &log);
        EXPECT_EQ(result.runMode, c.mode);
        EXPECT_EQ(result.portable, c.portable);
        EXPECT_EQ(result.needNetwork,
                  c.mode == rmInstall || c.mode == rmUpdate || c.mode == rmDownload);
        EXPECT_EQ(log.Text(), std::wstring(L"Launcher run mode: ") + c.log + L"\r\n");
    }
}

TEST(RunMode, DecisionMatrixOfCommandsNamesAndFolders) {
    ExpectCases({
        {rcNone, L"Launcher.exe", true, false, rmUpdate, true, L"  Portable, rmUpdate"},
        {rcNone, L"launcher.EXE", false, true, rmUpdate, false, L"rmUpdate"},
        {rcNone, L"Launcher.exe", false, false, rmInstall, false, L"rmInstall"},
        {rcNone, L"Launcher.tmp.exe", true, false, rmUpdate, true, L"  Portable, rmUpdate"},
        // Another name never runs a portable installation, but a recorded one.
        {rcNone, L"TanksSetup.exe", true, false, rmInstall, false, L"rmInstall"},
        {rcNone, L"TanksSetup.exe", true, true, rmUpdate, false, L"rmUpdate"},
        {rcUninstall, L"Launcher.exe", false, true, rmUninstaller, false, L"rmUninstaller"},
        {rcUninstallFrom, L"Launcher.exe", true, false, rmUninstaller, true,
         L"  Portable, rmUninstaller"},
        {rcUninstallFrom, L"Other.exe", true, false, rmUninstaller, false, L"rmUninstaller"},
        {rcUninstallGuest, L"Other.exe", false, false, rmUninstaller, true, L"rmUninstaller"},
        // A download needs the launcher's name in a portable or recorded folder.
        {rcDownload, L"Launcher.exe", true, false, rmDownload, true, L"  Portable,   rmDownload"},
        {rcDownload, L"Launcher.exe", false, true, rmDownload, false, L"  rmDownload"},
        {rcDownload, L"Launcher.exe", false, false, rmUnknown, false, L"  rmUnknown"},
        {rcDownload, L"Launcher.tmp.exe", true, true, rmUnknown, true, L"  rmUnknown"},
        {rcSetLongName, L"Other.exe", true, false, rmSetLongName, true, L"rmSetLongName"},
    });
}

TEST(RunMode, DefaultsReadTheGuestFileAndTheRecordedFolders) {
    testsupport::TempDir dir;
    testsupport::ScopedEnv machine("LAUNCHER_REGISTRY_HKLM", dir.NarrowPath() + "HKLM");
    const std::wstring regPath = L"Software\\Zelmar\\Tanks";
    ASSERT_TRUE(plat::RegistryKey().Create(plat::RegistryRoot::LocalMachine, regPath));
    ASSERT_TRUE(assistant::CInstallDirList(regPath).Add(dir.File(L"installed")));
    testsupport::WriteTestFile(dir.File(L"portable/guest.dat"), "");
    RunModeInput input{
        rcNone, L"", dir.File(L"portable/Launcher.exe"), {}, RecordedInstallation(regPath)};
    EXPECT_TRUE(DecideRunMode(input, nullptr).portable);
    input.executablePath = dir.File(L"installed/Launcher.exe");
    RunModeResult installed = DecideRunMode(input, nullptr);
    EXPECT_TRUE(installed.runMode == rmUpdate && !installed.portable);
}

} // namespace
