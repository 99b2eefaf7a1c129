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
#include "logic/SilentDownload.h"
#include "logic/WizardControls.h"
#include "platform/FileSystem.h"
#include "platform/HeadlessPresenter.h"
#include "platform/PngFile.h"
#include "platform/Presenter.h"
#include "platform/Process.h"
#include "platform/Termination.h"

#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

// How often a critical run by the client looks for running clients, and how
// long it waits between the looks.
constexpr int kClientCloseChecks = 20;
constexpr auto kClientCloseWait = std::chrono::milliseconds(1000);
// The scripted answers of a headless run.
constexpr const char* kAnswersVariable = "LAUNCHER_HEADLESS_ANSWERS";
// The folder each shown page's picture is saved to (a demo's screenshots).
constexpr const char* kScreenshotsVariable = "LAUNCHER_SCREENSHOTS";
// The Escape key's virtual-key code.
constexpr plat::WPARAM kEscapeKey = 0x1B;

} // namespace

IWizardView& CLogic::View() {
    if (viewOverride_)
        return *viewOverride_;
    if (skinView_)
        return *skinView_;
    // A window on a display gets the skinned wizard, which a person answers;
    // without a display the run answers from its script.
    const bool display =
        dialog_.Presenter() && !dynamic_cast<plat::HeadlessPresenter*>(dialog_.Presenter());
    if (!headlessView_ && dialog_.IsCreated() && (display || skinnedWithoutDisplay_)) {
        logic::IWizardViewHost& host = *this;
        skinView_ = std::make_unique<logic::CSkinWizardView>(dialog_, host, log_);
        std::function<void(int)> observer = pageObserver_;
        if (const char* folder = std::getenv(kScreenshotsVariable)) {
            // Each page's picture is saved once it is painted: the message
            // comes after the paint.
            screenshotFolder_ = base::Utf8ToWide(folder);
            observer = [this, inner = pageObserver_](int page) {
                if (inner)
                    inner(page);
                plat::PostMessage(dialog_.Window(), eWindowsMessage_SaveScreenshot,
                                  static_cast<plat::WPARAM>(page), 0);
            };
        }
        skinView_->SetPageObserver(observer);
        // A visible run nobody clicks in (a demo) may answer from a script.
        if (const char* script = std::getenv(kAnswersVariable)) {
            WizardAnswers answers;
            std::wstring bad;
            if (!WizardAnswers::Parse(base::Utf8ToWide(script), &answers, &bad))
                Log(L"Scripted answers: not understood: " + bad);
            else
                skinView_->SetAnswers(answers, [this](int controlId) { dialog_.Click(controlId); });
        }
        return *skinView_;
    }
    if (!headlessView_) {
        auto view =
            std::make_unique<CRecordingWizardView>([this](int id) { return GetString(id); }, log_);
        // Nobody can click in a run without a window: the answers come from
        // a script, and what it leaves open is answered so that the run ends.
        WizardAnswers answers;
        if (const char* script = std::getenv(kAnswersVariable)) {
            std::wstring bad;
            if (!WizardAnswers::Parse(base::Utf8ToWide(script), &answers, &bad))
                Log(L"Headless answers: not understood: " + bad);
        }
        view->SetAnswers(answers, [this](int controlId) { dialog_.Click(controlId); });
        headlessView_ = std::move(view);
    }
    return *headlessView_;
}

bool CLogic::UserMessageThunk(void* context, std::uint32_t message, plat::WPARAM wParam,
                              plat::LPARAM lParam) {
    return static_cast<CLogic*>(context)->OnUserMessage(message, wParam, lParam);
}

void CLogic::TerminationThunk(void* context) {
    auto* self = static_cast<CLogic*>(context);
    self->terminating_.store(true);
    self->dialog_.Click(logic::kBtnCaptionClose);
}

bool CLogic::TimerThunk(void* context, std::uint64_t timerId) {
    return static_cast<CLogic*>(context)->OnTimer(timerId);
}

bool CLogic::RunBeforeWindow() {
    if (settings_.runByClient && settings_.runByClientCritical) {
        BlankLine();
        Log(L"Run by client:");
        Log(L"  .. waiting for clients closing...");
        bool running = true;
        for (int check = 0; check < kClientCloseChecks; ++check) {
            running = ClientsRunning();
            if (!running)
                break;
            std::this_thread::sleep_for(kClientCloseWait);
        }
        Log(running ? L"    .. not all clients closed, exit"
                    : L"    .. all clients closed, continue run launcher");
        BlankLine();
        if (running)
            return false;
    }
    DecideSilentDownloadMode();
    if (settings_.silentDownloadMode == logic::sdmExit) {
        Log(L"run(): SilentDownloadMode == sdmExit");
        return false;
    }
    if (settings_.debugMode || configuration_.multiRun || settings_.runMode == rmDownload)
        return true;
    // A launcher that finds the client running brings it forward instead
    // (its own search comes after the check, unless another launcher
    // downloads silently or this one installs).
    if (settings_.silentDownloadMode != logic::sdmFull || settings_.runMode == rmInstall) {
        const plat::HWND window = FindClientWindow();
        if (window != 0) {
            runThreadDone_ = true;
            plat::ShowWindow(window, plat::SW_RESTORE);
            plat::SetForegroundWindow(window);
            return false;
        }
    }
    return true;
}

bool CLogic::Run(LogicFailure* failure) {
    if (!RunBeforeWindow())
        return true;

    caption_ = CaptionText();
    dialog_.SetUserMessageCallback(this, &CLogic::UserMessageThunk);
    dialog_.SetTimerCallback(this, &CLogic::TimerThunk);
    if (settings_.debugMode) {
        const plat::FileVersion v = plat::GetOwnFileVersion();
        dialog_.SetVersionText(
            base::FormatW(L"v%u.%u.%u.%u", v.major, v.minor, v.build, v.revision));
    }
    Log(L"Set dialog title: ", false);
    Log(caption_);
    if (!CreateDialog(failure))
        return false;
    if (!CheckSkinControls()) {
        failure->kind = LogicFailure::Kind::Text;
        failure->text = "Check skin controls failed";
        return false;
    }

    View().SetCaption(caption_);
    if (settings_.singlePageMode) {
        View().SetCheck(logic::kCheckSingleIconDesktop, settings_.iconDesktop);
        View().SetCheck(logic::kCheckSingleIconPrograms, settings_.iconPrograms);
    }
    View().InitTextControls();
    // The language choice is the first installation's only.
    View().ShowControl(logic::kComboLanguage, settings_.runMode == rmInstall);
    for (std::size_t i = 0;
         i < configuration_.languages.Entries().size() &&
         logic::kBtnLanguageFirst + static_cast<int>(i) <= logic::kBtnLanguageLast;
         ++i)
        View().ShowControl(logic::kBtnLanguageFirst + static_cast<int>(i),
                           settings_.runMode == rmInstall);
    Log(L"Dialog skin controls .. OK");
    dialog_.SetNotify(this);
    const bool folderShown =
        settings_.runMode == rmSetLongName ||
        (settings_.runMode == rmUninstaller &&
         (settings_.runCommand == rcUninstallFrom || settings_.runCommand == rcUninstallGuest));
    View().SetText(settings_.singlePageMode ? logic::kFolderTextSingle : logic::kFolderText,
                   folderShown ? settings_.workFolder : std::wstring());
    View().ShowFirstPage(settings_.runMode == rmSetLongName ? 7 : 2);
    if (settings_.runMode != rmInstall)
        SetApplicationId();
    if (settings_.ForClient()) {
        // The client runs already: the launcher works hidden behind it.
        SetSilentDownload(true);
    } else {
        dialog_.Show(true);
        plat::ShowWindow(dialog_.Window(), plat::SW_SHOW);
        mainWindowVisible_ = true;
    }

    if (!settings_.ucrtPresent) {
        if (!settings_.kbUrl.empty())
            View().ShowConfirm(113, kBoxPlatformUpdate, kBoxButtonsYesNo, false);
        else
            View().ShowMessageBox(GetString(114), kBoxPlatformUpdate, kBoxButtonsOk, false, 2);
        View().SetControlText(logic::kBtnMboxLink, 117);
    } else {
        initFinished_ = true;
        // An update needs write access to its folder and registry keys; the
        // assistant gives them first when they are missing.
        if (CheckRights())
            StartWork();
    }

    // A request to end from outside closes the window like its close button,
    // so that uninit keeps what was downloaded.
    plat::SetTerminationCallback(&CLogic::TerminationThunk, this);
    MessageLoop();
    plat::SetTerminationCallback(nullptr, nullptr);
    clientWatcher_.Cancel();
    dialog_.Destroy();
    return true;
}

std::wstring CLogic::CaptionText() const {
    std::string caption;
    return configuration_.configDoc.Root() &&
                   config::QueryText(configuration_.configDoc.Root(), config::keys::kTaskbarCaption,
                                     &caption)
               ? base::Utf8ToWide(caption)
               : GetString(2);
}

bool CLogic::CheckSkinControls() {
    // Only the skinned wizard needs the controls; a run without a display
    // answers from its script.
    if (viewOverride_ || !dynamic_cast<logic::CSkinWizardView*>(&View()))
        return true;
    struct Required {
        int id;
        bool always;
        const wchar_t* message;
    };
    static const Required kRequired[] = {
        {logic::kMboxList, true, L"Failed create mbox listbox"},
        {logic::kTermsList, false, L"Failed create terms listbox"},
        {logic::kErrorsList, false, L"Failed create errors listbox"},
        {logic::kFolderText, false, L"Failed"},
        {logic::kDownloadInfo, false, nullptr},
        {logic::kProgressInfo, false, nullptr},
        {logic::kDownloadBar, false, nullptr},
        {logic::kBtnMboxYes, true, nullptr},
        {logic::kBtnMboxNo, true, nullptr},
        {logic::kBtnMboxOk, true, nullptr},
        {logic::kBtnMboxRetry, true, nullptr},
        {logic::kBtnMboxCancel, true, nullptr},
    };
    for (const Required& required : kRequired) {
        if (!required.always && settings_.singlePageMode)
            continue;
        if (dialog_.FindControl(required.id))
            continue;
        Log(required.message ? std::wstring(required.message)
                             : base::FormatW(L"Missing skin control %d", required.id));
        return false;
    }
    return true;
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
    // The step text's language string is a format: it goes through the
    // checked formatter like every other.
    dialog_.SetStepTextFormatter([](const std::wstring& format, int page, int total) {
        std::wstring text;
        logic::FormatLangArgs(format,
                              {logic::LangArg{logic::LangArg::Integer, page, 0, {}},
                               logic::LangArg{logic::LangArg::Integer, total, 0, {}}},
                              &text);
        return text;
    });
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
            ShowMainWindow(!mainWindowVisible_);
            continue;
        }
        // Escape on the single install page ends the launcher (an assistant
        // at work is told to stop first).
        if (msg.message == plat::WM_KEYDOWN && msg.wParam == kEscapeKey &&
            settings_.singlePageMode && settings_.runMode != rmSetLongName && dialog_.IsCreated()) {
            Log(L"Escape pressed: exit");
            CancelAssistant();
            FinishAndQuit();
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
    exiting_ = true;
    ShowTrayIcon(false);
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
    if (exiting_)
        return true;
    if (timerId == eTimer_BalloonTimeout || timerId == eTimer_ClientWatch)
        return OnOwnTimer(timerId);
    if (timerId < eRetryTimer_ClientUpdateData || timerId > eRetryTimer_UpdateFile)
        return false;
    dialog_.KillTimer(timerId);
    return cycle_.OnRetryTimer(timerId);
}

void CLogic::SetRetryTimer(std::uint64_t id, std::uint32_t elapseMs) {
    dialog_.SetTimer(id, elapseMs);
}

bool CLogic::OnOwnTimer(std::uint64_t timerId) {
    dialog_.KillTimer(timerId);
    if (timerId == eTimer_BalloonTimeout) {
        // No notification area said that the balloon went: it has now.
        OnTrayMessage(skin::kTrayBalloonTimeout);
        return true;
    }
    if (!plat::IsWindow(settings_.clientWindow)) {
        Log(L"The client that asked for downloads has ended");
        FinishAndQuit();
        return true;
    }
    dialog_.SetTimer(eTimer_ClientWatch, 1000);
    return true;
}

bool CLogic::OnUserMessage(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
    // A launcher on its way out answers nothing more.
    if (exiting_)
        return true;
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
        OnClientRunFailed();
        return true;
    case eWindowsMessage_NewTask:
        OnNewTask(wParam, lParam);
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
        OnTrayMessage(lParam);
        return true;
    case eWindowsMessage_LeaveSilentDownload:
        SetSilentDownload(false);
        return true;
    case eWindowsMessage_SilentDownloadRequest:
        AnswerSilentDownload();
        return true;
    case eWindowsMessage_ShowBeforeClose:
        OnShowBeforeClose();
        return true;
    case eWindowsMessage_SaveScreenshot:
        SaveScreenshot(static_cast<int>(wParam));
        return true;
    default:
        return false;
    }
}

void CLogic::OnExitMessage(plat::WPARAM reason) {
    if (reason == 0) {
        Log(L"Exit .. runThread");
        OnClientStarted();
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
        // The balloon says the new version waits; its click or time-out
        // ends the launcher.
        ShowTrayBalloon(true);
        return;
    }
    FinishAndQuit();
}

void CLogic::SaveScreenshot(int page) {
    if (screenshotFolder_.empty() || !dialog_.Surface())
        return;
    plat::CreateDirectoryTree(screenshotFolder_);
    const std::wstring path = plat::JoinPath(
        screenshotFolder_, base::FormatW(L"%02d-page%02d.png", ++screenshotCount_, page));
    if (plat::SavePng(dialog_.Surface()->Picture(), path))
        Log(L"Screenshot: " + path);
    else
        Log(L"Screenshot failed: " + path);
}

void CLogic::OnCBNSelChange(unsigned commandWord) {
    Log(L"CLogic::OnCBNSelChange: ", false);
    if ((commandWord & 0xFFFF) != logic::kComboLanguage) {
        Log(base::FormatW(L"ID = %u", commandWord));
        return;
    }
    Log(L"ID_CMB_LANGUAGE");
    ChangeLanguage(View().SelectedLanguage(), false);
}
