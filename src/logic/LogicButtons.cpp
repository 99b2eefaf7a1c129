// CLogic and the wizard's buttons: the clicks of the install, uninstall and
// launch flows (licence, destination, shortcuts, external applications,
// launch, uninstall) and the message box's buttons by the box's context.

#include "logic/Logic.h"

#include "base/Strings.h"
#include "logic/LauncherMessages.h"
#include "logic/WizardControls.h"
#include "platform/ShellOpen.h"

using namespace logic; // the page and control numbers

namespace {

// ShowFirstPage's stage while the client starts.
constexpr int kLaunchStage = 5;

// The folder the picker's text names: without quotes, with native
// separators, repeated separators reduced to one.
std::wstring CleanPickedFolder(const std::wstring& text) {
    std::wstring folder;
    for (wchar_t c : text) {
        if (c == L'"')
            continue;
        if (c == L'\\' || c == L'/')
            c = L'/';
        if (c == L'/' && !folder.empty() && folder.back() == L'/')
            continue;
        folder += c;
    }
    return folder;
}

} // namespace

int CLogic::PageNumber(int page) const {
    if (!settings_.singlePageMode)
        return page;
    switch (page) {
    case kPageMessageBox:
        return kSinglePageMessageBox;
    case kPageUninstallQuestion:
        return kSinglePageUninstallQuestion;
    case kPageUninstallResult:
        return kSinglePageUninstallResult;
    default:
        return kSinglePageInstall;
    }
}

void CLogic::OnBtnClicked(int id) {
    Log(L"CLogic::OnBtnClicked: ", false);
    switch (id) {
    case kBtnCaptionClose:
    case kBtnCloseUninstall:
        Log(L"ID_BTN_CAPTION_CLOSE");
        OnCloseRequest();
        return;
    case kBtnDisagree:
        Log(L"ID_BTN_DISAGREE");
        FinishAndQuit();
        return;
    case kBtnAgree:
        Log(L"ID_BTN_AGREE");
        OnAgree();
        return;
    case kBtnBack:
        Log(L"ID_BTN_BACK");
        View().ShowTermsPage();
        View().FocusControl(kTermsList);
        return;
    case kBtnNext:
        Log(L"ID_BTN_NEXT");
        OnNext();
        return;
    case kBtnSingleCancelUpdate:
    case kBtnSingleCancel:
        Log(base::FormatW(L"ID = %d", id));
        CancelAssistant();
        FinishAndQuit();
        return;
    case kBtnSingleBrowse:
    case kBtnChangeFolder:
        Log(L"ID_BTN_CHANGE_FOLDER");
        OnChangeFolder();
        return;
    case kBtnSingleInstall:
        if (settings_.runMode == rmUninstaller) {
            Log(base::FormatW(L"ID = %d", id));
            FinishAndQuit();
            return;
        }
        Log(L"ID_SINGLEPAGEINSTALL_BTN_INSTALL");
        // Nothing of the choices changes while the installation starts.
        for (int control : {kCheckSingleTerms, kCheckSingleIconDesktop, kCheckSingleIconPrograms,
                            kCheckSingleGuest, kBtnSingleInstall, kBtnSingleBrowse})
            View().EnableControl(control, false);
        View().EnableLanguageControls(false);
        BeginInstallation();
        return;
    case kCheckSingleTerms: {
        Log(L"ID_SINGLEPAGEINSTALL_BTN_CHECKBOX_TERMS");
        const bool agreed = !View().IsChecked(id);
        View().SetCheck(id, agreed);
        View().EnableControl(kBtnSingleInstall, agreed);
        View().SetControlText(kTextSingleProgress, agreed ? 66 : 65);
        return;
    }
    case kCheckSingleGuest:
        Log(L"ID_SINGLEPAGEINSTALL_BTN_CHECKBOX_GUEST");
        ToggleCheck(id, &settings_.portable);
        return;
    case kCheckSingleIconDesktop:
        Log(L"ID_SINGLEPAGEINSTALL_BTN_CHECKBOX_ICON_DESKTOP");
        ToggleCheck(id, &settings_.iconDesktop);
        return;
    case kCheckSingleIconPrograms:
        Log(L"ID_SINGLEPAGEINSTALL_BTN_CHECKBOX_ICON_PROGRAMS");
        ToggleCheck(id, &settings_.iconPrograms);
        return;
    case kBtnSingleTerms:
        Log(base::FormatW(L"ID = %d", id));
        plat::OpenAddress(base::Utf8ToWide(urlSelector_.SelectedUrl()) + L"/terms?LANG=" +
                          base::Utf8ToWide(configuration_.languages.CurrentCode()));
        return;
    case kBtnBackIcons:
        Log(L"ID_BTN_BACK_ICONS");
        View().ShowPage(kPageDestination);
        return;
    case kBtnNextIcons:
        Log(L"ID_BTN_NEXT_ICONS");
        OnNextIcons();
        return;
    case kBtnCancelDestination:
    case kBtnCancelExtApp:
    case kBtnCancelDownload:
    case kBtnCancelProgress:
    case kBtnCancelIcons:
    case kBtnCancelFirst:
        Log(L"ID_BTN_CANCEL");
        OnCancelButton();
        return;
    case kBtnPortableHelp:
        Log(L"ID_BTN_PORTABLE_HELP");
        View().ShowMessageBox(GetString(69), kBoxInformation, kBoxButtonsOk, false, 0);
        return;
    case kBtnBackExtApp:
        Log(L"ID_BTN_BACK_EXTAPP");
        OnExternalAppsPage(-1);
        return;
    case kBtnNextExtApp:
        Log(L"ID_BTN_NEXT_EXTAPP");
        OnExternalAppsPage(1);
        return;
    case kCheckGuest:
        Log(L"ID_BTN_CHECKBOX_GUEST");
        ToggleCheck(id, &settings_.portable);
        return;
    case kBtnLaunch:
        Log(L"ID_BTN_LAUNCH");
        OnLaunch();
        return;
    case kBtnUninstall:
        Log(L"ID_BTN_UNINSTALL");
        StartUninstall();
        return;
    case kBtnCancelUninstall:
        Log(L"ID_BTN_CANCEL_UNINSTALL");
        FinishAndQuit();
        return;
    case kCheckIconDesktop:
        Log(L"ID_BTN_CHECKBOX_ICON_DESKTOP");
        ToggleCheck(id, &settings_.iconDesktop);
        return;
    case kCheckIconPrograms:
        Log(L"ID_BTN_CHECKBOX_ICON_PROGRAMS");
        ToggleCheck(id, &settings_.iconPrograms);
        return;
    case kBtnMboxYes:
        Log(L"ID_MBOX_BTN_YES");
        break;
    case kBtnMboxNo:
        Log(L"ID_MBOX_BTN_NO");
        break;
    case kBtnMboxOk:
        Log(L"ID_MBOX_BTN_OK");
        break;
    case kBtnMboxRetry:
        Log(L"ID_MBOX_BTN_RETRY");
        break;
    case kBtnMboxCancel:
        Log(L"ID_MBOX_BTN_CANCEL");
        break;
    case kBtnMboxLink:
        Log(L"ID_MBOX_LINK");
        plat::OpenAddress(GetString(118));
        return;
    default:
        if (id >= kBtnLanguageFirst && id <= kBtnLanguageLast) {
            Log(base::FormatW(L"ID = %d", id));
            // A language button that is checked already changes nothing.
            if (!View().IsChecked(id) &&
                id - kBtnLanguageFirst < static_cast<int>(Languages().size()))
                ChangeLanguage(id - kBtnLanguageFirst, false);
            return;
        }
        if (id >= kBtnExtAppHelpFirst && id < kBtnExtAppHelpFirst + kExternalAppsPerPage) {
            Log(base::FormatW(L"ID = %d", id));
            const int index = externalPage_ * kExternalAppsPerPage + id - kBtnExtAppHelpFirst;
            if (index >= 0 && index < static_cast<int>(externalApps_.size()))
                View().ShowMessageBox(externalApps_[static_cast<std::size_t>(index)].help,
                                      kBoxInformation, kBoxButtonsOk, false, 0);
            return;
        }
        if (id >= kCheckExtAppFirst && id < kCheckExtAppFirst + kExternalAppsPerPage) {
            Log(base::FormatW(L"ID = %d", id));
            View().SetCheck(id, !View().IsChecked(id));
            return;
        }
        Log(base::FormatW(L"ID = %d", id));
        return;
    }
    OnMessageBoxButton(id);
}

void CLogic::ToggleCheck(int controlId, bool* flag) {
    const bool checked = !View().IsChecked(controlId);
    View().SetCheck(controlId, checked);
    *flag = checked;
}

void CLogic::OnAgree() {
    settings_.portable = View().IsChecked(kCheckGuest);
    ChooseInstallFolder(userFolder_);
    View().ShowPage(kPageDestination);
}

void CLogic::OnNext() {
    if (settings_.skipIconsPage) {
        OnNextIcons();
        return;
    }
    View().SetCheck(kCheckIconDesktop, settings_.iconDesktop);
    View().SetCheck(kCheckIconPrograms, settings_.iconPrograms);
    View().ShowPage(kPageShortcuts);
}

void CLogic::OnNextIcons() {
    if (externalApps_.empty()) {
        BeginInstallation();
        return;
    }
    externalPage_ = -1;
    OnExternalAppsPage(1);
}

void CLogic::OnExternalAppsPage(int step) {
    const int count = static_cast<int>(externalApps_.size());
    // The choices of the page shown go back into the list first.
    if (externalPage_ >= 0) {
        for (int slot = 0; slot < kExternalAppsPerPage; ++slot) {
            const int index = externalPage_ * kExternalAppsPerPage + slot;
            if (index < count)
                externalApps_[static_cast<std::size_t>(index)].selected =
                    View().IsChecked(kCheckExtAppFirst + slot);
        }
    }
    const int page = externalPage_ + step;
    if (page < 0) {
        View().ShowPage(settings_.skipIconsPage ? kPageDestination : kPageShortcuts);
        return;
    }
    if (page * kExternalAppsPerPage >= count) {
        BeginInstallation();
        return;
    }
    externalPage_ = page;
    std::vector<std::wstring> names;
    std::vector<bool> selected;
    for (int slot = 0; slot < kExternalAppsPerPage; ++slot) {
        const int index = page * kExternalAppsPerPage + slot;
        if (index >= count)
            break;
        names.push_back(externalApps_[static_cast<std::size_t>(index)].name);
        selected.push_back(externalApps_[static_cast<std::size_t>(index)].selected);
    }
    View().ShowExternalApps(page, names, selected);
}

void CLogic::OnChangeFolder() {
    std::wstring chosen;
    if (!View().PickFolder(cycle_.InstallFolder(), &chosen))
        return;
    chosen = CleanPickedFolder(chosen);
    if (chosen.empty())
        return;
    userFolder_ = chosen;
    ChooseInstallFolder(userFolder_);
}

void CLogic::OnLaunch() {
    View().ShowFirstPage(kLaunchStage);
    RunClient();
}

void CLogic::OnCloseRequest() {
    // A request to end from outside ends the run at once.
    if (terminating_.load()) {
        FinishAndQuit();
        return;
    }
    const int page = View().CurrentPage();
    if (!settings_.singlePageMode) {
        const int stage = View().FirstPageStage();
        const bool ask = page == kPageDestination || page == kPageDownload ||
                         page == kPageShortcuts || (page == kPageProgress && settings_.portable) ||
                         (page == kPageFirst && stage == 4) || stage == 6;
        if (ask) {
            View().ShowConfirm(3, kBoxInformation, kBoxButtonsYesNo, false);
            return;
        }
    }
    if (page == kPageProgress) {
        View().ShowConfirm(3, kBoxExitDuringInstall, kBoxButtonsYesNo, false);
        return;
    }
    FinishAndQuit();
}

void CLogic::OnCancelButton() {
    switch (View().CurrentPage()) {
    case kPageDestination:
    case kPageDownload:
    case kPageShortcuts:
    case kPageExternalApps:
        View().ShowConfirm(3, kBoxInformation, kBoxButtonsYesNo, false);
        return;
    case kPageProgress:
        View().ShowConfirm(3, settings_.portable ? kBoxInformation : kBoxExitDuringInstall,
                           kBoxButtonsYesNo, false);
        return;
    case kPageFirst:
        FinishAndQuit();
        return;
    default:
        return;
    }
}

void CLogic::OnMessageBoxButton(int id) {
    const int context = View().MessageBoxContext();
    const int previous = View().PreviousPage();
    switch (id) {
    case kBtnMboxYes:
        if (!initFinished_) {
            initFinished_ = true;
            StartWork();
            return;
        }
        if (context == kBoxExitDuringInstall)
            CancelAssistant();
        FinishAndQuit();
        return;
    case kBtnMboxNo:
        if (initFinished_) {
            View().ShowPage(previous);
            return;
        }
        break; // as OK of the platform update's question
    case kBtnMboxRetry:
        if (cycle_.RetryFromBox(context))
            return;
        if (context == kBoxServerAddress) {
            cycle_.AskForServerAddress();
            return;
        }
        if (context == kBoxAssistantStartFailed) {
            RunAssistant(pendingAssistantCommand_);
            return;
        }
        View().ShowPage(previous);
        return;
    case kBtnMboxCancel:
        OnBoxCancel();
        return;
    default:
        break;
    }
    // OK, by the box's context.
    switch (context) {
    case kBoxPlatformUpdate:
        // The start goes on without the platform update.
        initFinished_ = true;
        settings_.ucrtPresent = true;
        StartWork();
        return;
    case kBoxServerAddress:
        switch (cycle_.OfferServerAddress(View().EditText())) {
        case CUpdateCycle::TypedAddress::Retried:
            return;
        case CUpdateCycle::TypedAddress::Cancel:
            OnBoxCancel();
            return;
        case CUpdateCycle::TypedAddress::AskAgain:
            // Retry opens the entry again.
            View().ShowMessageBox(GetString(112), kBoxServerAddress, kBoxButtonsRetryCancel, true,
                                  0);
            return;
        }
        return;
    case kBoxChooseAgain:
        if (settings_.runMode != rmInstall) {
            FinishAndQuit();
        } else if (settings_.singlePageMode) {
            View().ShowPage(previous);
            View().SetInstallPageState(InstallPageState::Ready);
        } else {
            View().ShowPage(kPageDestination);
        }
        return;
    case kBoxOkCancels:
        OnBoxCancel();
        return;
    case kBoxFatal:
        FinishAndQuit();
        return;
    default:
        View().ShowPage(previous);
        return;
    }
}

void CLogic::OnBoxCancel() {
    // A failed assistant start of a first installation in single-page mode
    // returns to the choices; everything else ends the run.
    if (settings_.singlePageMode && settings_.runMode == rmInstall &&
        View().MessageBoxContext() == kBoxAssistantStartFailed &&
        View().PreviousPage() == kSinglePageInstall) {
        View().ShowPage(kSinglePageInstall);
        View().SetInstallPageState(InstallPageState::Ready);
        return;
    }
    FinishAndQuit();
}
