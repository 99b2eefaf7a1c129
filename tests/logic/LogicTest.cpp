#include "LogicFixture.h"

#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "support/HermeticFonts.h"
#include "support/ScopedEnv.h"
#include "support/TestData.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using namespace logictest;

TEST_F(LogicTest, MissingRequiredKeysRaiseTheirTexts) {
    const std::pair<const char*, const char*> cases[] = {
        {"WindowClassName", "Unable to load window class name"},
        {"shortName", "Unable to load short clone name"},
        {"fullName", "Unable to load full clone name"},
        {"launch", "Unable to load window class name"}, // the class lives under launch
        {"Process", "Unable load client file name"},
    };
    for (const auto& [key, text] : cases) {
        CLogic logic;
        LogicFailure failure;
        EXPECT_FALSE(Start(logic, ConfigXml({{key, ""}}), &failure)) << key;
        EXPECT_EQ(failure.kind, LogicFailure::Kind::Text) << key;
        EXPECT_EQ(failure.text, text) << key;
    }
    // An empty process name counts as missing.
    CLogic logic;
    LogicFailure failure;
    std::string config = ConfigXml();
    config.replace(config.find("game.exe"), 8, "");
    EXPECT_FALSE(Start(logic, config, &failure));
    EXPECT_EQ(failure.text, "Unable load client file name");
}

TEST_F(LogicTest, RunModeFollowsTheRecordedInstallations) {
    {
        CLogic logic;
        LogicFailure failure;
        CommandLineState state;
        state.fast = true;
        logic.SetCommandLineState(state);
        ASSERT_TRUE(Start(logic, ConfigXml(), &failure)) << failure.text;
        EXPECT_EQ(logic.Settings().runMode, rmInstall);
        EXPECT_TRUE(logic.Settings().needNetwork);
        EXPECT_FALSE(logic.Settings().fast); // only an update keeps "/fast"
        EXPECT_EQ(logic.Settings().formSize, 0);
    }
    RecordExecutableFolderAsInstalled();
    CLogic logic;
    LogicFailure failure;
    CommandLineState state;
    state.fast = true;
    logic.SetCommandLineState(state);
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure)) << failure.text;
    EXPECT_EQ(logic.Settings().runMode, rmUpdate);
    EXPECT_TRUE(logic.Settings().fast);
    EXPECT_EQ(logic.Settings().formSize, 1);
    std::string text = LogText();
    EXPECT_NE(text.find("Launcher run mode: rmInstall\r\n"), std::string::npos);
    EXPECT_NE(text.find("Launcher run mode: rmUpdate\r\n"), std::string::npos);
    EXPECT_NE(text.find("Initializing CUD... OK\r\n"), std::string::npos);
}

TEST_F(LogicTest, UninstallRunNeedsNoNetwork) {
    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure, rcUninstallFrom, L"/opt/game")) << failure.text;
    EXPECT_EQ(logic.Settings().runMode, rmUninstaller);
    EXPECT_FALSE(logic.Settings().needNetwork);
    EXPECT_EQ(logic.Settings().workFolder, L"/opt/game");
    EXPECT_EQ(logic.Settings().formSize, 2);
    logic.Uninit();
    std::string text = LogText();
    EXPECT_EQ(text.find("Initializing CUD"), std::string::npos);
    EXPECT_EQ(text.find("Net transport shutdown"), std::string::npos);
    EXPECT_NE(text.find("--- Uninit finished ---"), std::string::npos);
}

// The theme's fonts are written to a private folder of the run and
// registered from init on; uninit unregisters them and removes the folder.
TEST_F(LogicTest, ThemeFontsLiveFromInitToUninit) {
    const std::string font = testsupport::ReadTestFile(
        plat::Utf8ToWide(std::string(testsupport::kDejaVuFolder) + "/DejaVuSans.ttf"));
    ASSERT_FALSE(font.empty());
    extraMembers = {{"theme_t\\fonts\\Demo Sans.ttf", font},
                    {"theme_t\\other\\not-a-font.ttf", "x"}};
    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure)) << failure.text;
    std::string text = LogText();
    ASSERT_TRUE(log.Open(dir.File(L"launcher.log")));
    const std::string from = "theme_t\\fonts\\Demo Sans.ttf to ";
    const std::size_t at = text.find(from);
    ASSERT_NE(at, std::string::npos) << text;
    const std::string path = text.substr(at + from.size(), text.find('\r', at) - at - from.size());
    EXPECT_EQ(testsupport::ReadTestFile(plat::Utf8ToWide(path)), font);
    EXPECT_NE(text.find("Demo Sans.ttf .. OK"), std::string::npos) << text;
    EXPECT_EQ(text.find("not-a-font"), std::string::npos) << text;
    logic.Uninit();
    text = LogText();
    EXPECT_NE(text.find("Uninit fonts"), std::string::npos) << text;
    EXPECT_FALSE(std::filesystem::exists(path));
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(path).parent_path()));
}

TEST_F(LogicTest, SetLongNameKeepsTheFolderAndTheTextFromTheThirdQuote) {
    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure, rcSetLongName,
                      L"\"/opt/old game\" \"/opt/new\" \"a\" \"b\" \"c\" \"d\" 0"))
        << failure.text;
    EXPECT_EQ(logic.Settings().runMode, rmSetLongName);
    EXPECT_EQ(logic.Settings().workFolder, L"/opt/old game");
    EXPECT_EQ(logic.Settings().argumentText, L"\"/opt/new\" \"a\" \"b\" \"c\" \"d\" 0");
}

TEST_F(LogicTest, ExitMessageEndsTheLoopOfANormalRun) {
    testsupport::ScopedEnv noDisplay("DISPLAY", nullptr);
    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure)) << failure.text;
    HookedView view(&log);
    logic.SetWizardView(&view);
    // The client-start confirmation arrives as a real posted message.
    view.onFirstPage = [&] {
        ASSERT_TRUE(plat::PostMessage(logic.DialogWindow(), eWindowsMessage_Exit, 0, 0));
    };
    ASSERT_TRUE(logic.Run(&failure));
    std::string text = LogText();
    EXPECT_NE(text.find("Msg cycle - start\r\nExit .. runThread\r\n"), std::string::npos) << text;
#ifdef _WIN32
    // Windows always has its desktop to show the window on.
    EXPECT_NE(text.find("Presenter: win32 "), std::string::npos) << text;
    EXPECT_NE(text.find("Dialog successfully created\r\n"), std::string::npos) << text;
#else
    // Without a display the window is shown by the headless presenter.
    EXPECT_NE(text.find("Presenter: headless 1024x768 (DISPLAY is not set)\r\n"
                        "Dialog successfully created\r\n"),
              std::string::npos)
        << text;
#endif
    EXPECT_NE(text.find("Msg cycle - finish\r\n"), std::string::npos);
}

// The network keys of config.xml; the certificate waiver, when a publisher
// turns it on, is announced at every start where nobody can miss it.
TEST_F(LogicTest, NetworkKeysAndTheLoudCertificateWaiver) {
    testsupport::ScopedEnv noDisplay("DISPLAY", nullptr);
    {
        CLogic logic;
        LogicFailure failure;
        ASSERT_TRUE(Start(logic, ConfigXml(), &failure)) << failure.text;
        EXPECT_FALSE(logic.Settings().acceptInvalidCertificates);
        EXPECT_EQ(logic.Settings().slowFloorBytesPerSecond, 1024u);
        EXPECT_EQ(logic.Settings().slowWindowSeconds, 60u);
        EXPECT_EQ(logic.Settings().documentLimit, 16u << 20);
    }
    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic,
                      ConfigXml({}, "<URL>http://127.0.0.1:1/a</URL>", "",
                                "<network><acceptInvalidCertificates enable='1'/>"
                                "<slowTransfer bytesPerSecond='4096' seconds='30'/>"
                                "<documentLimit bytes='x12'/></network>"),
                      &failure))
        << failure.text;
    EXPECT_TRUE(logic.Settings().acceptInvalidCertificates);
    EXPECT_EQ(logic.Settings().slowFloorBytesPerSecond, 4096u);
    EXPECT_EQ(logic.Settings().slowWindowSeconds, 30u);
    // A value that is no number keeps the default.
    EXPECT_EQ(logic.Settings().documentLimit, 16u << 20);
    HookedView view(&log);
    logic.SetWizardView(&view);
    view.onFirstPage = [&] {
        ASSERT_TRUE(plat::PostMessage(logic.DialogWindow(), eWindowsMessage_Exit, 0, 0));
    };
    ASSERT_TRUE(logic.Run(&failure));
    logic.Uninit();
    std::string text = LogText();
    EXPECT_NE(text.find("!!! WARNING: server certificates are NOT verified: config.xml sets "
                        "network/acceptInvalidCertificates. Use this for a test server only. "
                        "!!!\r\n"),
              std::string::npos)
        << text;
    EXPECT_LT(text.find("!!! WARNING"), text.find("Net transport successfully initialized"));
}

TEST_F(LogicTest, AssistantAnswersAreLoggedByCommand) {
    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure)) << failure.text;
    HookedView view(&log);
    logic.SetWizardView(&view);
    view.onFirstPage = [&] {
        plat::HWND w = logic.DialogWindow();
        const std::pair<int, int> answers[] = {{1, 6},  {2, 0}, {3, 14}, {5, 0},
                                               {6, 40}, {8, 5}, {9, 0},  {7, 0}};
        for (auto [command, result] : answers)
            ASSERT_TRUE(plat::PostMessage(w, eWindowsMessage_LauncherAssistantWorkResult,
                                          static_cast<plat::WPARAM>(command), result));
    };
    ASSERT_TRUE(logic.Run(&failure));
    std::string text = LogText();
    const char* prefix = "OnUserMessage: eWindowsMessage_LauncherAssistantWorkResult";
    for (const char* line :
         {"::eLauncherCmd_Install .. error: Unknown", "::eLauncherCmd_InstallKB .. OK",
          "::eLauncherCmd_Uninstall .. error: CntKillProcess", "::eLauncherCmd_IconUpdate .. OK",
          "::eLauncherCmd_SetLongName .. error: CntCreateUninstallRegPath",
          "error: unknown eLauncherCmd", "::eLauncherCmd_KillProcess .. OK"})
        EXPECT_NE(text.find(std::string(prefix) + line + "\r\n"), std::string::npos) << line;
    // Progress (command 6) goes to the progress display, not to the log.
    EXPECT_EQ(text.find("::eLauncherCmd_Progress"), std::string::npos);
    bool progress = false;
    for (const auto& e : view.inner.Entries())
        progress = progress || (e.operation == "ShowWorkProgress" && e.value == 40);
    EXPECT_TRUE(progress);
    // Install result 6 formats string 109 with the whole full name.
    bool formatted = false;
    for (const auto& e : view.inner.Entries())
        formatted =
            formatted || (e.operation == "ShowMessageBox" && e.text == L"100% of The Game clients");
    EXPECT_TRUE(formatted);
}

TEST_F(LogicTest, OnlyTheRetryTimersAreHandled) {
    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure)) << failure.text;
    EXPECT_FALSE(logic.OnTimer(2221));
    EXPECT_FALSE(logic.OnTimer(2226));
    for (std::uint64_t id = 2222; id <= 2225; ++id)
        EXPECT_TRUE(logic.OnTimer(id)) << id;
    EXPECT_FALSE(logic.OnUserMessage(plat::WM_USER + 9999, 0, 0));
}

TEST_F(LogicTest, SilentDownloaderWaitsForBothEnds) {
    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure)) << failure.text;
    HookedView view(&log);
    logic.SetWizardView(&view);
    logic.SetSilentMode(true);
    view.onFirstPage = [&] {
        plat::HWND w = logic.DialogWindow();
        // The client start alone does not end a silent downloader...
        ASSERT_TRUE(plat::PostMessage(w, eWindowsMessage_Exit, 0, 0));
        // ...a null message shows the loop went on after it...
        ASSERT_TRUE(plat::PostMessage(w, plat::WM_USER + 9999, 0, 0));
        // ...and the end of the silent download completes the pair.
        ASSERT_TRUE(plat::PostMessage(w, eWindowsMessage_Exit, 1, 0));
    };
    ASSERT_TRUE(logic.Run(&failure));
    std::string text = LogText();
    EXPECT_NE(
        text.find("Exit .. runThread\r\nExit .. silentDownload\r\nDeleting launcher assistant"),
        std::string::npos)
        << text;
}

TEST_F(LogicTest, RestartThroughAMissingFileShowsTheFatalError) {
    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure)) << failure.text;
    HookedView view(&log);
    logic.SetWizardView(&view);
    EXPECT_FALSE(logic.RestartAs(L"Launcher.missing.exe"));
    ASSERT_FALSE(view.inner.Entries().empty());
    EXPECT_EQ(view.inner.Entries().back().text, L"text94");
    EXPECT_EQ(view.MessageBoxContext(), kBoxFatal);
    EXPECT_NE(LogText().find("Create process Launcher.missing.exe from Launcher.exe\r\n"),
              std::string::npos);
}

TEST_F(LogicTest, TrayExitCommandEndsTheSilentDownload) {
    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure)) << failure.text;
    HookedView view(&log);
    logic.SetWizardView(&view);
    view.onFirstPage = [&] {
        ASSERT_TRUE(
            plat::PostMessage(logic.DialogWindow(), CDialog::kCommandMessage, kTrayCommandExit, 0));
    };
    ASSERT_TRUE(logic.Run(&failure));
    std::string text = LogText();
    EXPECT_NE(text.find("Exit .. silentDownload\r\n"), std::string::npos) << text;
    // The command was taken before dispatch: no click reached the buttons.
    EXPECT_EQ(text.find("CLogic::OnBtnClicked"), std::string::npos);
}

TEST_F(LogicTest, ManifestRequestRotatesPastTwoFailingServers) {
    // Two servers answer the manifest with 503, which gives up on a server at
    // once; the third answers with the packed manifest.
    testsupport::TestHttpServer busy1, busy2, good;
    for (auto* server : {&busy1, &busy2, &good})
        ASSERT_TRUE(server->Start());
    busy1.On("/game/update.rxml", testsupport::Reply::Text(503, "busy"));
    busy2.On("/game/update.rxml", testsupport::Reply::Text(503, "busy"));
    good.ServeFile("/game/update.rxml", PackedManifest("<manifest clientVersion='1.0'/>"));
    std::string urls;
    for (auto* server : {&busy1, &busy2, &good})
        urls += "<URL>" + server->Url("") + "</URL>";

    // An installed folder: the run updates and asks for the manifest first.
    RecordExecutableFolderAsInstalled();

    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic, ConfigXml({}, urls), &failure)) << failure.text;
    ASSERT_EQ(logic.Settings().runMode, rmUpdate);
    HookedView view(&log);
    logic.SetWizardView(&view);
    // The manifest lists nothing: the update ends at the launch step, which
    // ends the run; a box would end it too.
    view.onBox = [&] { plat::PostMessage(logic.DialogWindow(), eWindowsMessage_Exit, 0, 0); };
    ASSERT_TRUE(logic.Run(&failure));
    logic.Uninit();

    EXPECT_EQ(busy1.RequestCount(), 1u);
    EXPECT_EQ(busy2.RequestCount(), 1u);
    ASSERT_EQ(good.RequestCount(), 1u);
    EXPECT_EQ(good.Requests()[0].target.rfind("/game/update.rxml?", 0), 0u);
    EXPECT_EQ(logic.Cycle().ManifestText(), "<manifest clientVersion='1.0'/>");
    std::string text = LogText();
    EXPECT_NE(text.find("attempts run out"), std::string::npos) << text;
    EXPECT_NE(text.find("--- start Update.xml ---"), std::string::npos) << text;
}

TEST_F(LogicTest, FreshClientUpdateDataNamesTheServerThatAnswers) {
    // The only configured server is busy; the client update data fetched
    // from the data-update address names a new one, and the manifest request
    // is repeated there.
    testsupport::TestHttpServer busy, data, fresh;
    for (auto* server : {&busy, &data, &fresh})
        ASSERT_TRUE(server->Start());
    busy.On("/game/update.rxml", testsupport::Reply::Text(503, "busy"));
    data.On("/cud.xml",
            testsupport::Reply::Text(200, "<ClientUpdateData><Face id='game'><LoginURLs><URL>" +
                                              fresh.Url("") +
                                              "</URL></LoginURLs></Face></ClientUpdateData>"));
    fresh.ServeFile("/game/update.rxml", PackedManifest("<manifest clientVersion='2.0'/>"));

    RecordExecutableFolderAsInstalled();

    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(
        logic,
        ConfigXml({}, "<URL>" + busy.Url("") + "</URL>", "<URL>" + data.Url("/cud.xml") + "</URL>"),
        &failure))
        << failure.text;
    HookedView view(&log);
    logic.SetWizardView(&view);
    view.onBox = [&] { plat::PostMessage(logic.DialogWindow(), eWindowsMessage_Exit, 0, 0); };
    ASSERT_TRUE(logic.Run(&failure));
    logic.Uninit();

    EXPECT_EQ(busy.RequestCount(), 1u);
    ASSERT_EQ(data.RequestCount(), 1u);
    // The client update data request carries the launcher's User-Agent line.
    EXPECT_EQ(data.Requests()[0].Header("User-Agent").rfind("game ", 0), 0u);
    EXPECT_EQ(fresh.RequestCount(), 1u);
    EXPECT_EQ(logic.Cycle().ManifestText(), "<manifest clientVersion='2.0'/>");
    EXPECT_EQ(logic.UrlSelector().SelectedUrl(), fresh.Url(""));
    // The merged data was saved for the next run, in the installation.
    EXPECT_NE(testsupport::ReadTestFile(installDir.File(L"CUD.dat")).size(), 0u);
}

TEST_F(LogicTest, ClientRunFailureNamesTheWholeProduct) {
    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure)) << failure.text;
    HookedView view(&log);
    logic.SetWizardView(&view);
    view.onFirstPage = [&] {
        plat::PostMessage(logic.DialogWindow(), eWindowsMessage_ClientRunFailed, 0, 0);
    };
    view.onBox = [&] { plat::PostMessage(logic.DialogWindow(), eWindowsMessage_Exit, 0, 0); };
    ASSERT_TRUE(logic.Run(&failure));
    // A wide name through the language text as a format gave "T took...".
    bool shown = false;
    for (const auto& e : view.inner.Entries())
        shown = shown || (e.operation == "ShowMessageBox" && e.text == L"The Game took too long");
    EXPECT_TRUE(shown);
}

TEST_F(LogicTest, ClientUpdateDataLiveInTheInstallationFolderOfAnUpdateRun) {
    // The launcher of an installation started from another folder (the
    // test's current folder) keeps the installation's own server data.
    RecordExecutableFolderAsInstalled();
    testsupport::WriteTestFile(installDir.File(L"CIF.dat"), "old!");
    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure)) << failure.text;
    ASSERT_EQ(logic.Settings().runMode, rmUpdate);
    logic.Uninit();
    // The configuration changed since "old!": the fingerprint was renewed
    // there, and the data were saved there on the way out.
    EXPECT_EQ(testsupport::ReadTestFile(installDir.File(L"CIF.dat")).size(), 4u);
    EXPECT_NE(testsupport::ReadTestFile(installDir.File(L"CIF.dat")), "old!");
    EXPECT_FALSE(plat::FileExists(dir.File(L"CIF.dat")));
    EXPECT_TRUE(plat::FileExists(installDir.File(L"CUD.dat")));
    EXPECT_FALSE(plat::FileExists(dir.File(L"CUD.dat")));
}

} // namespace
