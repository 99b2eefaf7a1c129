#pragma once
// The launcher object under test: a resource archive made from a
// configuration text, a recording view tests can hook into, and a fixture
// with its own folders, settings store and launcher log. Test thread only.

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

#include <chrono>
#include <filesystem>
#include <functional>
#include <map>
#include <thread>
#include <utility>

namespace logictest {

inline const std::string kRegPath = "Software\\LogicTest\\Game";

inline std::string ConfigXml(const std::map<std::string, std::string>& drop = {},
                             const std::string& loginUrls = "<URL>http://127.0.0.1:1/a</URL>",
                             const std::string& dataUpdateUrls = "",
                             const std::string& moreCommon = "") {
    auto part = [&](const std::string& key, const std::string& text) {
        return drop.count(key) ? std::string() : text;
    };
    return "<config><common><regPath>" + kRegPath + "</regPath>" +
           part("shortName", "<shortName>Game</shortName>") +
           part("fullName", "<fullName>The Game</fullName>") +
           "<log><logLauncher enable='1'/></log>"
           "<languages><enable lang='en' file='en.lso' long='English' locale='' id='1' "
           "icon='0'/></languages><urlUpdate>/game/</urlUpdate>" +
           moreCommon + "</common><themes><theme name='t' path='theme_t'/></themes>" +
           part("launch",
                "<launch>" + part("WindowClassName", "<WindowClassName>GameWnd</WindowClassName>") +
                    part("Process", "<Process>game.exe</Process>") + "</launch>") +
           "<ClientUpdateData><Face id='game'><LoginURLs>" + loginUrls + "</LoginURLs>" +
           (dataUpdateUrls.empty() ? std::string()
                                   : "<DataUpdateURLs>" + dataUpdateUrls + "</DataUpdateURLs>") +
           "</Face></ClientUpdateData></config>";
}

// The configuration with the language's locale name and number replaced.
inline std::string WithLocale(std::string config, const std::string& locale,
                              const std::string& id) {
    const std::string from = "locale='' id='1'";
    config.replace(config.find(from), from.size(), "locale='" + locale + "' id='" + id + "'");
    return config;
}

// `extra` members (name, bytes) join the archive as they are.
inline std::string Archive(const std::string& config,
                           const std::vector<std::pair<std::string, std::string>>& extra = {}) {
    std::vector<std::string> strings;
    for (int id = 0; id < 119; ++id)
        strings.push_back(id == 0 ? std::string() : "text" + std::to_string(id));
    // Texts that take the product's name, as the shipped ones do.
    strings[23] = "%s took too long";
    strings[109] = "100%% of %s clients";
    rarpack::CRarStoreWriter writer;
    writer.AddFile("config.xml", config);
    writer.AddFile("en.lso", config::WriteLso(strings));
    // The smallest theme the dialog builds: the window-shape settings and
    // one step.
    writer.AddFile("theme_t\\config.xml",
                   "<config><common><region/></common><forms><step num='1'/></forms></config>");
    for (const auto& [name, bytes] : extra)
        writer.AddFile(name, bytes);
    return writer.Finish();
}

// A program that stands in for a launcher the code under test starts: it
// writes its arguments, one a line, to `record` (whole, through a rename),
// so a test never starts a copy of the test program as if it were the
// launcher. `tail` follows an "exit" and may be any bytes.
inline std::string RecordingProgram(const std::string& record, const std::string& tail = {}) {
    return "#!/bin/sh\nprintf '%s\\n' \"$@\" > '" + record + ".part'\nmv '" + record + ".part' '" +
           record + "'\nexit 0\n" + tail;
}
inline void WriteRecordingProgram(const std::wstring& path, const std::string& record) {
    testsupport::WriteTestFile(path, RecordingProgram(record));
    std::filesystem::permissions(plat::WideToUtf8(path), std::filesystem::perms::owner_all);
}
// What the recording program was given, once it wrote it (bounded); a
// launcher copy gets its command line's tail as one argument after a marker.
inline std::string RecordedStart(const std::string& record) {
    for (int i = 0; i < 200 && !std::filesystem::exists(record); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    return testsupport::ReadTestFile(plat::Utf8ToWide(record));
}

// A view that records like the headless one and lets a test act when a
// message box appears.
class HookedView : public IWizardView {
public:
    explicit HookedView(CLogImplW* log)
        : inner([](int id) { return L"text" + std::to_wstring(id); }, log) {}
    std::function<void()> onBox;
    std::function<void()> onFirstPage; // once the window exists, before the work starts
    std::function<void()> onUninstallResult;
    std::function<void(int page)> onPage; // every ShowPage

    void SetCaption(const std::wstring& c) override { inner.SetCaption(c); }
    void InitTextControls() override { inner.InitTextControls(); }
    void SetControlText(int c, int s) override { inner.SetControlText(c, s); }
    void SetFormattedText(int c, const std::vector<TextValue>& v) override {
        inner.SetFormattedText(c, v);
    }
    void SetText(int c, const std::wstring& t) override { inner.SetText(c, t); }
    void SetCheck(int c, bool v) override { inner.SetCheck(c, v); }
    bool IsChecked(int c) const override { return inner.IsChecked(c); }
    void ShowPage(int page) override {
        inner.ShowPage(page);
        if (onPage)
            onPage(page);
    }
    void ShowExternalApps(int p, const std::vector<std::wstring>& n,
                          const std::vector<bool>& s) override {
        inner.ShowExternalApps(p, n, s);
    }
    bool PickFolder(const std::wstring& current, std::wstring* chosen) override {
        return inner.PickFolder(current, chosen);
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
    void ShowConfirm(int s, int c, int b, bool e) override {
        inner.ShowConfirm(s, c, b, e);
        if (auto hook = std::exchange(onBox, nullptr))
            hook();
    }
    void ContinueInstallPages() override { inner.ContinueInstallPages(); }
    void ShowTermsPage() override { inner.ShowTermsPage(); }
    void ShowDownloadPage() override { inner.ShowDownloadPage(); }
    void ShowUninstallProgressPage() override { inner.ShowUninstallProgressPage(); }
    void ShowWorkPage() override { inner.ShowWorkPage(); }
    void ShowUninstallResult(bool s) override {
        inner.ShowUninstallResult(s);
        if (auto hook = std::exchange(onUninstallResult, nullptr))
            hook();
    }
    void RefreshProgress(const logic::ProgressInputs& i, std::int64_t b) override {
        inner.RefreshProgress(i, b);
    }
    void ShowLaunchPage() override { inner.ShowLaunchPage(); }
    void ShowNetworkError(const std::wstring& t) override { inner.ShowNetworkError(t); }
    void ShowKbProgress(std::int64_t r, std::int64_t t) override { inner.ShowKbProgress(r, t); }
    void ShowWorkProgress(int p) override { inner.ShowWorkProgress(p); }
    int CurrentPage() const override { return inner.CurrentPage(); }
    int PreviousPage() const override { return inner.PreviousPage(); }
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
    // Members Start adds to the resource archive.
    std::vector<std::pair<std::string, std::string>> extraMembers;
    bool Start(CLogic& logic, const std::string& config, LogicFailure* failure, int rc = rcNone,
               const std::wstring& argument = {}) {
        archive = Archive(config, extraMembers);
        logic.SetResourceArchive(&archive);
        // Updates work on a folder of the test, never the test's own.
        logic.SetInstallFolder(installDir.Path().substr(0, installDir.Path().size() - 1));
        logic.SetLog(&log);
        // Other test processes run the same executable: only launchers of
        // the test's own count.
        logic.SetLauncherExecutable(dir.File(L"Launcher.exe"));
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
    // Deletions left for the next start (the temporary copies a move makes)
    // are listed in the test's folder, not the user's.
    testsupport::ScopedEnv state{"XDG_STATE_HOME", dir.NarrowPath() + "state"};
    // The launcher takes the environment's proxy: the machine's own stays out
    // of the test servers' way.
    testsupport::ScopedEnv noProxy{"no_proxy", "*"};
    testsupport::ScopedEnv noProxyUpper{"NO_PROXY", nullptr};
    std::filesystem::path previous;
    CLogImplW log;
    std::string archive;
};

} // namespace logictest
