// The installation-folder rules on Windows: drive and share roots, the
// Windows folder, the folders of profiles, the launcher's private folders
// and the shell's folders, whatever the spelling of the path.

#include "assistant/AssistantChecks.h"

#include "platform/ShellFolders.h"
#include "platform/Unicode.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace {

using assistant::FolderVerdict;
using testsupport::ScopedEnv;
namespace fs = std::filesystem;

std::wstring Variable(const wchar_t* name) {
    const wchar_t* value = _wgetenv(name);
    return value ? value : L"";
}

class WorkFolderWin32Test : public ::testing::Test {
protected:
    std::wstring Path(const std::wstring& name) const { return dir_.File(name); }

    testsupport::TempDir dir_;
    ScopedEnv common_{"LAUNCHER_COMMON_DATA_DIR", dir_.NarrowPath() + "share"};
    ScopedEnv programs_{"LAUNCHER_PROGRAM_FILES", dir_.NarrowPath() + "programs"};
    ScopedEnv temp_{"LAUNCHER_TEMP_DIR", dir_.NarrowPath() + "temp"};
};

TEST_F(WorkFolderWin32Test, RootsTheSystemProfilesPrivateAndShellFoldersAreRefused) {
    const std::wstring windows = Variable(L"SystemRoot");
    ASSERT_GT(windows.size(), 3u);
    const std::wstring profiles = fs::path(Variable(L"USERPROFILE")).parent_path().wstring();
    ASSERT_GT(profiles.size(), 3u);
    std::wstring desktop;
    ASSERT_TRUE(plat::GetSpecialFolderPath(plat::kCsidlDesktop, &desktop));

    using V = FolderVerdict;
    const std::pair<std::wstring, V> cases[] = {
        {L"relative\\Game", V::NotAbsolute},
        {L"C:Games\\Game", V::NotAbsolute},
        {L"\\\\?\\C:\\Games\\Game", V::NotAbsolute},
        {L"C:\\Games\\Game:stream", V::NotAbsolute},
        {L"C:\\", V::Root},
        {L"c:/", V::Root},
        {L"C:\\Games", V::Root},
        {L"D:\\Games\\", V::Root},
        {L"\\\\server\\share", V::Root},
        {L"\\\\server\\share\\Games", V::Root},
        {L"\\\\server\\share\\Games\\Game", V::Acceptable},
        {windows + L"\\System32", V::System},
        {windows + L"\\Temp\\Game", V::System},
        {L"c:/WINDOWS/system32/drivers", V::System},
        {L"C:\\$Recycle.Bin\\S-1-5-21", V::System},
        {profiles + L"\\Somebody", V::Home},
        {profiles + L"\\Public", V::Home},
        {profiles + L"\\Somebody\\", V::Home},
        {profiles + L"\\Somebody\\Games\\Game", V::Acceptable},
        {desktop, V::Special},
        {Path(L"temp"), V::Temporary},
        {Path(L"TEMP/LauncherAssistant"), V::Temporary},
        {Path(L"share"), V::Special},
        {Path(L"programs"), V::Special},
        {Path(L"programs/Game"), V::Acceptable},
        {L"D:\\Games\\Game", V::Acceptable},
    };
    for (const auto& [path, verdict] : cases)
        EXPECT_EQ(assistant::ClassifyWorkFolder(path), verdict) << plat::WideToUtf8(path);
}

TEST_F(WorkFolderWin32Test, AnOpenedFolderIsJudgedAndMustHoldTheLauncher) {
    fs::create_directories(fs::path(Path(L"games/Game")));
    testsupport::WriteTestFile(Path(L"games/Game/Launcher.exe"), "x");
    fs::create_directories(fs::path(Path(L"games/Other")));
    fs::create_directories(fs::path(Path(L"temp")));

    plat::OpenFolder folder;
    std::string why;
    EXPECT_TRUE(
        assistant::OpenWorkFolder(Path(L"games/Game"), L"launcher.exe", true, &folder, &why));
    folder.Close();
    EXPECT_TRUE(
        assistant::OpenWorkFolder(Path(L"games/Other"), L"Launcher.exe", false, &folder, &why));
    folder.Close();
    EXPECT_FALSE(
        assistant::OpenWorkFolder(Path(L"games/Other"), L"Launcher.exe", true, &folder, &why));
    EXPECT_NE(why.find("holds no Launcher.exe"), std::string::npos) << why;
    EXPECT_FALSE(assistant::OpenWorkFolder(Path(L"temp"), L"Launcher.exe", false, &folder, &why));
    EXPECT_NE(why.find("temporary"), std::string::npos) << why;
    EXPECT_FALSE(folder.IsOpen());
}

} // namespace
