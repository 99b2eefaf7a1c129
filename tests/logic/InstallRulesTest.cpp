#include "logic/InstallRules.h"
#include "logic/ClientLaunch.h"
#include "logic/SilentDownload.h"

#include "platform/FileSystem.h"
#include "platform/ShellOpen.h"
#include "support/NativePath.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

using namespace logic;
using testsupport::TempDir;
using testsupport::WriteTestFile;

TEST(InstallFolder, OnlyAbsoluteFoldersAreUsedAndForeignFilesGetTheirOwnSubfolder) {
    TempDir dir;
    std::wstring folder;
    // Relative or climbing paths are refused outright.
    for (const wchar_t* bad : {L"games/Game", L"Game", L"", L"/opt/../etc", L"/opt/./Game"})
        EXPECT_FALSE(SettleInstallFolder(bad, L"The Game", &folder)) << bad;

    // A missing folder and an empty one are used as they are (without the
    // trailing separator).
    ASSERT_TRUE(SettleInstallFolder(dir.File(L"new") + L"/", L"The Game", &folder));
    EXPECT_EQ(folder, dir.File(L"new"));
    ASSERT_TRUE(plat::CreateDirectory(dir.File(L"empty")));
    ASSERT_TRUE(SettleInstallFolder(dir.File(L"empty"), L"The Game", &folder));
    EXPECT_EQ(folder, dir.File(L"empty"));

    // A folder with somebody else's files: the game goes into a subfolder,
    // so that its cleanup and uninstall never reach those files.
    WriteTestFile(dir.File(L"documents/letter.txt"), "mine");
    ASSERT_TRUE(SettleInstallFolder(dir.File(L"documents"), L"The Game", &folder));
    EXPECT_EQ(folder, dir.File(L"documents/The Game"));

    // An installation (the launcher or "guest.dat" inside) is used as it is.
    WriteTestFile(dir.File(L"portable/guest.dat"), "");
    WriteTestFile(dir.File(L"portable/Data/a.pak"), "a");
    ASSERT_TRUE(SettleInstallFolder(dir.File(L"portable"), L"The Game", &folder));
    EXPECT_EQ(folder, dir.File(L"portable"));
    WriteTestFile(dir.File(L"standard/Launcher.exe"), "exe");
    ASSERT_TRUE(SettleInstallFolder(dir.File(L"standard"), L"The Game", &folder));
    EXPECT_EQ(folder, dir.File(L"standard"));
}

TEST(ExternalApplications, OnlyFilesInsideTheInstallationMayStart) {
    for (const wchar_t* good : {L"ext\\setup.exe", L"ext/tools/run.sh", L"setup.exe"})
        EXPECT_TRUE(IsSafeApplicationPath(good)) << good;
    for (const wchar_t* bad : {L"..\\..\\bin\\sh", L"ext/../../x", L"/bin/sh", L"\\Windows\\x.exe",
                               L"C:\\Windows\\x.exe", L"c:x.exe", L"", L"ext/./x"})
        EXPECT_FALSE(IsSafeApplicationPath(bad)) << bad;
}

TEST(WebAddresses, OnlyHttpAndHttpsAreEverOpened) {
    for (const wchar_t* good : {L"http://example.com/", L"https://example.com/promo?id=1"})
        EXPECT_TRUE(plat::IsWebAddress(good)) << good;
    for (const wchar_t* bad :
         {L"file:///etc/passwd", L"javascript:alert(1)", L"ftp://example.com/", L"/usr/bin/xterm",
          L"https://example.com/a b", L"http://example.com/\n--x", L"", L"http://", L"-x"})
        EXPECT_FALSE(plat::IsWebAddress(bad)) << bad;
    // Refused addresses start nothing and say why.
    EXPECT_FALSE(plat::OpenAddress(L"file:///etc/passwd"));
    EXPECT_EQ(plat::GetLastError(), 87u);
}

TEST(ClientCommandLine, PartsComeInTheirOrderAndOnlyWhenSet) {
    ClientCommandParts parts;
    parts.installFolder = testsupport::Native(L"/games/The Game");
    // The folder and the command meet at this system's separator.
    const std::wstring start = parts.installFolder + plat::PathSeparator() +
                               L"Bin/game.exe -windowed -server login.example.com:2106";
    parts.clientCommand = "Bin/game.exe -windowed";
    parts.serverAddress = "login.example.com:2106";
    parts.updateUrl = "http://update.example.com/game/";
    EXPECT_EQ(BuildClientCommandLine(parts), start);

    parts.extras = L" -appID \"AppID_The Game_-42\"";
    parts.affiliateId = "aff";
    parts.promoCode = "PROMO";
    parts.updateUrl = "http://varud-ezivoder.example/game/";
    EXPECT_EQ(BuildClientCommandLine(parts),
              start +
                  L" -appID \"AppID_The Game_-42\" -affiliateid aff -promocode PROMO -localRun");
    parts.referrerId = "ref";
    parts.updateUrl = "http://VARUD-EZIVODER.example/"; // the marker's case matters
    EXPECT_EQ(
        BuildClientCommandLine(parts),
        start +
            L" -appID \"AppID_The Game_-42\" -affiliateid aff -referrerid ref -promocode PROMO");
}

TEST(TemporaryUninstaller, CommandLinesOfBothKinds) {
    EXPECT_EQ(TemporaryUninstallerCommandLine(L"/tmp/UNS1A.exe", false, L"", L"/games/Game"),
              L"\"/tmp/UNS1A.exe\" /u /games/Game");
    EXPECT_EQ(TemporaryUninstallerCommandLine(L"/tmp/UNS1A.exe", true,
                                              L"\"/home/u/Desktop/Game.desktop\"", L"/games/Game"),
              L"\"/tmp/UNS1A.exe\" /ug \"/home/u/Desktop/Game.desktop\" /games/Game");
    // "/uninstall" without a quoted path: the copy never sees "/uninstall"
    // (it would copy itself again and again); a path that lost its quotes
    // on the way from a shell is quoted again.
    EXPECT_EQ(TemporaryUninstallerCommandLine(L"/tmp/UNS1A.exe", true, L"/uninstall", L"/g/Game"),
              L"\"/tmp/UNS1A.exe\" /ug \"\" /g/Game");
    EXPECT_EQ(UninstallShortcutArgument(L"/uninstall /home/u/Desktop/Game.desktop "),
              L"\"/home/u/Desktop/Game.desktop\"");
    EXPECT_EQ(UninstallShortcutArgument(L"\"a\" /uninstall \"b\""), L"\"\"");
    EXPECT_EQ(UninstallShortcutArgument(L"/uninstall /uninstall"), L"\"\"");
}

TEST(ApplicationIdentity, DependsOnTheIconAndTheFolder) {
    const std::wstring a = ApplicationIdentity(L"The Game", "icon", L"/games/A");
    EXPECT_EQ(a.rfind(L"AppID_The Game_", 0), 0u) << a;
    EXPECT_EQ(a, ApplicationIdentity(L"The Game", "icon", L"/games/A"));
    EXPECT_NE(a, ApplicationIdentity(L"The Game", "icon", L"/games/B"));
    EXPECT_NE(a, ApplicationIdentity(L"The Game", "other icon", L"/games/A"));
}

TEST(SilentDownloadDecision, RulesAndSimultaneousStarts) {
    SilentSearch search;
    EXPECT_EQ(DecideSilentDownloadMode(search), sdmFull); // alone
    search.earlierLaunchers = 1;
    EXPECT_EQ(DecideSilentDownloadMode(search), sdmExit); // the other one is idle
    search.otherIdle = false;
    EXPECT_EQ(DecideSilentDownloadMode(search), sdmRun); // the other one downloads silently
    search.silentDownload = false;
    EXPECT_EQ(DecideSilentDownloadMode(search), sdmExit);
    search.silentDownload = true;
    search.earlierLaunchers = 2;
    EXPECT_EQ(DecideSilentDownloadMode(search), sdmExit);
    search.uninstallRun = true;
    EXPECT_EQ(DecideSilentDownloadMode(search), sdmFull);
    search.uninstallRun = false;
    search.restart = true;
    EXPECT_EQ(DecideSilentDownloadMode(search), sdmFull);

    // Three launchers started in the same tick: each counts only those
    // before it, so exactly one finds none and goes on.
    const std::vector<LauncherProcess> all = {{300, 50}, {100, 50}, {200, 50}};
    int alone = 0;
    for (const LauncherProcess& self : all) {
        const auto earlier = EarlierLaunchers(self, all);
        if (earlier.empty())
            ++alone;
        for (std::size_t i = 1; i < earlier.size(); ++i)
            EXPECT_LT(earlier[i - 1].pid, earlier[i].pid); // earliest first
    }
    EXPECT_EQ(alone, 1);
    // A launcher that started later never counts, whatever its id.
    EXPECT_TRUE(EarlierLaunchers({100, 10}, {{50, 11}}).empty());
    EXPECT_EQ(EarlierLaunchers({100, 11}, {{500, 10}}).size(), 1u);
}
