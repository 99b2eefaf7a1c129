// The skinned wizard view on both shipped themes, on the headless
// presenter: every page the wizard shows in both modes (install, update,
// uninstall, message boxes, the language switch, progress), with a
// screenshot of each kept in test-artefacts/wizard for a person to look at.

#include "logic/SkinWizardView.h"

#include "Themes.h"
#include "base/RunCommand.h"
#include "config/LangSource.h"
#include "log/LogImplW.h"
#include "logic/LangFormat.h"
#include "logic/WizardControls.h"
#include "platform/HeadlessPresenter.h"
#include "platform/Unicode.h"
#include "skin/Dialog.h"
#include "skin/LicenseRenderer.h"
#include "skin/SkinButton.h"
#include "skin/SkinListBox.h"
#include "skin/SkinStatic.h"
#include "support/HermeticFonts.h"
#include "support/MemberMap.h"
#include "support/TempDir.h"
#include "support/WindowShot.h"

#include <gtest/gtest.h>
#include <tinyxml2.h>

#include <map>

using namespace logic;

namespace {

using MapMembers = testsupport::MemberMap;

std::map<int, std::wstring> ShippedStrings(const std::string& code) {
    const std::string here = __FILE__;
    const std::string root = here.substr(0, here.rfind("tests/logic/"));
    std::vector<std::string> strings;
    std::string error;
    config::ParseLangSource(
        testsupport::ReadTestFile(plat::Utf8ToWide(root + "dist/default/lang/" + code + ".txt")),
        &strings, &error);
    std::map<int, std::wstring> table;
    for (std::size_t i = 0; i < strings.size(); ++i)
        table[static_cast<int>(i)] = plat::Utf8ToWide(strings[i]);
    return table;
}

const themegen::ThemeFiles& ThemeOf(bool single) {
    static const themegen::ThemeFiles defaultTheme = themegen::DefaultTheme();
    static const themegen::ThemeFiles singleTheme = themegen::SingleTheme();
    return single ? singleTheme : defaultTheme;
}

const char* const kLicence =
    "<h2>Demo Game terms</h2>By playing you agree to play fair and to have fun. "
    "<ol><li>Be kind to other players.</li><li>Report bugs you find.</li></ol>"
    "Questions? Write to us.";

class FakeHost : public IWizardViewHost {
public:
    std::wstring GetString(int id) const override {
        auto it = strings.find(id);
        return it == strings.end() ? std::wstring() : it->second;
    }
    const LaunchSettings& Settings() const override { return settings; }
    const std::wstring& LicenseText() const override { return licence; }
    int ExternalAppCount() const override { return apps; }
    bool HasShortcutChanges() const override { return shortcutChanges; }
    const std::vector<config::LanguageEntry>& Languages() const override { return languages; }
    const std::string& CurrentLanguage() const override { return current; }

    std::map<int, std::wstring> strings;
    LaunchSettings settings;
    std::wstring licence = plat::Utf8ToWide(kLicence);
    int apps = 0;
    bool shortcutChanges = false;
    std::vector<config::LanguageEntry> languages;
    std::string current = "en";
};

// The view over a dialog of a shipped theme; the parameter picks the
// single-page theme.
class SkinWizardViewTest : public ::testing::TestWithParam<bool> {
protected:
    void SetUp() override {
        testsupport::UseHermeticFonts();
        single = GetParam();
        folder = single ? "theme_single" : "theme_default";
        for (const auto& [name, bytes] : ThemeOf(single).files)
            members.members[folder + "\\" + name] = bytes;
        host.strings = ShippedStrings("en");
        host.settings.singlePageMode = single;
        host.settings.runMode = rmInstall;
        host.settings.workFolder = L"/home/player/Games/Demo Game";
        int position = 0;
        for (const char* code : {"en", "de", "ru"}) {
            config::LanguageEntry entry;
            entry.code = code;
            entry.longName = code == std::string("en")
                                 ? "English"
                                 : (code == std::string("de") ? "Deutsch"
                                                              : "\xd0\xa0\xd1\x83\xd1\x81\xd1\x81"
                                                                "\xd0\xba\xd0\xb8\xd0\xb9");
            entry.icon = position;
            entry.position = position++;
            host.languages.push_back(entry);
        }
        ASSERT_TRUE(log.Open(logDir.File(L"view.log")));
        log.SetUtf8(true);
    }
    void TearDown() override {
        view.reset();
        dialog.Destroy();
        Pump();
    }

    // Creates the dialog and the view for the run mode.
    void Create(int runMode = rmInstall) {
        host.settings.runMode = runMode;
        ASSERT_EQ(document.Parse(members.members.at(folder + "\\config.xml").c_str()),
                  tinyxml2::XML_SUCCESS);
        auto headless =
            std::make_unique<plat::HeadlessPresenter>(plat::Size{1024, 768}, plat::RGB(0, 0, 0));
        presenter = headless.get();
        dialog.SetPresenter(std::move(headless));
        dialog.Theme().SetSource(&members, folder + "\\");
        dialog.Theme().SetLanguagePrefix("en_");
        dialog.Theme().SetStrings([this](int id) { return host.GetString(id); });
        dialog.SetProductName(L"Demo Game");
        ASSERT_TRUE(dialog.Create(document.RootElement(), L"Demo Game Launcher"));
        view = std::make_unique<CSkinWizardView>(dialog, host, &log);
        view->SetCaption(L"Demo Game Launcher");
        view->InitTextControls();
        dialog.Show(true);
    }

    static void Pump() {
        plat::Msg msg;
        while (plat::PeekMessage(&msg))
            if (msg.message != plat::WM_QUIT)
                plat::DispatchMessage(msg);
    }
    // A control's text; a button's is its label.
    std::wstring Text(int id) const {
        skin::ISkinable* control = dialog.FindControl(id);
        if (auto* button = dynamic_cast<skin::CSkinButtonTextCommon*>(control))
            return button->Label();
        return control ? control->GetWindow()->WindowText() : std::wstring();
    }
    bool Visible(int id) const {
        skin::ISkinable* control = dialog.FindControl(id);
        return control && control->IsVisible();
    }
    std::vector<std::wstring> Items(int id) const {
        std::vector<std::wstring> items;
        if (auto* list = dialog.FindControlAs<skin::CSkinListBox>(id))
            for (int i = 0; i < list->GetItemCount(); ++i)
                items.push_back(list->GetItem(i));
        return items;
    }
    int Bar(int id) const {
        auto* bar = dialog.FindControlAs<skin::CSkinProgress>(id);
        return bar ? bar->GetPos() : -1;
    }
    // Paints what is pending and keeps a picture of the window.
    void Shot(const std::string& name) {
        Pump();
        EXPECT_TRUE(testsupport::SaveWindowShot(*presenter, dialog.Window(),
                                                std::string(TEST_ARTEFACT_DIR) + "/wizard/" +
                                                    folder + "-" + name + ".png"))
            << name;
    }

    bool single = false;
    std::string folder;
    MapMembers members;
    FakeHost host;
    tinyxml2::XMLDocument document;
    plat::HeadlessPresenter* presenter = nullptr;
    CDialog dialog;
    std::unique_ptr<CSkinWizardView> view;
    testsupport::TempDir logDir;
    CLogImplW log;
};

TEST_P(SkinWizardViewTest, TheFirstInstallationPagesWithTheirLabelsNumbersAndProgress) {
    Create(rmInstall);
    view->ShowFirstPage(3);
    EXPECT_EQ(view->CurrentPage(), single ? kSinglePageInstall : kPageFirst);
    EXPECT_EQ(Text(single ? kTextSingleProgress : kHeadlineFirstPage), host.strings[82]);
    Shot("01-first-page");

    view->ContinueInstallPages();
    if (single) {
        // The ready state: the options shown, install waits for the terms.
        EXPECT_EQ(view->CurrentPage(), kSinglePageInstall);
        EXPECT_EQ(view->SizeVariant(), 3);
        EXPECT_TRUE(Visible(kCheckSingleGuest));
        auto* install = dialog.FindControlAs<skin::CSkinButtonTextCommon>(kBtnSingleInstall);
        ASSERT_NE(install, nullptr);
        EXPECT_FALSE(install->IsEnabled());
        EXPECT_EQ(Text(kTextSingleProgress), host.strings[65]);
        EXPECT_EQ(Text(kBtnSingleInstall), host.strings[64]);
        view->SetText(kFolderTextSingle, host.settings.workFolder);
        Shot("02-ready");
        view->SetInstallPageState(InstallPageState::Running);
        EXPECT_FALSE(Visible(kBtnSingleInstall));
        EXPECT_EQ(view->SizeVariant(), 0);
        view->ShowDownloadPage();
        ProgressInputs inputs;
        inputs.totalBytes = 4u << 20;
        inputs.currentBytes = 3u << 20;
        view->RefreshProgress(inputs, 0);
        EXPECT_EQ(Bar(kBarSingle), 75);
        EXPECT_EQ(Text(kTextSingleProgress), L"Downloading: 3072.0 KB of 4096.0 KB completed...");
        Shot("03-download");
        view->ShowLaunchPage();
        Shot("04-launch");
        return;
    }
    // Licence, destination, shortcuts, progress, the first page's check,
    // download, launch: 1..7.
    EXPECT_EQ(dialog.PageNumber(kPageTerms), 1);
    EXPECT_EQ(dialog.PageNumber(kPageDestination), 2);
    EXPECT_EQ(dialog.PageNumber(kPageShortcuts), 3);
    EXPECT_EQ(dialog.PageNumber(kPageProgress), 4);
    EXPECT_EQ(dialog.PageNumber(kPageDownload), 6);
    EXPECT_EQ(dialog.PageNumber(kPageLaunch), 7);
    view->ShowFirstPage(4);
    EXPECT_EQ(dialog.PageNumber(kPageFirst), 5);
    EXPECT_EQ(Text(kHeadlineFirstPage), host.strings[73]);

    view->ShowTermsPage();
    EXPECT_EQ(view->CurrentPage(), kPageTerms);
    EXPECT_EQ(Items(kTermsList), skin::LayoutTextLines(kLicence, 57));
    EXPECT_EQ(Text(kBtnAgree), host.strings[43]);
    EXPECT_EQ(Text(kBtnBack), host.strings[44]);
    EXPECT_EQ(dialog.StepText()->WindowText(), L"STEP 1/7");
    Shot("01-terms");

    view->SetText(kFolderText, host.settings.workFolder);
    view->ShowPage(kPageDestination);
    EXPECT_EQ(dialog.StepText()->WindowText(), L"STEP 2/7");
    Shot("02-destination");
    view->SetCheck(kCheckIconDesktop, true);
    view->ShowPage(kPageShortcuts);
    EXPECT_TRUE(view->IsChecked(kCheckIconDesktop));
    Shot("03-shortcuts");
    view->ShowWorkPage();
    view->ShowWorkProgress(140);
    EXPECT_EQ(Bar(kProgressBar), 100);
    EXPECT_EQ(Text(kProgressInfo), L"100% completed...");
    view->ShowWorkProgress(40);
    EXPECT_EQ(Bar(kProgressBar), 40);
    Shot("04-progress");
    view->ShowDownloadPage();
    EXPECT_EQ(Text(kDownloadInfo), host.strings[18]);
    ProgressInputs inputs;
    inputs.totalBytes = 4u << 20;
    inputs.currentBytes = 1u << 20;
    view->RefreshProgress(inputs, 0);
    EXPECT_EQ(Bar(kDownloadBar), 25);
    Shot("05-download");
    // Unpacking: the share of the unpacked bytes.
    inputs.currentBytes = inputs.totalBytes;
    inputs.unpackTotal = 2u << 20;
    view->RefreshProgress(inputs, 1u << 20);
    EXPECT_EQ(Text(kDownloadInfo), L"Unpacking 50%");
    view->ShowLaunchPage();
    EXPECT_EQ(view->CurrentPage(), kPageLaunch);
    EXPECT_EQ(dialog.StepText()->WindowText(), L"STEP 7/7");
    Shot("06-launch");
}

TEST_P(SkinWizardViewTest, ExternalApplicationsAndTheUpdateNumbering) {
    if (single)
        GTEST_SKIP() << "the single-page theme numbers no pages";
    host.apps = 4;
    host.shortcutChanges = true;
    Create(rmUpdate);
    view->ContinueInstallPages();
    // Two pages of applications, the shortcut work, then the download.
    view->ShowExternalApps(1, {L"Replay Recorder"}, {true});
    EXPECT_EQ(dialog.PageNumber(kPageExternalApps), 2);
    EXPECT_EQ(dialog.PageNumber(kPageProgress), 3);
    EXPECT_EQ(dialog.PageNumber(kPageDownload), 5);
    EXPECT_TRUE(Visible(kCheckExtAppFirst));
    EXPECT_FALSE(Visible(kCheckExtAppFirst + 1));
    EXPECT_FALSE(Visible(kBtnExtAppHelpFirst + 2));
    EXPECT_TRUE(view->IsChecked(kCheckExtAppFirst));
    EXPECT_TRUE(Visible(kBtnBackExtApp));
    Shot("update-extapps-2");
    view->ShowExternalApps(0, {L"Voice Chat", L"Overlay", L"Recorder"}, {true, false, true});
    EXPECT_FALSE(Visible(kBtnBackExtApp)) << "no way back before the first page of an update";
    EXPECT_FALSE(view->IsChecked(kCheckExtAppFirst + 1));
    Shot("update-extapps-1");
    // The first page waits for the client's data with its own number.
    view->ShowFirstPage(6);
    EXPECT_EQ(dialog.PageNumber(kPageFirst), 6);
    EXPECT_EQ(Text(kHeadlineFirstPage), host.strings[88]);
    Shot("update-waiting");
}

TEST_P(SkinWizardViewTest, AMessageBoxOverABoxReturnsToThePageUnderBoth) {
    Create(rmInstall);
    const int page = single ? kSinglePageInstall : kPageDestination;
    view->ShowPage(page);
    view->ShowConfirm(3, kBoxInformation, kBoxButtonsYesNo, false);
    const int boxPage = single ? kSinglePageMessageBox : kPageMessageBox;
    EXPECT_EQ(view->CurrentPage(), boxPage);
    EXPECT_EQ(view->PreviousPage(), page);
    EXPECT_TRUE(Visible(kBtnMboxYes));
    EXPECT_TRUE(Visible(kBtnMboxNo));
    EXPECT_FALSE(Visible(kBtnMboxOk));
    EXPECT_EQ(Items(kMboxList), std::vector<std::wstring>{host.strings[3]});
    Shot("box-question");

    // The second box covers the first: its answer still leads to the page.
    view->ShowMessageBox(host.strings[40], kBoxUpdateFailed, kBoxButtonsRetryCancel, true, 0);
    EXPECT_EQ(view->PreviousPage(), page);
    EXPECT_EQ(view->MessageBoxContext(), kBoxUpdateFailed);
    EXPECT_TRUE(Visible(kMboxErrorPicture));
    EXPECT_FALSE(Visible(kBtnMboxYes));
    EXPECT_TRUE(Visible(kBtnMboxRetry));
    const int list = dialog.FindControl(kMboxErrorList) ? kMboxErrorList : kMboxList;
    EXPECT_EQ(Visible(kMboxList), list == kMboxList);
    auto* box = dialog.FindControlAs<skin::CSkinListBox>(list);
    ASSERT_NE(box, nullptr);
    const int width =
        box->MaxCharsInLine() >= 1 ? box->MaxCharsInLine() : (list == kMboxErrorList ? 35 : 45);
    EXPECT_EQ(Items(list), skin::LayoutTextLines(plat::WideToUtf8(host.strings[40]), width));
    Shot("box-error");

    // An unknown button set keeps the buttons of the box before.
    view->ShowMessageBox(L"kept buttons", kBoxInformation, 7, false, 0);
    EXPECT_TRUE(Visible(kBtnMboxRetry));
    EXPECT_FALSE(Visible(kBtnMboxOk));
    // The address box shows its edit field and caption.
    view->ShowMessageBox(host.strings[112], kBoxServerAddress, kBoxButtonsOk, false, 1);
    EXPECT_TRUE(Visible(kMboxEdit));
    EXPECT_EQ(Text(kMboxEditCaption), host.strings[112]);
    EXPECT_FALSE(Visible(kBtnMboxLink));
    Shot("box-address");
    view->ShowPage(view->PreviousPage());
    EXPECT_EQ(view->CurrentPage(), page);
}

TEST_P(SkinWizardViewTest, TheLanguageSwitchRelabelsAndRendersTheStoredTextsAgain) {
    Create(rmInstall);
    view->ShowFirstPage(3);
    view->ContinueInstallPages();
    const int info = single ? kTextSingleProgress : kDownloadInfo;
    view->SetFormattedText(info, {TextValue{TextValue::StringId, 4, 0, {}},
                                  TextValue{TextValue::Real, 0, 12.5, {}},
                                  TextValue{TextValue::Real, 0, 50, {}}});
    EXPECT_EQ(Text(info), L"Downloading: 12.5 KB of 50.0 KB completed...");
    const int button = single ? kCheckSingleTerms : kBtnAgree;
    EXPECT_EQ(Text(button), host.strings[43]);
    EXPECT_EQ(view->SelectedLanguage(), 0);

    // What the launcher does on a language button: the table switches, the
    // view follows.
    host.strings = ShippedStrings("de");
    host.current = "de";
    view->LanguageChanged(1, false);
    EXPECT_EQ(Text(button), host.strings[43]);
    EXPECT_NE(host.strings[43], ShippedStrings("en")[43]);
    std::wstring german;
    logic::FormatLangArgs(host.strings[4],
                          {LangArg{LangArg::Real, 0, 12.5, {}}, LangArg{LangArg::Real, 0, 50, {}}},
                          &german);
    EXPECT_EQ(Text(info), german);
    EXPECT_EQ(view->SelectedLanguage(), 1);
    for (int id = kBtnLanguageFirst; id < kBtnLanguageFirst + 3; ++id)
        if (dialog.FindControl(id)) {
            EXPECT_EQ(view->IsChecked(id), id == kBtnLanguageFirst + 1);
        }
    if (!single)
        view->ShowTermsPage();
    Shot("language-de");
    // The address box and its error form, in German, then the whole page in
    // Russian: the longer and Cyrillic labels must fit their controls.
    view->ShowMessageBox(host.strings[112], kBoxServerAddress, kBoxButtonsOk, false, 1);
    Shot("box-address-de");
    view->ShowMessageBox(host.strings[112], kBoxServerAddress, kBoxButtonsRetryCancel, true, 0);
    Shot("box-address-error-de");
    host.strings = ShippedStrings("ru");
    host.current = "ru";
    view->LanguageChanged(2, false);
    EXPECT_EQ(Text(button), host.strings[43]);
    view->ShowPage(view->PreviousPage());
    Shot("language-ru");
    view->ShowMessageBox(host.strings[112], kBoxServerAddress, kBoxButtonsRetryCancel, true, 0);
    Shot("box-address-error-ru");

    // A translation whose placeholders do not fit its values shows as
    // written.
    host.strings[4] = L"%s KB %n";
    view->InitTextControls();
    EXPECT_EQ(Text(info), L"%s KB %n");
}

TEST_P(SkinWizardViewTest, TheUninstallPages) {
    Create(rmUninstaller);
    const int question = single ? kSinglePageUninstallQuestion : kPageUninstallQuestion;
    view->SetText(kTextUninstallPath, host.settings.workFolder);
    view->ShowPage(question);
    EXPECT_EQ(Text(kTextUninstallPath), host.settings.workFolder);
    EXPECT_EQ(view->SizeVariant(), 2);
    Shot("uninstall-question");
    view->ShowUninstallProgressPage();
    EXPECT_EQ(view->CurrentPage(), single ? kSinglePageInstall : kPageProgress);
    view->ShowWorkProgress(55);
    EXPECT_EQ(Bar(single ? kBarSingle : kProgressBar), 55);
    Shot("uninstall-progress");
    view->ShowUninstallResult(true);
    EXPECT_EQ(view->CurrentPage(), single ? kSinglePageUninstallResult : kPageUninstallResult);
    EXPECT_EQ(Items(kErrorsList), std::vector<std::wstring>{host.strings[100]});
    Shot("uninstall-result");
}

TEST_P(SkinWizardViewTest, ProgressNeverDividesByZeroAndClampsBeforeTruncating) {
    Create(rmInstall);
    view->ShowFirstPage(3);
    view->ContinueInstallPages();
    view->ShowDownloadPage();
    const int bar = single ? kBarSingle : kDownloadBar;
    // Nothing to download and nothing unpacked: complete, not a division.
    view->RefreshProgress(ProgressInputs{}, 0);
    EXPECT_EQ(Bar(bar), 100);
    // A launcher-only download past its announced size stays at 100.
    ProgressInputs past;
    past.totalBytes = 1024;
    past.currentBytes = 4000u << 20;
    past.launcherOnly = true;
    view->RefreshProgress(past, 0);
    EXPECT_EQ(Bar(bar), 100);
    // The platform package of unknown and of zero size.
    view->ShowKbProgress(512000, -1);
    EXPECT_EQ(Bar(bar), 50);
    view->ShowKbProgress(4096, 0);
    EXPECT_EQ(Bar(bar), 0);
    view->ShowKbProgress(-4096, 100);
    EXPECT_EQ(Bar(bar), 0);
}

INSTANTIATE_TEST_SUITE_P(Themes, SkinWizardViewTest, ::testing::Values(false, true),
                         [](const ::testing::TestParamInfo<bool>& info) {
                             return info.param ? "Single" : "Default";
                         });

} // namespace
