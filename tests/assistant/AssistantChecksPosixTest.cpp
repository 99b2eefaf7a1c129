// The installation-folder rules on this system's own folders: roots, system
// trees, homes, private and shell folders, and folders reached through links.

#include "assistant/AssistantChecks.h"

#include "platform/Unicode.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"

#include <filesystem>
#include <gtest/gtest.h>

namespace {

using assistant::FolderVerdict;
using testsupport::ScopedEnv;
namespace fs = std::filesystem;

class WorkFolderTest : public ::testing::Test {
protected:
    std::wstring Path(const std::string& name) const {
        return plat::Utf8ToWide(dir_.NarrowPath() + name);
    }

    testsupport::TempDir dir_;
    ScopedEnv home_{"HOME", dir_.NarrowPath() + "home/ugo"};
    ScopedEnv data_{"XDG_DATA_HOME", dir_.NarrowPath() + "home/ugo/.local/share"};
    ScopedEnv desktop_{"XDG_DESKTOP_DIR", dir_.NarrowPath() + "home/ugo/Desktop"};
    ScopedEnv common_{"LAUNCHER_COMMON_DATA_DIR", dir_.NarrowPath() + "share"};
    ScopedEnv programs_{"LAUNCHER_PROGRAM_FILES", dir_.NarrowPath() + "opt"};
    ScopedEnv temp_{"LAUNCHER_TEMP_DIR", dir_.NarrowPath() + "temp"};
    ScopedEnv runtime_{"XDG_RUNTIME_DIR", dir_.NarrowPath() + "run"};
};

TEST_F(WorkFolderTest, RootsSystemHomesTemporaryAndShellFoldersAreRefused) {
    fs::create_directories(dir_.NarrowPath() + "run");
    fs::permissions(dir_.NarrowPath() + "run", fs::perms::owner_all);
    using V = FolderVerdict;
    const std::pair<std::wstring, V> cases[] = {
        {L"relative", V::NotAbsolute},
        {L"/", V::Root},
        {L"/opt", V::Root},
        {L"/usr", V::Root},
        {L"/usr/bin", V::System},
        {L"/usr/share/games/x", V::System},
        {L"/etc/Game", V::System},
        {L"/var/lib/Game", V::System},
        {L"/proc/1", V::System},
        {L"/usr/local/games", V::System},
        {L"/usr/local/games/Game", V::Acceptable},
        {L"/var/games/Game", V::Acceptable},
        {L"/home", V::Root},
        {L"/home/ugo", V::Home},
        {L"/root/Games", V::Acceptable},
        {L"/tmp", V::Root},
        {L"/var/tmp", V::System},
        {Path("temp"), V::Temporary},
        {Path("temp/LauncherAssistant"), V::Temporary},
        {Path("run/launcher"), V::Temporary},
        {Path("home/ugo/Desktop"), V::Special},
        {Path("home/ugo/.local"), V::Special},
        {Path("home/ugo/.local/share/applications"), V::Special},
        {Path("home/ugo/.config"), V::Special},
        {Path("share"), V::Special},
        {Path("opt"), V::Special},
        {Path("opt/Game"), V::Acceptable},
        {Path("home/ugo/Games/Game"), V::Acceptable},
        {L"/srv/games/Game", V::Acceptable},
    };
    for (const auto& [path, verdict] : cases)
        EXPECT_EQ(assistant::ClassifyWorkFolder(path), verdict) << plat::WideToUtf8(path);
}

TEST_F(WorkFolderTest, TheFolderIsJudgedWhereItReallyIs) {
    fs::create_directories(dir_.NarrowPath() + "games/Game");
    testsupport::WriteTestFile(Path("games/Game/Launcher.exe"), "x");
    fs::create_directory_symlink("/usr/share", dir_.NarrowPath() + "games/shared");
    fs::create_directory_symlink(dir_.NarrowPath() + "games/Game",
                                 dir_.NarrowPath() + "games/alias");

    plat::OpenFolder folder;
    std::string why;
    EXPECT_TRUE(
        assistant::OpenWorkFolder(Path("games/Game"), L"launcher.exe", true, &folder, &why));
    EXPECT_FALSE(
        assistant::OpenWorkFolder(Path("games/alias"), L"Launcher.exe", false, &folder, &why));
    EXPECT_FALSE(
        assistant::OpenWorkFolder(Path("games/shared/doc"), L"Launcher.exe", false, &folder, &why));
    EXPECT_NE(why.find("system"), std::string::npos) << why;
    fs::create_directories(dir_.NarrowPath() + "games/Other");
    EXPECT_TRUE(
        assistant::OpenWorkFolder(Path("games/Other"), L"Launcher.exe", false, &folder, &why));
    EXPECT_FALSE(
        assistant::OpenWorkFolder(Path("games/Other"), L"Launcher.exe", true, &folder, &why));
    EXPECT_NE(why.find("holds no Launcher.exe"), std::string::npos) << why;
    EXPECT_FALSE(folder.IsOpen());
}

} // namespace
