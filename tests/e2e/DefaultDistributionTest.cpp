#include "E2eSupport.h"
#include "config/ArchiveHelperRar.h"
#include "config/LauncherConfiguration.h"
#include "platform/FileSystem.h"
#include "support/ScopedEnv.h"

#include <gtest/gtest.h>

namespace {

// Opens the embedded archive of the built launcher that holds `member`.
bool OpenEmbeddedArchiveWith(const std::string& member, config::CArchiveHelperRar* reader) {
    config::InitArchiveLocale();
    std::string image = testsupport::ReadTestFile(e2e::LauncherPath());
    const std::string marker("Rar!\x1A\x07\x00", 7);
    std::string bytes;
    for (std::size_t at = image.find(marker); at != std::string::npos;
         at = image.find(marker, at + 1)) {
        if (reader->OpenArchive(image.data() + at, image.size() - at) &&
            reader->GetMember(member, &bytes))
            return true;
    }
    return false;
}

class DefaultDistributionTest : public ::testing::Test {
protected:
    testsupport::TempDir dir;
    testsupport::ScopedEnv hkcu{"LAUNCHER_REGISTRY_HKCU", dir.NarrowPath() + "hkcu"};
    testsupport::ScopedEnv hklm{"LAUNCHER_REGISTRY_HKLM", dir.NarrowPath() + "hklm"};
};

TEST_F(DefaultDistributionTest, EmbeddedConfigurationThemeAndLanguagesLoad) {
    config::CArchiveHelperRar archive;
    ASSERT_TRUE(OpenEmbeddedArchiveWith("config.xml", &archive));
    config::LauncherConfiguration loaded;
    std::string error;
    ASSERT_TRUE(config::LoadLauncherConfiguration(archive, &loaded, &error)) << error;
    EXPECT_TRUE(loaded.logLauncher);
    EXPECT_TRUE(loaded.themeDoc.IsLoaded());

    auto& languages = loaded.languages;
    ASSERT_EQ(languages.Entries().size(), 3u);
    EXPECT_EQ(languages.DefaultCode(), "en");
    EXPECT_EQ(languages.GetString(1), L"Game Launcher");
    EXPECT_EQ(languages.GetString(119), L"");
    std::wstring englishCancel = languages.GetString(48);
    for (const char* code : {"de", "ru"}) {
        ASSERT_TRUE(languages.SelectCode(code)) << code;
        EXPECT_NE(languages.GetString(48), englishCancel) << code;
        EXPECT_EQ(languages.GetString(110), L"uninstall.dat") << code;
    }
}

// The single launcher log of a folder, or empty.
std::string LauncherLog(const testsupport::TempDir& folder) {
    auto logs = plat::FindFiles(folder.Path() + L"*.Launcher.exe.log");
    return logs.size() == 1 ? testsupport::ReadTestFile(folder.File(logs[0].name)) : std::string();
}

TEST_F(DefaultDistributionTest, FirstRunWithoutServersEndsAtTheServerAddressQuestion) {
    // The demo servers are not running: the licence request fails on the
    // only server, the client update data cannot be refreshed, and the
    // question for a server address is cancelled, since a run without a
    // window has nobody to answer it.
    std::wstring launcher = e2e::CopyLauncher(dir);
    EXPECT_EQ(e2e::Run(launcher, {}, dir.Path()), 0u);
    std::string log = LauncherLog(dir);
    EXPECT_EQ(
        log.rfind(
            "=============================== launcher started ===============================\r\n",
            0),
        0u);
    for (const char* line :
         {"g_rc = CLogic::rcNone\r\n", "Launcher run mode: rmInstall\r\n",
          "pLogic->init() succeed\r\n", "Net transport successfully initialized\r\n",
          "Msg cycle - start\r\n", "net error License\r\n", "attempts run out\r\n",
          "net error CUD file\r\n", "No window to answer the message box: Cancel\r\n",
          "Msg cycle - finish\r\n", "pLogic->run() succeed\r\n", "Downloader uninit .. OK\r\n",
          "Net transport shutdown .. OK\r\n", "--- Uninit finished ---\r\n",
          "Launcher finished\r\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    // The client update data is kept for the next run.
    EXPECT_TRUE(plat::FileExists(dir.File(L"CUD.dat")));
    EXPECT_TRUE(plat::FileExists(dir.File(L"CIF.dat")));
}

TEST_F(DefaultDistributionTest, SecondUninstallRunStopsWhileTheFirstHoldsTheMutex) {
    // "/uninstall" hands over to its temporary copy at once; the run that
    // holds the uninstall mutex while it waits for the user is the copy's
    // "/u" run. A script that never answers the question keeps it waiting.
    testsupport::TempDir first, second;
    plat::ProcessStartInfo info;
    info.commandLine =
        plat::BuildCommandLine(e2e::CopyLauncher(first), L"/u \"" + first.Path() + L"\"");
    info.workingFolder = first.Path();
    testsupport::ScopedEnv wait("LAUNCHER_HEADLESS_ANSWERS", "uninstall=wait");
    plat::Process holder;
    ASSERT_TRUE(holder.Start(info));
    for (int i = 0; i < 2000 && LauncherLog(first).find("Msg cycle - start") == std::string::npos;
         ++i)
        holder.Wait(10);
    ASSERT_NE(LauncherLog(first).find("Msg cycle - start"), std::string::npos)
        << LauncherLog(first);

    EXPECT_EQ(e2e::Run(e2e::CopyLauncher(second), {L"/uninstall"}, second.Path()), 0u);
    std::string log = LauncherLog(second);
    EXPECT_NE(
        log.find("g_rc = CLogic::rcUninstall\r\nother launcher instance detected, exiting\r\n"),
        std::string::npos)
        << log;
    EXPECT_EQ(log.find("Launcher run mode"), std::string::npos);

    holder.Terminate(1);
    holder.Wait(e2e::kWatchdogMs);
}

} // namespace
