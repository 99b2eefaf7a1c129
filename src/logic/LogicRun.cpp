// CLogic: the run with its message loop, the dispatch of the launcher's
// window messages and retry timers, and the message-box buttons.

#include "logic/Logic.h"

#include "base/Strings.h"
#include "config/XmlQuery.h"
#include "log/LogImplW.h"
#include "logic/AssistantResults.h"
#include "logic/LauncherMessages.h"
#include "logic/RecordingWizardView.h"
#include "net/RequestHttx.h"
#include "platform/Presenter.h"
#include "platform/Process.h"
#include "platform/Termination.h"

#include <tinyxml2.h>

namespace {

// Message-box buttons and the controls Run looks for.
enum : int {
    kBtnCaptionClose = 12345,
    kBtnCloseUninstall = 12346,
    kBtnLaunch = 12394,
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
    if (runByClient_ && runByClientCritical_) {
        log_ ? (void)log_->WriteNewLines(1) : (void)0;
        Log(L"Run by client:");
        Log(L"  .. waiting for clients closing...");
        NotBuilt(L"    .. the search for running clients");
        if (log_)
            log_->WriteNewLines(1);
    }
    if (!debugMode_ && !configuration_.multiRun && runMode_ != rmDownload && SearchClientWindow())
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
    View().ShowFirstPage(runMode_ == rmSetLongName ? 7 : 2);
    if (runMode_ != rmInstall)
        NotBuilt(L"taskbar application identity");
    dialog_.Show(true);

    if (!ucrtPresent_) {
        if (!kbUrl_.empty())
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
    for (plat::HWND window : plat::FindWindowsByClass(clientWindowClass_)) {
        std::wstring className;
        // The search ignores case; the client's class must match exactly.
        if (!plat::GetWindowClassName(window, &className) || className != clientWindowClass_)
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
    const tinyxml2::XMLElement* theme = configuration_.themeDoc.Root();
    if (!dialog_.Create(theme, caption_)) {
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
    // Completed requests still queued carry objects that now belong to
    // nobody: release them without running their callbacks.
    plat::Msg msg;
    while (plat::PeekMessage(&msg)) {
        if (msg.message == eWindowsMessage_DownloadCompleted && msg.wParam == 0 && msg.lParam != 0)
            std::unique_ptr<NetEx::CRequestHttx>(
                reinterpret_cast<NetEx::CRequestHttx*>(msg.lParam));
    }
}

void CLogic::FinishAndQuit() {
    Log(L"Deleting launcher assistant from temp");
    quitLoop_ = true;
    plat::PostQuitMessage(0);
}

void CLogic::ShowError(int stringId, int context) {
    View().ShowMessageBox(GetString(stringId), context, kBoxButtonsOk, true, 0);
}

bool CLogic::OnUserMessage(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
    if (exiting_)
        return false;
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
        View().ShowMessageBox(base::FormatW(GetString(23).c_str(), fullNameW_.c_str()), kBoxFatal,
                              kBoxButtonsOk, true, 0);
        return true;
    case eWindowsMessage_NewTask:
        NotBuilt(L"tasks from a running client");
        return true;
    case eWindowsMessage_UnpackThreadFinished:
        OnUnpackThreadFinished(lParam);
        return true;
    case eWindowsMessage_CheckThreadFinished:
        OnCheckThreadFinished(wParam, lParam);
        return true;
    case eWindowsMessage_DownloadCompleted:
        downloader_.OnCompletedMessage(wParam, lParam);
        return true;
    case eWindowsMessage_DownloadProgress:
        downloader_.OnProgressMessage(lParam);
        return true;
    case eWindowsMessage_UninstallThreadFinished:
        NotBuilt(L"the uninstallation");
        return true;
    case eWindowsMessage_UnpackProgress:
        RefreshProgress(lParam);
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
    bool forClient = runByClient_ || runByClientCritical_;
    if (!forClient && silentMode_ && !(runThreadDone_ && silentDone_))
        return; // a silent downloader waits for both ends
    if (silentMode_ && silentFinished_) {
        NotBuilt(L"the tray balloon of a finished silent download");
        return;
    }
    FinishAndQuit();
}

void CLogic::OnAssistantInitResult(plat::WPARAM processId, plat::LPARAM result) {
    (void)processId;
    Log(L"OnUserMessage: eWindowsMessage_LauncherAssistantInitResult", false);
    if (result != 0) {
        Log(L"::eLauncherCmd_Init", false);
        Log(base::Utf8ToWide(AssistantResultText(static_cast<int>(result), 0)));
        ShowError(101, kBoxFatal);
        return;
    }
    const char* name = AssistantCommandName(pendingAssistantCommand_);
    if (!name || pendingAssistantCommand_ == eLauncherCmd_Progress ||
        pendingAssistantCommand_ == eLauncherCmd_Cancel) {
        Log(L" .. error: unknown eLauncherCmd");
        ShowError(101, kBoxFatal);
        return;
    }
    Log(base::Utf8ToWide(std::string(name) + " .. OK"));
    NotBuilt(L"sending the command to the assistant");
}

void CLogic::OnAssistantWorkResult(plat::WPARAM command, plat::LPARAM result) {
    if (command == eLauncherCmd_Progress) {
        View().ShowWorkProgress(static_cast<int>(result));
        return;
    }
    Log(L"OnUserMessage: eWindowsMessage_LauncherAssistantWorkResult", false);
    const char* name =
        command >= 1 && command <= 8 ? AssistantCommandName(static_cast<int>(command)) : nullptr;
    if (!name) {
        Log(L"error: unknown eLauncherCmd");
        ShowError(101, kBoxFatal);
        return;
    }
    Log(base::Utf8ToWide(std::string(name) + AssistantResultText(static_cast<int>(result), 0)));
    bool ok = result == 0;
    switch (command) {
    case eLauncherCmd_Install:
        if (ok)
            NotBuilt(L"continuing the installation");
        else if (result == 6)
            View().ShowMessageBox(base::FormatW(GetString(109).c_str(), fullNameW_.c_str()),
                                  kBoxChooseAgain, kBoxButtonsOk, true, 0);
        else
            View().ShowMessageBox(GetString(108), kBoxChooseAgain, kBoxButtonsOk, true, 0);
        break;
    case eLauncherCmd_InstallKB:
        if (ok)
            NotBuilt(L"continuing after the platform update");
        else
            View().ShowMessageBox(GetString(116), kBoxFatal, kBoxButtonsOk, true, 0);
        break;
    case eLauncherCmd_Uninstall:
        if (result == 14)
            View().ShowMessageBox(GetString(108), kBoxChooseAgain, kBoxButtonsOk, true, 0);
        else
            NotBuilt(L"finishing the uninstallation");
        break;
    case eLauncherCmd_GetRights:
        if (ok)
            StartWork();
        else
            View().ShowMessageBox(GetString(70), kBoxFatal, kBoxButtonsOk, true, 0);
        break;
    case eLauncherCmd_IconUpdate:
        NotBuilt(ok ? L"updating the desktop icons and starting the download"
                    : L"starting the download");
        break;
    case eLauncherCmd_KillProcess:
        FinishAndQuit();
        break;
    case eLauncherCmd_SetLongName:
        if (ok) {
            NotBuilt(L"completing the move of the installation");
            FinishAndQuit();
        } else {
            View().ShowMessageBox(GetString(108), kBoxChooseAgain, kBoxButtonsOk, true, 0);
        }
        break;
    default:
        break;
    }
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
        (context == kBoxFatal || (context == kBoxChooseAgain && runMode_ != rmInstall))) {
        FinishAndQuit();
        return;
    }
    if (id == kBtnMboxRetry && (context == kBoxLicenseFailed || context == kBoxManifestFailed ||
                                context == kBoxUpdateFailed)) {
        // Back to the page and the failed request once more.
        attempts_ = 1;
        RetryStage(context == kBoxLicenseFailed ? 5 : context == kBoxManifestFailed ? 6 : 7);
        return;
    }
    if (id == kBtnMboxYes && context == kBoxExitDuringInstall) {
        NotBuilt(L"cancelling the assistant");
        FinishAndQuit();
        return;
    }
    NotBuilt(L"the wizard pages behind this button");
}

void CLogic::OnCBNSelChange(unsigned commandWord) {
    Log(L"CLogic::OnCBNSelChange: ", false);
    Log(base::FormatW(L"ID = %u", commandWord));
}
