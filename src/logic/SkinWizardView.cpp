#include "logic/SkinWizardView.h"

#include "base/RunCommand.h"
#include "base/Strings.h"
#include "log/LogImplW.h"
#include "logic/FormattedText.h"
#include "logic/WizardControls.h"
#include "platform/FolderPicker.h"
#include "skin/Dialog.h"
#include "skin/LicenseRenderer.h"
#include "skin/SkinButton.h"
#include "skin/SkinComboBox.h"
#include "skin/SkinListBox.h"
#include "skin/SkinStatic.h"

#include <algorithm>

namespace logic {

namespace {

// The label table: control id and language string.
struct Label {
    int id;
    int string;
};
constexpr Label kLabels[] = {
    {12347, 42}, {12348, 43}, {12411, 38}, {12392, 49}, {12393, 50}, {12397, 52}, {12398, 53},
    {12394, 54}, {12395, 59}, {12377, 48}, {12381, 48}, {12396, 48}, {12388, 48}, {12389, 48},
    {12390, 48}, {12391, 48}, {12346, 60}, {12416, 48}, {12412, 55}, {12413, 56}, {12414, 57},
    {12415, 58}, {12421, 72}, {12422, 79}, {12423, 74}, {12425, 76}, {12426, 78}, {12427, 78},
    {12428, 80}, {12429, 81}, {12430, 82}, {12433, 89}, {12434, 90}, {12435, 91}, {12436, 92},
    {12378, 61}, {12382, 61}, {12383, 61}, {12384, 61},
};
// The back and next buttons of every page.
constexpr int kBackButtons[] = {12349, 12375, 12379};
constexpr int kNextButtons[] = {12350, 12376, 12380};
// The single install page's labels, set first.
constexpr Label kSingleLabels[] = {
    {12355, 43}, {12359, 72}, {12353, 63}, {12352, 48}, {12351, 48},
    {12357, 52}, {12358, 53}, {12356, 50}, {12365, 62},
};
// The message box's buttons.
constexpr int kBoxButtons[] = {kBtnMboxYes, kBtnMboxNo, kBtnMboxOk, kBtnMboxRetry, kBtnMboxCancel};
// The single install page's choices.
constexpr int kSingleChoices[] = {
    kCheckSingleTerms,       kBtnSingleTerms,          kBtnSingleBrowse, kBtnSingleInstall,
    kCheckSingleIconDesktop, kCheckSingleIconPrograms, kCheckSingleGuest};
// The three check boxes of the single install page and their caption.
constexpr int kSingleOptions[] = {kCheckSingleIconDesktop, kCheckSingleIconPrograms,
                                  kCheckSingleGuest, kTextSingleShortcuts, kPictureSingleOptions};

// The first page's headline string for a stage.
int StageString(int stage) {
    switch (stage) {
    case 1:
        return 84;
    case 3:
        return 82;
    case 4:
        return 73;
    case 5:
        return 77;
    case 6:
        return 88;
    case 7:
        return 87;
    default:
        return 85;
    }
}

TextValue StringValue(int id) {
    return TextValue{TextValue::StringId, id, 0, {}};
}
TextValue RealValue(double value) {
    return TextValue{TextValue::Real, 0, value, {}};
}
TextValue IntegerValue(std::int64_t value) {
    return TextValue{TextValue::Integer, value, 0, {}};
}
TextValue TextOf(const std::wstring& text) {
    return TextValue{TextValue::Text, 0, 0, text};
}

int Clamp100(double value) {
    if (!(value >= 0))
        return 0;
    return value > 100 ? 100 : static_cast<int>(value);
}

} // namespace

CSkinWizardView::CSkinWizardView(CDialog& dialog, IWizardViewHost& host, CLogImplW* log)
    : dialog_(dialog), host_(host), log_(log) {
    switch (host_.Settings().runMode) {
    case rmUpdate:
    case rmSetLongName:
        variant_ = 1;
        break;
    case rmUninstaller:
        variant_ = 2;
        break;
    default:
        variant_ = 0;
        break;
    }
}

skin::ISkinable* CSkinWizardView::Find(int id) const {
    return dialog_.FindControl(id);
}

void CSkinWizardView::ShowStep(int page) {
    if (!dialog_.ShowStep(page, variant_) && log_)
        log_->Write(base::FormatW(L"The theme has no step %d", page), true);
    if (observer_)
        observer_(page);
}

void CSkinWizardView::AnswerPage(int page) {
    script_.AnswerPage(page, [this](int controlId) { return IsChecked(controlId); });
}

void CSkinWizardView::SetCaption(const std::wstring& caption) {
    dialog_.SetCaption(caption);
}

void CSkinWizardView::SetLabel(int controlId, int stringId) {
    if (skin::ISkinable* control = Find(controlId))
        control->GetWindow()->SetWindowText(host_.GetString(stringId));
}

void CSkinWizardView::SetControlText(int controlId, int stringId) {
    // Kept like a formatted text: a language change renders it again, over
    // the control's label.
    SetFormattedText(controlId, {StringValue(stringId)});
}

void CSkinWizardView::SetText(int controlId, const std::wstring& text) {
    // A plain text replaces a formatted one: a language change must not
    // bring the old one back.
    formatted_.erase(controlId);
    if (skin::ISkinable* control = Find(controlId))
        control->GetWindow()->SetWindowText(text);
}

void CSkinWizardView::SetFormattedText(int controlId, const std::vector<TextValue>& values) {
    formatted_[controlId] = values;
    RenderFormatted(controlId, values);
}

void CSkinWizardView::RenderFormatted(int controlId, const std::vector<TextValue>& values) {
    std::wstring text;
    if (!RenderFormattedText(
            values, [this](int id) { return host_.GetString(id); }, &text))
        return;
    if (skin::ISkinable* control = Find(controlId))
        control->GetWindow()->SetWindowText(text);
}

void CSkinWizardView::SinglePageLabels() {
    for (const Label& label : kSingleLabels)
        SetLabel(label.id, label.string);
    SetLabel(kBtnSingleInstall, host_.Settings().runMode == rmUninstaller ? 48 : 64);
    if (Find(kCheckSingleGuest))
        dialog_.SetToolTip(kCheckSingleGuest, host_.GetString(69), 800);
}

void CSkinWizardView::Labels() {
    const bool arrows = host_.Settings().backNextArrowsInText;
    for (int id : kBackButtons)
        SetLabel(id, arrows ? 44 : 46);
    for (int id : kNextButtons)
        SetLabel(id, arrows ? 45 : 47);
    for (const Label& label : kLabels)
        SetLabel(label.id, label.string);
    const int runMode = host_.Settings().runMode;
    SetLabel(12424, runMode == rmInstall ? 86 : (runMode == rmDownload ? 75 : 87));
    if (skin::ISkinable* path = Find(kTextUninstallPath))
        path->GetWindow()->SetWindowText(host_.Settings().workFolder);
    if (skin::ISkinable* caption = Find(kMboxEditCaption))
        caption->GetWindow()->SetWindowText(editCaption_ ? host_.GetString(editCaption_)
                                                         : std::wstring());
}

void CSkinWizardView::InitTextControls() {
    if (log_)
        log_->Write(L"Init text controls .. ", false);
    if (host_.Settings().singlePageMode)
        SinglePageLabels();
    Labels();
    if (log_)
        log_->Write(L"OK", true);
    const auto& languages = host_.Languages();
    if (auto* combo = dialog_.FindControlAs<skin::CSkinComboBox>(kComboLanguage);
        combo && combo->GetCount() == 0) {
        for (const config::LanguageEntry& entry : languages)
            combo->AddItem(base::Utf8ToWide(entry.longName), entry.icon, entry.font);
    }
    for (std::size_t i = 0; i < languages.size(); ++i)
        if (languages[i].code == host_.CurrentLanguage())
            SelectLanguageControls(static_cast<int>(i));
    for (const auto& [id, values] : formatted_)
        RenderFormatted(id, values);
}

void CSkinWizardView::SelectLanguageControls(int index) {
    if (auto* combo = dialog_.FindControlAs<skin::CSkinComboBox>(kComboLanguage))
        combo->SetCurSel(index);
    for (int id = kBtnLanguageFirst; id <= kBtnLanguageLast; ++id)
        if (auto* button = dialog_.FindControlAs<skin::CSkinCheckedButton>(id))
            button->SetChecked(id - kBtnLanguageFirst == index);
}

void CSkinWizardView::EnableLanguageControls(bool enabled) {
    EnableControl(kComboLanguage, enabled);
    for (int id = kBtnLanguageFirst; id <= kBtnLanguageLast; ++id)
        EnableControl(id, enabled);
}

void CSkinWizardView::LanguageChanged(int index, bool keepTexts) {
    const auto& languages = host_.Languages();
    if (index >= 0 && static_cast<std::size_t>(index) < languages.size()) {
        SelectLanguageControls(index);
        if (!keepTexts) {
            const config::LanguageEntry& entry = languages[static_cast<std::size_t>(index)];
            InitTextControls();
            // Every step's language pictures, the caption line and the step
            // text follow.
            dialog_.ChangeLanguage(entry.code + "_", std::max(entry.font, 0));
            if (observer_)
                observer_(currentPage_);
            return;
        }
    }
    dialog_.UpdateStepText();
}

int CSkinWizardView::SelectedLanguage() const {
    auto* combo = dialog_.FindControlAs<skin::CSkinComboBox>(kComboLanguage);
    return combo ? combo->GetCurSel() : -1;
}

void CSkinWizardView::SetCheck(int controlId, bool checked) {
    if (auto* box = dialog_.FindControlAs<skin::CSkinCheckedButton>(controlId))
        box->SetChecked(checked);
}

bool CSkinWizardView::IsChecked(int controlId) const {
    auto* box = dialog_.FindControlAs<skin::CSkinCheckedButton>(controlId);
    return box && box->IsChecked();
}

void CSkinWizardView::EnableControl(int controlId, bool enabled) {
    skin::ISkinable* control = Find(controlId);
    if (auto* button = dynamic_cast<skin::CSkinButtonTextCommon*>(control))
        button->SetEnabled(enabled);
    else if (auto* combo = dynamic_cast<skin::CSkinComboBox*>(control))
        combo->SetEnabled(enabled);
}

void CSkinWizardView::ShowControl(int controlId, bool shown) {
    if (skin::ISkinable* control = Find(controlId))
        control->SetVisible(shown);
}

void CSkinWizardView::FocusControl(int controlId) {
    if (skin::ISkinable* control = Find(controlId))
        control->GetWindow()->Host()->FocusWindow(control->GetWindow());
}

void CSkinWizardView::ShowFirstPage(int stage) {
    firstPageStage_ = stage;
    const LaunchSettings& settings = host_.Settings();
    SetLabel(kFirstPageInfo, 38);
    SetControlText(settings.singlePageMode ? kTextSingleProgress : kHeadlineFirstPage,
                   StageString(stage));
    if (!settings.singlePageMode) {
        ShowControl(kBtnCancelFirst, stage != 1 && stage != 7);
        dialog_.SetStepNumber(kPageFirst,
                              stage == 4 ? pageForFirstStage4_
                                         : (stage == 5 || stage == 6 ? pageForFirstStage56_ : 0));
        currentPage_ = kPageFirst;
        ShowStep(kPageFirst);
        return;
    }
    ShowControl(kBtnSingleCancelUpdate, settings.runMode == rmUpdate);
    if (settings.runMode == rmSetLongName) {
        SetInstallPageState(InstallPageState::Running);
    } else if (settings.runMode == rmUpdate) {
        SetInstallPageState(InstallPageState::Running);
        ShowControl(kWaitSingle, true);
    } else {
        SetInstallPageState(InstallPageState::Waiting);
    }
    currentPage_ = kSinglePageInstall;
    ShowStep(kSinglePageInstall);
}

void CSkinWizardView::ShowInstallOptions(bool show) {
    for (int id : kSingleOptions)
        ShowControl(id, show);
    if (host_.Settings().runMode == rmInstall)
        variant_ = show ? 3 : 0;
    currentPage_ = kSinglePageInstall;
    ShowStep(kSinglePageInstall);
}

void CSkinWizardView::SetInstallPageState(InstallPageState state) {
    switch (state) {
    case InstallPageState::Ready: {
        EnableLanguageControls(true);
        for (int id : {kBtnSingleBrowse, kCheckSingleTerms, kBtnSingleTerms, kBtnSingleCancel,
                       kCheckSingleIconDesktop, kCheckSingleIconPrograms, kCheckSingleGuest}) {
            ShowControl(id, true);
            EnableControl(id, true);
        }
        ShowInstallOptions(true);
        const bool agreed = !Find(kCheckSingleTerms) || IsChecked(kCheckSingleTerms);
        ShowControl(kBtnSingleInstall, true);
        EnableControl(kBtnSingleInstall, agreed);
        SetControlText(kTextSingleProgress, agreed ? 66 : 65);
        ShowControl(kWaitSingle, false);
        SetProgressBar(kBarSingle, 0);
        return;
    }
    case InstallPageState::Running:
        for (int id : {kBtnSingleBrowse, kCheckSingleTerms, kBtnSingleTerms, kBtnSingleCancel,
                       kBtnSingleInstall, kFolderTextSingle})
            ShowControl(id, false);
        ShowInstallOptions(false);
        ShowControl(kWaitSingle, false);
        SetProgressBar(kBarSingle, 0);
        return;
    case InstallPageState::Waiting:
        EnableLanguageControls(false);
        for (int id : kSingleChoices)
            EnableControl(id, false);
        EnableControl(kBtnSingleCancel, true);
        ShowControl(kWaitSingle, true);
        ShowControl(kBarSingle, true);
        return;
    }
}

void CSkinWizardView::ShowPage(int page) {
    currentPage_ = page;
    ShowStep(page);
    AnswerPage(page);
}

void CSkinWizardView::ShowExternalApps(int pageIndex, const std::vector<std::wstring>& names,
                                       const std::vector<bool>& selected) {
    dialog_.SetStepNumber(kPageExternalApps, externalBase_ + pageIndex);
    for (int slot = 0; slot < kExternalAppsPerPage; ++slot) {
        const std::size_t index = static_cast<std::size_t>(slot);
        const bool exists = index < names.size();
        if (exists) {
            SetCheck(kCheckExtAppFirst + slot, index < selected.size() && selected[index]);
            SetText(kCheckExtAppFirst + slot, names[index]);
        }
        ShowControl(kCheckExtAppFirst + slot, exists);
        ShowControl(kBtnExtAppHelpFirst + slot, exists);
    }
    ShowControl(kBtnBackExtApp, !(pageIndex == 0 && host_.Settings().runMode == rmUpdate));
    currentPage_ = kPageExternalApps;
    ShowStep(kPageExternalApps);
    AnswerPage(kPageExternalApps);
}

bool CSkinWizardView::PickFolder(const std::wstring& current, std::wstring* chosen) {
    if (script_.Active())
        return script_.PickFolder(chosen);
    return plat::PickFolder(host_.GetString(24), current, chosen);
}

std::wstring CSkinWizardView::EditText() const {
    skin::ISkinable* edit = Find(kMboxEdit);
    return edit ? edit->GetWindow()->WindowText() : std::wstring();
}

void CSkinWizardView::ShowMessageBox(const std::wstring& text, int context, int buttons, bool error,
                                     int extra) {
    boxContext_ = context;
    dialog_.Show(true);
    plat::SetForegroundWindow(dialog_.Window());

    if (skin::ISkinable* edit = Find(kMboxEdit))
        edit->GetWindow()->SetWindowText(std::wstring());
    ShowControl(kMboxEdit, extra == 1);
    ShowControl(kMboxEditCaption, extra == 1);
    if (extra == 1) {
        editCaption_ = 112;
        SetLabel(kMboxEditCaption, editCaption_);
    }
    ShowControl(kBtnMboxLink, extra == 2);
    if (buttons == kBoxButtonsOk || buttons == kBoxButtonsYesNo ||
        buttons == kBoxButtonsRetryCancel) {
        for (int id : kBoxButtons) {
            const bool shown =
                buttons == kBoxButtonsOk
                    ? id == kBtnMboxOk
                    : (buttons == kBoxButtonsYesNo ? (id == kBtnMboxYes || id == kBtnMboxNo)
                                                   : (id == kBtnMboxRetry || id == kBtnMboxCancel));
            ShowControl(id, shown);
        }
    }
    const bool errorList = error && Find(kMboxErrorList);
    ShowControl(kMboxErrorPicture, error);
    ShowControl(kMboxErrorList, errorList);
    ShowControl(kMboxList, !errorList);

    // A box over a box keeps the page the first one covered, so that its
    // answer returns there.
    const int boxPage = host_.Settings().singlePageMode ? kSinglePageMessageBox : kPageMessageBox;
    if (currentPage_ != boxPage)
        previousPage_ = currentPage_;
    currentPage_ = boxPage;
    ShowStep(boxPage);

    if (log_) {
        log_->Write(L" --------------------------------------", true);
        log_->Write(L"|              MessageBox              |", true);
        log_->Write(L"|--------------------------------------|", true);
        log_->Write(text, true);
        log_->Write(L" --------------------------------------", true);
    }
    if (auto* list =
            dialog_.FindControlAs<skin::CSkinListBox>(errorList ? kMboxErrorList : kMboxList)) {
        list->DeleteAllItems();
        const int width =
            list->MaxCharsInLine() >= 1 ? list->MaxCharsInLine() : (errorList ? 35 : 45);
        skin::RenderTextToList(list, base::WideToUtf8(text), width, log_);
    }
    script_.AnswerBox(log_);
}

void CSkinWizardView::ShowConfirm(int stringId, int context, int buttons, bool error) {
    ShowMessageBox(host_.GetString(stringId), context, buttons, error, 0);
}

void CSkinWizardView::ContinueInstallPages() {
    const LaunchSettings& settings = host_.Settings();
    const int apps = host_.ExternalAppCount();
    const int groups = (apps + kExternalAppsPerPage - 1) / kExternalAppsPerPage;
    const bool pageNumbers =
        !settings.singlePageMode && (settings.runMode == rmInstall || settings.runMode == rmUpdate);
    if (pageNumbers && settings.runMode == rmInstall) {
        dialog_.SetStepNumber(kPageTerms, 1);
        dialog_.SetStepNumber(kPageDestination, 2);
        int k = 3;
        if (!settings.skipIconsPage)
            dialog_.SetStepNumber(kPageShortcuts, k++);
        externalBase_ = k;
        k += groups;
        if (!settings.portable)
            dialog_.SetStepNumber(kPageProgress, k++);
        pageForFirstStage4_ = k;
        dialog_.SetStepNumber(kPageDownload, k + 1);
        dialog_.SetStepNumber(kPageLaunch, k + 2);
        dialog_.SetPageTotal(k + 2);
    } else if (pageNumbers) {
        dialog_.SetNumberingHidden(groups == 0 && !settings.pageNumeration);
        externalBase_ = 1;
        int k = groups + 1;
        if (!settings.portable && host_.HasShortcutChanges())
            dialog_.SetStepNumber(kPageProgress, k++);
        pageForFirstStage4_ = k;
        dialog_.SetStepNumber(kPageDownload, k + 1);
        pageForFirstStage56_ = k + 2;
        dialog_.SetPageTotal(k + 2);
    } else {
        if (settings.singlePageMode && settings.runMode == rmUpdate)
            dialog_.SetNumberingHidden(groups == 0 && !settings.pageNumeration);
        else
            dialog_.SetNumberingHidden(true);
        dialog_.SetPageTotal(1);
    }
    dialog_.UpdateStepText();
    if (settings.singlePageMode && settings.runMode != rmSetLongName &&
        settings.runMode != rmUpdate) {
        SetInstallPageState(InstallPageState::Ready);
        currentPage_ = kSinglePageInstall;
        ShowStep(kSinglePageInstall);
    }
}

void CSkinWizardView::ShowTermsPage() {
    if (auto* list = dialog_.FindControlAs<skin::CSkinListBox>(kTermsList)) {
        list->DeleteAllItems();
        skin::RenderTextToList(list, base::WideToUtf8(host_.LicenseText()), 57, nullptr);
    }
    ShowControl(kBtnAgree, true);
    ShowControl(kBtnDisagree, true);
    currentPage_ = kPageTerms;
    ShowStep(kPageTerms);
    AnswerPage(kPageTerms);
}

int CSkinWizardView::InfoTextId() const {
    return host_.Settings().singlePageMode ? kTextSingleProgress : kDownloadInfo;
}

void CSkinWizardView::SetProgressBar(int barId, int position) {
    skin::ISkinable* control = Find(barId);
    auto* bar = dynamic_cast<skin::CSkinProgress*>(control);
    if (bar && control->IsVisible()) {
        bar->SetPos(std::clamp(position, 0, 100));
        bar->InvalidateWindow();
    }
}

void CSkinWizardView::ShowDownloadPage() {
    if (host_.Settings().singlePageMode) {
        ShowControl(kWaitSingle, false);
        SetProgressBar(kBarSingle, 0);
    } else {
        currentPage_ = kPageDownload;
        ShowStep(kPageDownload);
    }
    SetFormattedText(InfoTextId(), {StringValue(18)});
}

void CSkinWizardView::ShowUninstallProgressPage() {
    SetControlText(kHeadlineProgress, 78);
    int page = kPageProgress;
    if (host_.Settings().singlePageMode) {
        SetInstallPageState(InstallPageState::Running);
        ShowControl(kBtnSingleInstall, true);
        EnableControl(kBtnSingleInstall, true);
        page = kSinglePageInstall;
    }
    currentPage_ = page;
    ShowStep(page);
    ShowWorkProgress(0);
}

void CSkinWizardView::ShowWorkPage() {
    const int page = host_.Settings().singlePageMode ? kSinglePageInstall : kPageProgress;
    currentPage_ = page;
    ShowStep(page);
    ShowWorkProgress(0);
}

void CSkinWizardView::ShowUninstallResult(bool success) {
    currentPage_ =
        host_.Settings().singlePageMode ? kSinglePageUninstallResult : kPageUninstallResult;
    ShowStep(currentPage_);
    if (auto* list = dialog_.FindControlAs<skin::CSkinListBox>(kErrorsList))
        list->AddItem(host_.GetString(success ? 100 : 99));
    AnswerPage(kPageUninstallResult);
}

void CSkinWizardView::RefreshProgress(const ProgressInputs& inputs, std::int64_t unpackedBytes) {
    const ProgressDisplay display = ComputeProgress(inputs, unpackedBytes, &unpackedKb_);
    if (display.downloading || inputs.silentMode)
        SetFormattedText(InfoTextId(),
                         {StringValue(4), RealValue(display.doneKb), RealValue(display.totalKb)});
    else
        SetFormattedText(InfoTextId(),
                         {StringValue(16), IntegerValue(display.barPosition), TextOf(L"%")});
    SetProgressBar(host_.Settings().singlePageMode ? kBarSingle : kDownloadBar,
                   display.barPosition);
}

void CSkinWizardView::ShowNetworkError(const std::wstring& text) {
    if (log_) {
        log_->Write(L"Network error shown:", true);
        log_->Write(text, true);
    }
    // The first line of the failure stands where the page waits for the
    // retry; the whole text is in the log.
    const std::wstring line = text.substr(0, text.find(L'\n'));
    const int id = host_.Settings().singlePageMode
                       ? kTextSingleProgress
                       : (currentPage_ == kPageDownload ? kProgressInfo : kFirstPageInfo);
    SetFormattedText(id, {TextOf(L"%s"), TextOf(line)});
}

void CSkinWizardView::ShowLaunchPage() {
    currentPage_ = kPageLaunch;
    if (host_.Settings().singlePageMode) {
        SetControlText(kTextSingleProgress, 90);
        SetProgressBar(kBarSingle, 100);
    }
    ShowStep(kPageLaunch);
    AnswerPage(kPageLaunch);
}

void CSkinWizardView::ShowKbProgress(std::int64_t receivedBytes, std::int64_t totalBytes) {
    const bool unknown = totalBytes == -1;
    const double received = static_cast<double>(receivedBytes) / 1024.0;
    const double total = static_cast<double>(unknown ? 1024000 : totalBytes) / 1024.0;
    if (unknown)
        SetFormattedText(InfoTextId(), {StringValue(5), RealValue(received)});
    else
        SetFormattedText(InfoTextId(), {StringValue(4), RealValue(received), RealValue(total)});
    SetProgressBar(host_.Settings().singlePageMode ? kBarSingle : kDownloadBar,
                   total > 0 ? Clamp100(received * 100.0 / total) : 0);
}

void CSkinWizardView::ShowWorkProgress(int percent) {
    const bool single = host_.Settings().singlePageMode;
    if (!single && currentPage_ != kPageProgress)
        return;
    const int shown = std::clamp(percent, 0, 100);
    SetProgressBar(single ? kBarSingle : kProgressBar, shown);
    SetFormattedText(single ? kTextSingleProgress : kProgressInfo,
                     {StringValue(17), IntegerValue(shown), TextOf(L"%")});
}

} // namespace logic
