// CLogic: the run with its message loop, the dispatch of the launcher's
// window messages and retry timers, and the message-box buttons.

#include "logic/Logic.h"

#include "base/Strings.h"
#include "config/ArchiveHelperRar.h"
#include "config/XmlQuery.h"
#include "logic/LangFormat.h"
#include "logic/LauncherMessages.h"
#include "logic/NetErrors.h"
#include "logic/RecordingWizardView.h"
#include "platform/Presenter.h"
#include "platform/Process.h"
#include "platform/Termination.h"

namespace {

// Message-box buttons and the controls Run looks for.
enum : int {
    kBtnCaptionClose = 12345,
    kBtnCloseUninstall = 12346,
    kBtnLaunch = 12394,
    kBtnUninstall = 12395,
    kBtnCancelUninstall = 12396,
    kBtnMboxYes = 12412,
    kBtnMboxNo = 12413,
    kBtnMboxOk = 12414,
    kBtnMboxRetry = 12415,
    kBtnMboxCancel = 12416,
};

} // namespace

IWizardView& CLogic::View() {
    if (viewOverride_)
        return *viewOverride_;
    if (!headlessView_) {
        auto view =
            std::make_unique<CRecordingWizardView>([this](int id) { return GetString(id); }, log_);
        // Nobody can answer a box in a run without a window: it is cancelled,
        // which ends the run.
        view->SetBoxAnswer([this] {
            Log(L"No window to answer the message box: Cancel");
            dialog_.Click(kBtnMboxCancel);
        });
        headlessView_ = std::move(view);
    }
    return *headlessView_;
}

bool CLogic::UserMessageThunk(void* context, std::uint32_t message, plat::WPARAM wParam,
                              plat::LPARAM lParam) {
    return static_cast<CLogic*>(context)->OnUserMessage(message, wParam, lParam);
}

void CLogic::TerminationThunk(void* context) {
    static_cast<CLogic*>(context)->dialog_.Click(kBtnCaptionClose);
}

bool CLogic::TimerThunk(void* context, std::uint64_t timerId) {
    return static_cast<CLogic*>(context)->OnTimer(timerId);
}

bool CLogic::Run(LogicFailure* failure) {
    if (settings_.runByClient && settings_.runByClientCritical) {
        BlankLine();
        Log(L"Run by client:");
        Log(L"  .. waiting for clients closing...");
        NotBuilt(L"    .. the search for running clients");
        BlankLine();
    }
    if (!settings_.debugMode && !configuration_.multiRun && settings_.runMode != rmDownload &&
        SearchClientWindow())
        return true;

    std::string caption;
    caption_ = configuration_.configDoc.Root() &&
                       config::QueryText(configuration_.configDoc.Root(),
                                         config::keys::kTaskbarCaption, &caption)
                   ? base::Utf8ToWide(caption)
                   : GetString(2);
    dialog_.SetUserMessageCallback(this, &CLogic::UserMessageThunk);
    dialog_.SetTimerCallback(this, &CLogic::TimerThunk);
    Log(L"Set dialog title: ", false);
    Log(caption_);
    if (!CreateDialog(failure))
        return false;

    View().SetCaption(caption_);
    View().InitTextControls();
    Log(L"Dialog skin controls .. OK");
    dialog_.SetNotify(this);
    View().ShowFirstPage(settings_.runMode == rmSetLongName ? 7 : 2);
    if (settings_.runMode != rmInstall)
        NotBuilt(L"taskbar application identity");
    dialog_.Show(true);

    if (!settings_.ucrtPresent) {
        if (!settings_.kbUrl.empty())
            View().ShowConfirm(113, kBoxPlatformUpdate, kBoxButtonsYesNo, false);
        else
            View().ShowMessageBox(GetString(114), kBoxPlatformUpdate, kBoxButtonsOk, false, 2);
    } else {
        initFinished_ = true;
        StartWork();
    }

    // A request to end from outside closes the window like its close button,
    // so that uninit keeps what was downloaded.
    plat::SetTerminationCallback(&CLogic::TerminationThunk, this);
    MessageLoop();
    plat::SetTerminationCallback(nullptr, nullptr);
    dialog_.Destroy();
    return true;
}

bool CLogic::SearchClientWindow() {
    Log(L"Searching for client windows...");
    for (plat::HWND window : plat::FindWindowsByClass(settings_.clientWindowClass)) {
        std::wstring className;
        // The search ignores case; the client's class must match exactly.
        if (!plat::GetWindowClassName(window, &className) ||
            className != settings_.clientWindowClass)
            continue;
        runThreadDone_ = true;
        NotBuilt(L"restoring the running client's window");
        return true;
    }
    return false;
}

bool CLogic::CreateDialog(LogicFailure* failure) {
    // The display named by DISPLAY when it answers, else the headless
    // presenter; the log says which and why.
    if (!dialog_.Presenter()) {
        std::wstring why;
        std::unique_ptr<plat::IPresenter> presenter = plat::CreatePresenter(&why);
        Log(L"Presenter: " + presenter->Description());
        dialog_.SetPresenter(std::move(presenter));
    }
    // The skin reads its pictures from the resource archive's theme folder,
    // in the current language's variant where one exists.
    skin::CSkinTheme& theme = dialog_.Theme();
    theme.SetSource(&config::CArchiveHolder::Instance(), configuration_.themeFolder);
    theme.SetLanguagePrefix(configuration_.languages.ImagePrefix());
    const int language =
        configuration_.languages.PositionOf(configuration_.languages.CurrentCode());
    if (language >= 0)
        theme.SetFontIndex(configuration_.languages.Entries()[language].font);
    theme.SetStrings([this](int id) { return GetString(id); });
    theme.SetLog(log_);
    dialog_.SetProductName(settings_.fullNameW);
    dialog_.SetNumberingHidden(!settings_.pageNumeration);
    if (!dialog_.Create(configuration_.themeDoc.Root(), caption_)) {
        LogNarrow("Dialog initialisation failed with code " + std::to_string(dialog_.InitError()));
        failure->kind = LogicFailure::Kind::Text;
        failure->text = "Unable to create dialog";
        return false;
    }
    Log(L"Dialog successfully created");
    return true;
}

void CLogic::MessageLoop() {
    Log(L"Msg cycle - start");
    plat::Msg msg;
    while (!quitLoop_ && plat::GetMessage(&msg) > 0) {
        // The tray menu's commands are seen before dispatch.
        if (msg.message == CDialog::kCommandMessage && msg.wParam == kTrayCommandExit) {
            plat::PostMessage(dialog_.Window(), eWindowsMessage_Exit, 1, 0);
            continue;
        }
        if (msg.message == CDialog::kCommandMessage && msg.wParam == kTrayCommandToggle) {
            NotBuilt(L"showing or hiding the silent downloader");
            continue;
        }
        plat::TranslateMessage(msg);
        plat::DispatchMessage(msg);
    }
    Log(L"Msg cycle - finish");
    DropQueuedMessages();
}

void CLogic::DropQueuedMessages() {
    // What the messages still queued carry (completed requests) now belongs
    // to nobody: it is freed without running any callback.
    plat::Msg msg;
    while (plat::PeekMessage(&msg))
        plat::DiscardMessage(msg);
}

// Ending the launcher: an assistant still at work is told to stop first (an
// elevated process is never left behind), then its copy goes.
void CLogic::FinishAndQuit() {
    CancelAssistant();
    Log(L"Deleting launcher assistant from temp");
    assistant_.DeleteFiles();
    Log(L"PostQuitMessage(0)");
    quitLoop_ = true;
    plat::PostQuitMessage(0);
}

void CLogic::ShowError(int stringId, int context) {
    View().ShowMessageBox(GetString(stringId), context, kBoxButtonsOk, true, 0);
}

void CLogic::ShowSystemError(const std::wstring& prefix, plat::ErrorCode code) {
    logic::ErrorMessage message = logic::SystemErrorMessage(prefix, code);
    View().ShowMessageBox(message.text, message.context, message.buttons, message.error, 0);
}

bool CLogic::OnTimer(std::uint64_t timerId) {
    if (timerId < eRetryTimer_ClientUpdateData || timerId > eRetryTimer_UpdateFile)
        return false;
    dialog_.KillTimer(timerId);
    return cycle_.OnRetryTimer(timerId);
}

void CLogic::SetRetryTimer(std::uint64_t id, std::uint32_t elapseMs) {
    dialog_.SetTimer(id, elapseMs);
}

bool CLogic::OnUserMessage(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
    switch (message) {
    case eWindowsMessage_LauncherAssistantInitResult:
        OnAssistantInitResult(wParam, lParam);
        return true;
    case eWindowsMessage_LauncherAssistantWorkResult:
        OnAssistantWorkResult(wParam, lParam);
        return true;
    case eWindowsMessage_LauncherAssistantNotAdmin:
        View().ShowMessageBox(GetString(106), kBoxAssistantStartFailed, kBoxButtonsRetryCancel,
                              true, 0);
        return true;
    case eWindowsMessage_Exit:
        OnExitMessage(wParam);
        return true;
    case eWindowsMessage_ClientRunFailed:
        View().ShowMessageBox(
            logic::FormatLangText(GetString(logic::kLangClientStartTooLong), settings_.fullNameW),
            kBoxFatal, kBoxButtonsOk, true, 0);
        return true;
    case eWindowsMessage_NewTask:
        NotBuilt(L"tasks from a running client");
        return true;
    case eWindowsMessage_UnpackThreadFinished:
        cycle_.OnUnpackThreadFinished(lParam);
        return true;
    case eWindowsMessage_CheckThreadFinished:
        cycle_.OnCheckThreadFinished(wParam, lParam);
        return true;
    case eWindowsMessage_DownloadCompleted:
        downloader_.OnCompletedMessage(wParam, lParam);
        return true;
    case eWindowsMessage_DownloadProgress:
        downloader_.OnProgressMessage(lParam);
        return true;
    case eWindowsMessage_UninstallThreadFinished:
        FinishUninstall(lParam == update::kUninstallRemoved);
        return true;
    case eWindowsMessage_UnpackProgress:
        cycle_.OnUnpackProgress(lParam);
        return true;
    case eWindowsMessage_UninstallProgress:
        View().ShowWorkProgress(static_cast<int>(lParam));
        return true;
    case eWindowsMessage_IconTrayCallbackMessage:
    case eWindowsMessage_LeaveSilentDownload:
    case eWindowsMessage_SilentDownloadRequest:
    case eWindowsMessage_ShowBeforeClose:
        NotBuilt(L"the silent download");
        return true;
    default:
        return false;
    }
}

void CLogic::OnExitMessage(plat::WPARAM reason) {
    if (reason == 0) {
        Log(L"Exit .. runThread");
        runThreadDone_ = true;
    } else if (reason == 1) {
        Log(L"Exit .. silentDownload");
        silentDone_ = true;
    } else if (reason == 2) {
        Log(L"Exit .. silentDownload_finish");
        silentFinished_ = true;
        silentDone_ = true;
    }
    bool forClient = settings_.runByClient || settings_.runByClientCritical;
    if (!forClient && settings_.silentMode && !(runThreadDone_ && silentDone_))
        return; // a silent downloader waits for both ends
    if (settings_.silentMode && silentFinished_) {
        NotBuilt(L"the tray balloon of a finished silent download");
        return;
    }
    FinishAndQuit();
}

void CLogic::OnBtnClicked(int id) {
    Log(L"CLogic::OnBtnClicked: ", false);
    switch (id) {
    case kBtnCaptionClose:
    case kBtnCloseUninstall:
        Log(L"ID_BTN_CAPTION_CLOSE");
        FinishAndQuit();
        return;
    case kBtnLaunch:
        Log(L"ID_BTN_LAUNCH");
        ReachLaunchStep(L"the launch button");
        return;
    case kBtnUninstall:
        Log(L"ID_BTN_UNINSTALL");
        StartUninstall();
        return;
    case kBtnCancelUninstall:
        Log(L"ID_BTN_CANCEL_UNINSTALL");
        FinishAndQuit();
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
    default:
        Log(base::FormatW(L"ID = %d", id));
        return;
    }
    OnMessageBoxButton(id);
}

void CLogic::OnMessageBoxButton(int id) {
    int context = View().MessageBoxContext();
    if (id == kBtnMboxCancel || (id == kBtnMboxOk && context == kBoxOkCancels)) {
        FinishAndQuit();
        return;
    }
    if (id == kBtnMboxOk &&
        (context == kBoxFatal || (context == kBoxChooseAgain && settings_.runMode != rmInstall))) {
        FinishAndQuit();
        return;
    }
    if (id == kBtnMboxRetry && cycle_.RetryFromBox(context))
        return;
    if (id == kBtnMboxRetry && context == kBoxAssistantStartFailed) {
        RunAssistant(pendingAssistantCommand_);
        return;
    }
    if (id == kBtnMboxYes && context == kBoxExitDuringInstall) {
        CancelAssistant();
        FinishAndQuit();
        return;
    }
    NotBuilt(L"the wizard pages behind this button");
}

void CLogic::OnCBNSelChange(unsigned commandWord) {
    Log(L"CLogic::OnCBNSelChange: ", false);
    Log(base::FormatW(L"ID = %u", commandWord));
}
