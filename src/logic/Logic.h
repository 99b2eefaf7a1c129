#pragma once
// The launcher object: the phases of one launcher run and everything it
// drives on the window thread — configuration, run mode, client update data,
// the network side, the dialog with its message loop and dispatch, and the
// shutdown order. The update cycle (UpdateCycle.h) does the update's work
// and reports back through the host interface. Created and used by the entry
// point on the main thread, which becomes the window thread.

#include "assistant/AssistantChannel.h"
#include "assistant/AssistantRecord.h"
#include "assistant/MoveCommand.h"
#include "config/LauncherConfiguration.h"
#include "config/UrlSelector.h"
#include "logic/ClientLaunch.h"
#include "logic/ILauncherLogic.h"
#include "logic/LaunchSettings.h"
#include "logic/SkinWizardView.h"
#include "logic/UpdateCycle.h"
#include "logic/WizardView.h"
#include "net/Downloader.h"
#include "net/NetTransport.h"
#include "platform/NamedPipe.h"
#include "platform/OsVersion.h"
#include "platform/Window.h"
#include "skin/Dialog.h"
#include "skin/DrawnTrayIcon.h"
#include "skin/SkinFormNotify.h"
#include "skin/ThemeFonts.h"
#include "skin/TrayIcon.h"
#include "update/UninstallerThread.h"

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <set>
#include <string>
#include <vector>

class CLogImplW;

namespace tinyxml2 {
class XMLElement;
} // namespace tinyxml2

namespace update {
class CChangeJournal;
} // namespace update

class CLogic final : public ILauncherLogic,
                     private ISkinFormNotify,
                     private NetEx::IDownloaderNotify,
                     private logic::IUpdateCycleHost,
                     private logic::IWizardViewHost {
public:
    // How long the balloon of a finished silent download stays before it
    // counts as closed, where no notification area says so.
    static constexpr unsigned kBalloonTimeoutMs = 10000;

    CLogic();
    ~CLogic() override;

    // Phases driven by the entry point.
    bool Preinit() override;
    bool IsLauncherLogEnabled() const override { return configuration_.logLauncher; }
    void SetOsInfo(const plat::OsInfo& info) override { os_ = info; }
    void SetLog(CLogImplW* log) override;
    void SetCommandLineState(const CommandLineState& state) override;
    bool Init(int rc, const std::wstring& argument, LogicFailure* failure) override;
    bool Run(LogicFailure* failure) override;
    void Uninit() override;

    // Starts the work of the run once the dialog is shown.
    bool StartWork();
    // The dialog's callbacks.
    bool OnUserMessage(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam);
    bool OnTimer(std::uint64_t timerId);
    // The system's description of the code after the prefix, in a box.
    void ShowSystemError(const std::wstring& prefix, plat::ErrorCode code);
    // Starts the launcher file of that name from the installation folder with
    // "/restart" (and "/fast", "/auto" as set) and ends this run.
    // Starts the launcher file of that name (from the executable's folder,
    // or the one given) with "/restart" and ends this process.
    bool RestartAs(const std::wstring& fileName, const std::wstring& folder = {});
    // The first step of the start: the temporary copy replaces
    // "Launcher.exe" and ends; "Launcher.exe" removes the copy. False when
    // the start ends here.
    bool ReplaceLoader();
    // Attempts of the copy over "Launcher.exe" (tests shorten them).
    void SetCopyAttempts(int attempts) { copyAttempts_ = attempts; }
    // The launcher runs hidden as a silent downloader: an exit then waits for
    // both the client start and the end of the silent download.
    void SetSilentMode(bool on) { settings_.silentMode = on; }

    // Tests: the resource archive to load instead of the embedded one, and
    // a wizard view to use instead of the headless one.
    void SetResourceArchive(const std::string* archiveBytes) { archiveOverride_ = archiveBytes; }
    void SetWizardView(IWizardView* view) { viewOverride_ = view; }
    // Tests: the skinned wizard view even on the headless presenter (a run
    // without a display otherwise answers from its script).
    void UseSkinnedView(bool on) { skinnedWithoutDisplay_ = on; }
    // Tests: told of every page the skinned view shows.
    void SetPageObserver(std::function<void(int page)> observer) {
        pageObserver_ = std::move(observer);
    }
    // Tests: the dialog (its presenter takes the screenshots).
    CDialog& Dialog() { return dialog_; }
    // Tests: the installation folder of an update run instead of the
    // executable's own folder.
    void SetInstallFolder(const std::wstring& folder) { cycle_.SetInstallFolder(folder); }
    // Tests: the executable the assistant copy is made of (the running one
    // unless set).
    void SetAssistantSource(const std::wstring& path) { assistant_.SetSourceExecutable(path); }
    // Tests: the notification-area icon to use instead of the headless one,
    // the client's confirmation time, the balloon's time-out, and a missing
    // platform runtime with the address of its package.
    void SetTrayIcon(skin::ITrayIcon* tray) { trayOverride_ = tray; }
    void SetClientStartTimeout(int ms) { clientStartTimeoutMs_ = ms; }
    void SetBalloonTimeout(unsigned ms) { balloonTimeoutMs_ = ms; }
    void SetRuntimeMissing(const std::string& packageUrl);
    // Tests: the executable whose other processes count as launchers of
    // this one, whose folder a migration moves and which a move copies and
    // starts (the running one unless set).
    void SetLauncherExecutable(const std::wstring& path) { launcherExecutable_ = path; }
    // Tests: how the processes that run an executable are ended (every one
    // of the user's, through assistant::KillByPath, unless set); true when
    // none of them runs any more.
    void SetProcessEnder(std::function<bool(const std::wstring& path)> ender) {
        processEnder_ = std::move(ender);
    }

    // The client and the other launchers (LogicClient.cpp, LogicSilent.cpp).
    // Starts the client, or brings a running one forward.
    bool RunClient();
    // The client's main window by class and identity check; 0 when none.
    plat::HWND FindClientWindow();
    // Restores and raises the client window (or the one a search finds).
    void BringClientWindowForward(plat::HWND window);
    // A process runs the client's executable of the installation.
    bool ClientsRunning() const;
    void DecideSilentDownloadMode();
    void SetSilentDownload(bool on);
    void CloseOtherLaunchers(int target) override;
    // Ends every process of the user that runs the executable at `path`.
    bool EndProcessesOf(const std::wstring& path);
    void ShowMainWindow(bool show);

    // State read by tests.
    const logic::LaunchSettings& Settings() const override { return settings_; }
    const logic::CUpdateCycle& Cycle() const { return cycle_; }
    plat::HWND DialogWindow() const { return dialog_.Window(); }
    const config::CUrlSelector& UrlSelector() const { return urlSelector_; }
    int SilentMode() const { return settings_.silentDownloadMode; }
    bool OthersClosed() const { return othersClosed_; }
    bool TrayIconShown() const { return trayIconShown_; }
    bool MainWindowVisible() const { return mainWindowVisible_; }
    const std::wstring& ApplicationId() const { return applicationId_; }
    const std::wstring& ClientExtras() const { return clientExtras_; }
    const std::wstring& InstallFolder() const { return cycle_.InstallFolder(); }

private:
    // IUpdateCycleHost
    IWizardView& View() override;
    std::wstring GetString(int id) const override;
    plat::HWND Window() const override { return dialog_.Window(); }
    void SetRetryTimer(std::uint64_t id, std::uint32_t elapseMs) override;
    // The launch page, or the launch button: the client starts here.
    void ReachLaunchStep(const wchar_t* how) override;
    // Deletes the assistant copy and ends the message loop.
    void FinishAndQuit() override;
    plat::HWND SearchClientWindow() override { return FindClientWindow(); }
    void BringClientForward(plat::HWND window) override { BringClientWindowForward(window); }
    void SwitchSilentDownload(bool on) override { SetSilentDownload(on); }
    void OnServerInfoReady() override;
    void OnCheckFinished() override;
    void RunExternalApplications() override;
    void RefreshShortcuts() override;
    void OnTaskDownloaded() override;
    bool ApplyActions() override;
    void RestartThroughNewLauncher() override;

    // IWizardViewHost
    const std::wstring& LicenseText() const override { return licenseText_; }
    int ExternalAppCount() const override { return static_cast<int>(externalApps_.size()); }
    bool HasShortcutChanges() const override { return !shortcutEntries_.empty(); }
    const std::vector<config::LanguageEntry>& Languages() const override {
        return configuration_.languages.Entries();
    }
    const std::string& CurrentLanguage() const override {
        return configuration_.languages.CurrentCode();
    }
    // Switches to language entry `index` (LogicLanguage.cpp); with
    // `keepTexts` only the language controls follow.
    void ChangeLanguage(int index, bool keepTexts);

    // ISkinFormNotify
    void OnBtnClicked(int id) override;
    void OnCBNSelChange(unsigned commandWord) override;

    // IDownloaderNotify: the update's results go to the cycle.
    void fireCUDFileReceived(const CBuffer& body) override;
    void fireKBFilePartReceived(std::int32_t received, std::int32_t total) override;
    void fireKBFileReceived(const CBuffer& body) override;
    void fireLicenseReceived(const CBuffer& body) override;
    void fireUpdateXmlReceived(const CBuffer& body) override;
    void fireFilePartReceived(const NetEx::FilePartResult& part) override;
    void fireFileReceived() override;
    void fireFilePartProgress(std::uint32_t bytes, bool inFlight) override;
    void fireAffiliateUpdated() override;
    void fireNetError(std::uint32_t kind, std::uint32_t errorCode, std::uint32_t status,
                      const std::string& body) override;

    // Writes a line (or a part of one) to the launcher log.
    void Log(const std::wstring& text, bool newLine = true);
    void LogNarrow(const std::string& text, bool newLine = true);
    void BlankLine();
    bool ReadConfiguration(LogicFailure* failure);
    bool InitClientUpdateData(LogicFailure* failure);
    bool CreateDialog(LogicFailure* failure);
    // The controls the skinned wizard cannot work without; false (logged)
    // when the theme lacks one.
    bool CheckSkinControls();
    // The window's title: the configured taskbar caption, else the
    // language's name for the launcher.
    std::wstring CaptionText() const;
    // Saves the window's picture of the page just shown.
    void SaveScreenshot(int page);
    // Run's first steps: waiting for the clients of a critical run by the
    // client, the silent-download decision and the client window search;
    // false when the run ends before the window.
    bool RunBeforeWindow();
    void MessageLoop();
    // Empties the window thread's queue after the loop; what the messages
    // in it carry is freed unseen.
    void DropQueuedMessages();
    void OnExitMessage(plat::WPARAM reason);
    // The elevated assistant and the uninstallation (LogicAssistant.cpp).
    // Starts the assistant for a command; false when it could not be started
    // (the retry box is shown).
    bool RunAssistant(int command);
    void ShowAssistantStartFailure(int stringId);
    void OnAssistantInitResult(plat::WPARAM processId, plat::LPARAM result);
    void OnAssistantWorkResult(plat::WPARAM command, plat::LPARAM result);
    // The data block of the command in progress, with its log line.
    bool FillDataForAssistant(assistant::AssistantData* data);
    // Sends the cancel code to a running assistant and waits for its end.
    bool CancelAssistant();
    // The installation folder the commands work on.
    std::wstring AssistantFolder() const;
    // The uninstallation the user confirmed: through the assistant, or for
    // a portable installation by the uninstaller thread.
    void StartUninstall();
    void FinishUninstall(bool success);
    void OnMessageBoxButton(int id);
    // The page the wizard shows in this mode for a page of the multi-page
    // wizard (single-page mode numbers a few of them differently).
    int PageNumber(int page) const;
    void ShowError(int stringId, int context);
    void ShowErrorText(const std::wstring& text, int context);

    // The wizard's buttons of the install and uninstall flows
    // (LogicButtons.cpp).
    void OnAgree();
    void OnNext();
    void OnNextIcons();
    void OnExternalAppsPage(int step);
    void OnChangeFolder();
    void OnLaunch();
    void OnCancelButton();
    // The close button, and a request to end from outside.
    void OnCloseRequest();
    // The message box's Cancel.
    void OnBoxCancel();
    void ToggleCheck(int controlId, bool* flag);

    // The client start and its results (LogicClient.cpp).
    std::wstring ClientPath() const;
    void OnClientStarted();
    void OnClientRunFailed();
    // The silent download (LogicSilent.cpp). The launcher's own executable
    // (tests set another): other launchers are processes of it, and a
    // folder move runs a copy of it.
    std::wstring LauncherExecutable() const;
    void AskLauncherSilentState(plat::HWND window);
    void AnswerSilentDownload();
    void OnShowBeforeClose();
    // The notification-area icon (LogicTray.cpp).
    skin::ITrayIcon& Tray();
    // Picks the icon for the next showing: the drawn one while the display
    // has a notification area, else the headless one.
    void ChooseTray();
    void ShowTrayIcon(bool show);
    void ShowTrayBalloon(bool show);
    void SetTrayIconTooltip();
    void OnTrayMessage(plat::LPARAM notification);
    // The progress in the tooltip while downloading (silently).
    void ShowTrayProgress(double percent) override;

    // Serving a client's "/download" requests (LogicDownloadService.cpp).
    void OpenClientPipe();
    void OnNewTask(plat::WPARAM taskId, plat::LPARAM bytes);
    void StartNextTask();
    void AnswerClient(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam);

    // Installation (LogicInstall.cpp).
    bool ChooseInstallFolder(const std::wstring& picked);
    bool CheckWritable(const std::wstring& folder) const;
    bool CheckRegistryWritable(const std::wstring& keyPath);
    // The registry and folder access of an update or download run; false
    // when the work waits for the rights (or cannot start).
    bool CheckRights();
    void BeginInstallation();
    // False when the installation waits for the assistant or stopped.
    bool StartInstall();
    bool PrepareGuestFolder(const std::wstring& folder);
    void PrepareInstalledFolder();
    void UpdateDesktopShortcuts(bool allShortcuts);
    void CreateGuestShortcuts();
    // Shows the uninstall question of "/u" and "/ug".
    void ShowUninstallQuestion();
    void SetApplicationId();
    // The installation's index in the launcher's folder list.
    int InstallationIndex() const;
    void SaveRuntimePackage(const CBuffer& body);
    // Uninstallation and the move (LogicUninstall.cpp).
    bool RunTemporaryUninstaller();
    // The portable installation's folder may be uninstalled; `why` says
    // what is wrong otherwise.
    bool MayUninstallPortable(const std::wstring& folder, std::string* why) const;
    void RestartFromNewFolder();
    // The change actions and the migration (LogicActions.cpp).
    // The client executable's path inside the installation folder.
    std::wstring ClientFileName() const;
    // True when a copy of the launcher was started to move the folder.
    bool ApplyLongNameAction(const tinyxml2::XMLElement* actions, update::CChangeJournal& journal);
    bool StartMoveProcess(const assistant::MoveRequest& request);
    void MovePreferences(const std::wstring& newShortName, const std::wstring& oldShortName);
    // True when the installation moves away from an earlier identity: the
    // launcher ends instead of starting.
    bool RunMigration();
    // The moving copy records the finished move in the new folder's journal.
    void RecordMoveInJournal(const std::wstring& folder);
    // A failed move: the launcher of the folder that stayed starts with
    // "/skiptest", which tries no move in its run.
    bool RestartOldFolder();
    // Timers beyond the retries.
    bool OnOwnTimer(std::uint64_t timerId);
    bool StartNetwork();
    void StopNetwork();
    // A step whose part of the launcher is not built yet: logged plainly.
    void NotBuilt(const wchar_t* what);

    static bool UserMessageThunk(void* context, std::uint32_t message, plat::WPARAM wParam,
                                 plat::LPARAM lParam);
    static bool TimerThunk(void* context, std::uint64_t timerId);
    // Runs on the termination watcher's thread: only posts.
    static void TerminationThunk(void* context);

    plat::OsInfo os_;
    CLogImplW* log_ = nullptr;
    const std::string* archiveOverride_ = nullptr;
    IWizardView* viewOverride_ = nullptr;
    std::unique_ptr<IWizardView> headlessView_;
    std::unique_ptr<logic::CSkinWizardView> skinView_;
    bool skinnedWithoutDisplay_ = false;
    std::function<void(int page)> pageObserver_;
    // Where each shown page's picture goes (empty: nowhere).
    std::wstring screenshotFolder_;
    int screenshotCount_ = 0;

    config::LauncherConfiguration configuration_;
    logic::LaunchSettings settings_;
    config::CUrlSelector urlSelector_;

    // Network; the transport outlives the downloader that uses it, and the
    // downloader the cycle.
    std::unique_ptr<NetEx::CNetTransport> transport_;
    NetEx::CDownloader downloader_;
    bool networkStarted_ = false;
    logic::CUpdateCycle cycle_;

    // Window and exit bookkeeping.
    CDialog dialog_;
    std::wstring caption_;
    bool runThreadDone_ = false;
    bool silentDone_ = false;
    bool silentFinished_ = false;
    bool quitLoop_ = false;
    bool initFinished_ = false;
    bool exiting_ = false;
    // A request to end came from outside: the close button quits at once.
    std::atomic<bool> terminating_{false};

    // The client and the other launchers.
    logic::CClientStartWatcher clientWatcher_;
    int clientStartTimeoutMs_ = logic::kClientStartTimeoutMs;
    int copyAttempts_ = 101; // of the copy over "Launcher.exe"
    std::wstring clientExtras_;
    std::wstring applicationId_;
    plat::HWND clientWindow_ = 0;
    bool clientThreadRunning_ = false;
    bool clientRunFailed_ = false;
    std::wstring launcherExecutable_;
    std::function<bool(const std::wstring&)> processEnder_;
    std::uint32_t otherLauncherPid_ = 0;
    bool otherLauncherIdle_ = true;
    bool othersClosed_ = true;
    bool mainWindowVisible_ = false;
    // The notification-area icon.
    skin::ITrayIcon* trayOverride_ = nullptr;
    std::unique_ptr<skin::ITrayIcon> headlessTray_;
    std::unique_ptr<skin::CDrawnTrayIcon> drawnTray_;
    bool drawnTrayTried_ = false;
    skin::ITrayIcon* activeTray_ = nullptr; // the pick of ChooseTray
    // The theme's own fonts, registered from init until uninit.
    std::unique_ptr<CThemeFonts> themeFonts_;
    bool trayIconShown_ = false;
    std::wstring trayText_;
    unsigned balloonTimeoutMs_ = kBalloonTimeoutMs;

    // A "/download" run: the client's pipe and its tasks.
    struct ClientTask {
        plat::WPARAM id = 0;
        std::set<std::wstring> packages;
        std::string text;
    };
    plat::NamedPipe clientPipe_;
    std::deque<ClientTask> tasks_;
    bool taskLoading_ = false;

    // Installation.
    std::wstring userFolder_; // picked by the user; wins over the proposed one
    std::vector<assistant::AssistantIcon> shortcutEntries_;
    struct ExternalAppChoice {
        std::wstring name, exec, help, parameters;
        bool selected = true;
        bool started = false;
    };
    std::vector<ExternalAppChoice> externalApps_;
    int externalPage_ = 0;
    bool licenseNeeded_ = false;
    std::wstring licenseText_;

    // The elevated assistant and the portable uninstaller.
    assistant::CAssistantChannel assistant_;
    int pendingAssistantCommand_ = 0;
    update::CUninstallerThread uninstaller_;
};
