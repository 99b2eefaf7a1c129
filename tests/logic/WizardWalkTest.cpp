// A first installation through the skinned wizard of each shipped theme,
// driven by clicks as a person would make them, on the headless presenter:
// the licence (with a language switch), the destination (portable), the
// shortcuts and back, a question box answered No, the download, the launch
// page and the start of the client. A screenshot of every page it passes is
// kept in test-artefacts/wizard-walk.

#include "LogicFixture.h"
#include "Themes.h"
#include "assistant/ProcessKill.h"
#include "config/LangSource.h"
#include "logic/WizardControls.h"
#include "platform/FileSystem.h"
#include "platform/HeadlessPresenter.h"
#include "publish/Publisher.h"
#include "skin/SkinButton.h"
#include "skin/SkinComboBox.h"
#include "skin/SkinMessages.h"
#include "support/HermeticFonts.h"
#include "support/TestData.h"
#include "support/WindowShot.h"

#include <filesystem>

using namespace logic;

namespace logictest {
namespace {

constexpr std::uint32_t kPageShownMessage = 0x8000 + 7;
// A walk action: the second entry of the language list chosen.
constexpr int kSelectSecondLanguage = -2;

std::string LsoOf(const std::string& code) {
    const std::string here = __FILE__;
    const std::string root = here.substr(0, here.rfind("tests/logic/"));
    std::vector<std::string> strings;
    std::string error;
    config::ParseLangSource(
        testsupport::ReadTestFile(plat::Utf8ToWide(root + "dist/default/lang/" + code + ".txt")),
        &strings, &error);
    return config::WriteLso(strings);
}

// One step of the walk: the page it waits for, its screenshot's name and
// the clicks it makes there.
struct WalkStep {
    int page;
    std::string name;
    std::vector<int> clicks;
    // Only when this holds on that page (several states share one page).
    std::function<bool(CLogic&)> when;
};

// Takes the screenshots and makes the clicks, from the launcher's own
// message loop: told of each page by the view, it acts once the page has
// been painted (its message comes after the paint).
class Walker : public plat::IWindowHandler {
public:
    Walker(CLogic& logic, std::vector<WalkStep> steps, std::string prefix)
        : logic_(logic), steps_(std::move(steps)), prefix_(std::move(prefix)) {
        window_ = plat::CreateWindow(L"WizardWalker", L"", this, true);
    }
    ~Walker() override { plat::DestroyWindow(window_); }
    void OnPage(int page) { plat::PostMessage(window_, kPageShownMessage, page, 0); }

    plat::LRESULT HandleWindowMessage(plat::HWND, std::uint32_t message, plat::WPARAM wParam,
                                      plat::LPARAM, const plat::CopyData*) override {
        if (message != kPageShownMessage || next_ >= steps_.size())
            return 0;
        const WalkStep& step = steps_[next_];
        if (static_cast<int>(wParam) != step.page || (step.when && !step.when(logic_)))
            return 0;
        ++next_;
        seen.push_back(step.name);
        Shot(step.name);
        for (int id : step.clicks) {
            if (id == kSelectSecondLanguage) {
                // A choice in the language list, as the list reports it.
                auto* combo = logic_.Dialog().FindControlAs<skin::CSkinComboBox>(kComboLanguage);
                if (!combo) {
                    ADD_FAILURE() << "no language list";
                    continue;
                }
                combo->SetCurSel(1);
                id = kComboLanguage | (skin::CBN_SELCHANGE << 16);
            }
            plat::PostMessage(logic_.DialogWindow(), CDialog::kCommandMessage,
                              static_cast<plat::WPARAM>(id), 0);
        }
        return 0;
    }

    std::vector<std::string> seen;

private:
    void Shot(const std::string& name) {
        auto* presenter = dynamic_cast<plat::HeadlessPresenter*>(logic_.Dialog().Presenter());
        ASSERT_NE(presenter, nullptr);
        char number[8];
        std::snprintf(number, sizeof number, "%02zu", next_);
        EXPECT_TRUE(testsupport::SaveWindowShot(*presenter, logic_.DialogWindow(),
                                                std::string(TEST_ARTEFACT_DIR) + "/wizard-walk/" +
                                                    prefix_ + "-" + number + "-" + name + ".png"))
            << name;
    }

    CLogic& logic_;
    std::vector<WalkStep> steps_;
    std::string prefix_;
    std::size_t next_ = 0;
    plat::HWND window_ = 0;
};

class WizardWalkTest : public LogicTest, public ::testing::WithParamInterface<bool> {
protected:
    void SetUp() override {
        LogicTest::SetUp();
        testsupport::UseHermeticFonts();
        ASSERT_TRUE(server.Start());
        std::filesystem::create_directories(dir.NarrowPath() + "runtime");
        std::filesystem::permissions(dir.NarrowPath() + "runtime",
                                     std::filesystem::perms::owner_all);
        // The client: the fake game as its program, and some data.
        std::filesystem::copy_file(FAKE_CLIENT_PATH, client.NarrowPath() + "game.exe");
        testsupport::WriteTestFile(client.File(L"Data/a.pak"), testsupport::NoiseBytes(200000, 7));
        testsupport::WriteTestFile(dir.File(L"release.txt"),
                                   "[client]\nversion = 1.0.0\n"
                                   "[package base.pkg]\ntype = full\nfiles = game.exe\n"
                                   "[package data.pkg]\ntype = full\nfiles = Data\n");
        publish::PublishOptions options;
        options.descriptionPath = dir.File(L"release.txt");
        options.clientFolder = client.Path();
        options.outputFolder = published.Path();
        publish::CPublisher publisher(options);
        std::string error;
        ASSERT_TRUE(publisher.Run(&error)) << error;
        for (const auto& entry : plat::FindFiles(published.File(L"*")))
            server.ServeFile("/game/" + plat::WideToUtf8(entry.name),
                             testsupport::ReadTestFile(published.File(entry.name)));
        server.ServeFile("/client/license",
                         "<?xml version='1.0'?><document><LICENSE>&lt;h2&gt;Terms&lt;/h2&gt;"
                         "Play fair, have fun.&lt;br/&gt;&lt;ul&gt;&lt;li&gt;Be kind.&lt;/li&gt;"
                         "&lt;li&gt;Report bugs.&lt;/li&gt;&lt;/ul&gt;</LICENSE></document>");
    }
    void TearDown() override {
        assistant::KillByPath(programs.File(L"Game/game.exe"));
        LogicTest::TearDown();
    }

    std::string WalkArchive() const {
        const bool single = GetParam();
        const std::string folder = single ? "theme_single" : "theme_default";
        std::string config = ConfigXml({}, "<URL>" + server.Url("") + "</URL>");
        const std::string oneLanguage = "<languages><enable lang='en' file='en.lso' long='English' "
                                        "locale='' id='1' icon='0'/></languages>";
        config.replace(config.find(oneLanguage), oneLanguage.size(),
                       "<languages><enable lang='en' file='en.lso' long='English' locale='' "
                       "id='1033' icon='0'/><enable lang='de' file='de.lso' long='Deutsch' "
                       "locale='' id='1031' icon='1'/></languages>");
        config.replace(config.find("theme_t"), 7, folder);
        rarpack::CRarStoreWriter writer;
        writer.AddFile("config.xml", config);
        writer.AddFile("en.lso", LsoOf("en"));
        writer.AddFile("de.lso", LsoOf("de"));
        static const themegen::ThemeFiles defaultTheme = themegen::DefaultTheme();
        static const themegen::ThemeFiles singleTheme = themegen::SingleTheme();
        for (const auto& [name, bytes] : (single ? singleTheme : defaultTheme).files)
            writer.AddFile(folder + "\\" + name, bytes);
        return writer.Finish();
    }

    testsupport::TempDir client, published, programs;
    testsupport::TestHttpServer server;
    testsupport::ScopedEnv programFiles{"LAUNCHER_PROGRAM_FILES", programs.NarrowPath()};
    testsupport::ScopedEnv runtime{"XDG_RUNTIME_DIR", dir.NarrowPath() + "runtime"};
    testsupport::ScopedEnv output{"FAKE_CLIENT_OUTPUT", dir.NarrowPath() + "client.txt"};
    testsupport::ScopedEnv desktop{"XDG_DESKTOP_DIR", dir.NarrowPath() + "Desktop"};
    testsupport::ScopedEnv data{"XDG_DATA_HOME", dir.NarrowPath() + "data"};
    testsupport::ScopedEnv temp{"LAUNCHER_TEMP_DIR", dir.NarrowPath() + "temp"};
};

TEST_P(WizardWalkTest, AFirstInstallationFromTheLicenceToTheRunningClient) {
    const bool single = GetParam();
    CLogic logic;
    LogicFailure failure;
    archive = WalkArchive();
    logic.SetResourceArchive(&archive);
    logic.SetLog(&log);
    logic.SetLauncherExecutable(dir.File(L"Launcher.exe"));
    ASSERT_TRUE(logic.Preinit());
    ASSERT_TRUE(logic.Init(rcNone, {}, &failure)) << failure.text;
    ASSERT_EQ(logic.Settings().runMode, rmInstall);
    logic.UseSkinnedView(true);
    auto presenter =
        std::make_unique<plat::HeadlessPresenter>(plat::Size{1024, 768}, plat::RGB(0, 0, 0));
    logic.Dialog().SetPresenter(std::move(presenter));

    // The single install page's progress text says which state it is in.
    auto progressText = [](const std::wstring& text) {
        return [text](CLogic& l) {
            skin::ISkinable* control = l.Dialog().FindControl(kTextSingleProgress);
            return control && control->GetWindow()->WindowText() == text;
        };
    };
    std::vector<WalkStep> steps;
    if (!single) {
        steps = {
            {kPageTerms, "terms", {kSelectSecondLanguage}, nullptr},
            {kPageTerms, "terms-de", {kBtnAgree}, nullptr},
            {kPageDestination, "destination", {kBtnCancelDestination}, nullptr},
            {kPageMessageBox, "cancel-question", {kBtnMboxNo}, nullptr},
            {kPageDestination, "destination-again", {kCheckGuest, kBtnNext}, nullptr},
            {kPageShortcuts, "shortcuts", {kBtnBackIcons}, nullptr},
            {kPageDestination, "destination-back", {kBtnNext}, nullptr},
            {kPageShortcuts, "shortcuts-again", {kBtnNextIcons}, nullptr},
            {kPageDownload, "download", {}, nullptr},
            {kPageLaunch, "launch", {kBtnLaunch}, nullptr},
            {kPageFirst, "launching", {}, nullptr},
        };
    } else {
        steps = {
            {kSinglePageInstall,
             "ready",
             {kCheckSingleTerms, kCheckSingleGuest, kBtnSingleInstall},
             [](CLogic& l) {
                 auto* terms = l.Dialog().FindControlAs<skin::CSkinCheckBox>(kCheckSingleTerms);
                 return terms && terms->IsVisible() && terms->IsEnabled();
             }},
            {kSinglePageInstall, "launching", {}, progressText(L"Launching")},
        };
    }
    Walker walker(logic, steps, single ? "theme_single" : "theme_default");
    logic.SetPageObserver([&](int page) { walker.OnPage(page); });
    ASSERT_TRUE(logic.Run(&failure)) << failure.text;
    logic.Uninit();

    std::vector<std::string> names;
    for (const WalkStep& step : steps)
        names.push_back(step.name);
    EXPECT_EQ(walker.seen, names) << LogText();
    // The client was installed where the wizard proposed and started.
    EXPECT_TRUE(plat::FileExists(programs.File(L"Game/game.exe")));
    EXPECT_TRUE(plat::FileExists(programs.File(L"Game/Data/a.pak")));
    EXPECT_TRUE(logic.Settings().portable);
}

INSTANTIATE_TEST_SUITE_P(Themes, WizardWalkTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Single" : "Default";
                         });

} // namespace
} // namespace logictest
