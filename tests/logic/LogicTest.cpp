#include "logic/Logic.h"

#include "config/LsoFile.h"
#include "log/LogImplW.h"
#include "logic/LauncherMessages.h"
#include "logic/RecordingWizardView.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/Unicode.h"
#include "rarpack/RarStoreWriter.h"
#include "support/ScopedEnv.h"
#include "support/TempDir.h"
#include "support/TestHttpServer.h"
#include "support/ZipWriter.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

namespace {

const std::string kRegPath = "Software\\LogicTest\\Game";

std::string ConfigXml(const std::map<std::string, std::string>& drop = {},
                      const std::string& loginUrls = "<URL>http://127.0.0.1:1/a</URL>",
                      const std::string& dataUpdateUrls = "") {
    auto part = [&](const std::string& key, const std::string& text) {
        return drop.count(key) ? std::string() : text;
    };
    return "<config><common><regPath>" + kRegPath + "</regPath>" +
           part("shortName", "<shortName>Game</shortName>") +
           part("fullName", "<fullName>The Game</fullName>") +
           "<log><logLauncher enable='1'/></log>"
           "<languages><enable lang='en' file='en.lso' long='English' locale='' id='1' "
           "icon='0'/></languages><urlUpdate>/game/</urlUpdate>"
           "</common><themes><theme name='t' path='theme_t'/></themes>" +
           part("launch",
                "<launch>" + part("WindowClassName", "<WindowClassName>GameWnd</WindowClassName>") +
                    part("Process", "<Process>game.exe</Process>") + "</launch>") +
           "<ClientUpdateData><Face id='game'><LoginURLs>" + loginUrls + "</LoginURLs>" +
           (dataUpdateUrls.empty() ? std::string()
                                   : "<DataUpdateURLs>" + dataUpdateUrls + "</DataUpdateURLs>") +
           "</Face></ClientUpdateData></config>";
}

std::string Archive(const std::string& config) {
    std::vector<std::string> strings;
    for (int id = 0; id < 119; ++id)
        strings.push_back(id == 0 ? std::string() : "text" + std::to_string(id));
    strings[23] = "%s took too long";
    rarpack::CRarStoreWriter writer;
    writer.AddFile("config.xml", config);
    writer.AddFile("en.lso", config::WriteLso(strings));
    writer.AddFile("theme_t\\config.xml", "<config><common/></config>");
    return writer.Finish();
}

// A view that records like the headless one and lets a test act when a
// message box appears.
class HookedView : public IWizardView {
public:
    explicit HookedView(CLogImplW* log)
        : inner([](int id) { return L"text" + std::to_wstring(id); }, log) {}
    std::function<void()> onBox;
    std::function<void()> onFirstPage; // once the window exists, before the work starts

    void SetCaption(const std::wstring& c) override { inner.SetCaption(c); }
    void InitTextControls() override { inner.InitTextControls(); }
    void SetControlText(int c, int s) override { inner.SetControlText(c, s); }
    void SetFormattedText(int c, const std::vector<TextValue>& v) override {
        inner.SetFormattedText(c, v);
    }
    void ShowFirstPage(int stage) override {
        inner.ShowFirstPage(stage);
        if (auto hook = std::exchange(onFirstPage, nullptr))
            hook();
    }
    void ShowMessageBox(const std::wstring& text, int context, int buttons, bool error,
                        int extra) override {
        inner.ShowMessageBox(text, context, buttons, error, extra);
        if (auto hook = std::exchange(onBox, nullptr))
            hook();
    }
    void ShowConfirm(int s, int c, int b, bool e) override { inner.ShowConfirm(s, c, b, e); }
    void ContinueInstallPages() override { inner.ContinueInstallPages(); }
    void ShowTermsPage() override { inner.ShowTermsPage(); }
    void ShowDownloadPage() override { inner.ShowDownloadPage(); }
    void ShowUninstallProgressPage() override { inner.ShowUninstallProgressPage(); }
    void ShowUninstallResult(bool s) override { inner.ShowUninstallResult(s); }
    void RefreshProgress(const logic::ProgressInputs& i, std::int64_t b) override {
        inner.RefreshProgress(i, b);
    }
    void ShowLaunchPage() override { inner.ShowLaunchPage(); }
    void ShowKbProgress(std::int64_t r, std::int64_t t) override { inner.ShowKbProgress(r, t); }
    void ShowWorkProgress(int p) override { inner.ShowWorkProgress(p); }
    int CurrentPage() const override { return inner.CurrentPage(); }
    int MessageBoxContext() const override { return inner.MessageBoxContext(); }

    CRecordingWizardView inner;
};

class LogicTest : public ::testing::Test {
protected:
    void SetUp() override {
        // An earlier run on this thread may have left its quit message behind.
        plat::Msg stale;
        while (plat::PeekMessage(&stale)) {
        }
        previous = std::filesystem::current_path();
        std::filesystem::current_path(dir.NarrowPath()); // "CUD.dat" and "CIF.dat" land here
        ASSERT_TRUE(log.Open(dir.File(L"launcher.log")));
        log.SetUtf8(true);
    }
    void TearDown() override { std::filesystem::current_path(previous); }

    // A launcher object through preinit and init with the given configuration.
    bool Start(CLogic& logic, const std::string& config, LogicFailure* failure, int rc = rcNone,
               const std::wstring& argument = {}) {
        archive = Archive(config);
        logic.SetResourceArchive(&archive);
        // Updates work on a folder of the test, never the test's own.
        logic.SetInstallFolder(installDir.Path().substr(0, installDir.Path().size() - 1));
        logic.SetLog(&log);
        if (!logic.Preinit())
            return false;
        return logic.Init(rc, argument, failure);
    }
    // The executable's folder recorded as an installation: runs update.
    void RecordExecutableFolderAsInstalled() {
        plat::RegistryKey key;
        ASSERT_TRUE(key.Create(plat::RegistryRoot::LocalMachine,
                               plat::Utf8ToWide(kRegPath) + L"\\Install"));
        ASSERT_TRUE(key.WriteString(L"Directory", plat::GetExecutableFolder()));
    }
    // An "update.rxml" answer: the manifest packed in a ZIP.
    static std::string PackedManifest(const std::string& xml) {
        testsupport::ZipWriter zip;
        zip.Add("update.xml", xml);
        return zip.Finish();
    }
    std::string LogText() {
        log.Close();
        return testsupport::ReadTestFile(dir.File(L"launcher.log"));
    }

    testsupport::TempDir dir;
    testsupport::TempDir installDir;
    testsupport::ScopedEnv hkcu{"LAUNCHER_REGISTRY_HKCU", dir.NarrowPath() + "hkcu"};
    testsupport::ScopedEnv hklm{"LAUNCHER_REGISTRY_HKLM", dir.NarrowPath() + "hklm"};
    std::filesystem::path previous;
    CLogImplW log;
    std::string archive;
};

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
        EXPECT_EQ(logic.RunMode(), rmInstall);
        EXPECT_TRUE(logic.NeedNetwork());
        EXPECT_FALSE(logic.Fast()); // only an update keeps "/fast"
        EXPECT_EQ(logic.FormSize(), 0);
    }
    RecordExecutableFolderAsInstalled();
    CLogic logic;
    LogicFailure failure;
    CommandLineState state;
    state.fast = true;
    logic.SetCommandLineState(state);
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure)) << failure.text;
    EXPECT_EQ(logic.RunMode(), rmUpdate);
    EXPECT_TRUE(logic.Fast());
    EXPECT_EQ(logic.FormSize(), 1);
    std::string text = LogText();
    EXPECT_NE(text.find("Launcher run mode: rmInstall\r\n"), std::string::npos);
    EXPECT_NE(text.find("Launcher run mode: rmUpdate\r\n"), std::string::npos);
    EXPECT_NE(text.find("Initializing CUD... OK\r\n"), std::string::npos);
}

TEST_F(LogicTest, UninstallRunNeedsNoNetwork) {
    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure, rcUninstallFrom, L"/opt/game")) << failure.text;
    EXPECT_EQ(logic.RunMode(), rmUninstaller);
    EXPECT_FALSE(logic.NeedNetwork());
    EXPECT_EQ(logic.WorkFolder(), L"/opt/game");
    EXPECT_EQ(logic.FormSize(), 2);
    logic.Uninit();
    std::string text = LogText();
    EXPECT_EQ(text.find("Initializing CUD"), std::string::npos);
    EXPECT_EQ(text.find("Net transport shutdown"), std::string::npos);
    EXPECT_NE(text.find("--- Uninit finished ---"), std::string::npos);
}

TEST_F(LogicTest, SetLongNameKeepsTheFolderAndTheTextFromTheThirdQuote) {
    CLogic logic;
    LogicFailure failure;
    ASSERT_TRUE(Start(logic, ConfigXml(), &failure, rcSetLongName,
                      L"\"/opt/old game\" \"/opt/new\" \"a\" \"b\" \"c\" \"d\" 0"))
        << failure.text;
    EXPECT_EQ(logic.RunMode(), rmSetLongName);
    EXPECT_EQ(logic.WorkFolder(), L"/opt/old game");
    EXPECT_EQ(logic.ArgumentText(), L"\"/opt/new\" \"a\" \"b\" \"c\" \"d\" 0");
}

TEST_F(LogicTest, ExitMessageEndsTheLoopOfANormalRun) {
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
    EXPECT_NE(text.find("Msg cycle - finish\r\n"), std::string::npos);
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
    // Install result 6 formats string 109 with the full name.
    bool formatted = false;
    for (const auto& e : view.inner.Entries())
        formatted = formatted || (e.operation == "ShowMessageBox" && e.text == L"text109");
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
    EXPECT_FALSE(logic.Exiting());
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
    ASSERT_EQ(logic.RunMode(), rmUpdate);
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
    EXPECT_EQ(logic.ManifestText(), "<manifest clientVersion='1.0'/>");
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
    EXPECT_EQ(logic.ManifestText(), "<manifest clientVersion='2.0'/>");
    EXPECT_EQ(logic.UrlSelector().SelectedUrl(), fresh.Url(""));
    // The merged data was saved for the next run.
    EXPECT_NE(testsupport::ReadTestFile(dir.File(L"CUD.dat")).size(), 0u);
}

} // namespace
