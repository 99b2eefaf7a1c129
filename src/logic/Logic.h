#pragma once
// The launcher object: the phases of one launcher run and everything it
// drives on the window thread — configuration, run mode, client update data,
// the network side, the dialog with its message loop and dispatch, and the
// shutdown order. The update cycle (UpdateCycle.h) does the update's work
// and reports back through the host interface. Created and used by the entry
// point on the main thread, which becomes the window thread.

#include "assistant/AssistantChannel.h"
#include "config/LauncherConfiguration.h"
#include "config/UrlSelector.h"
#include "logic/ILauncherLogic.h"
#include "logic/LaunchSettings.h"
#include "logic/UpdateCycle.h"
#include "logic/WizardView.h"
#include "net/Downloader.h"
#include "net/NetTransport.h"
#include "platform/OsVersion.h"
#include "platform/Window.h"
#include "skin/Dialog.h"
#include "skin/SkinFormNotify.h"
#include "update/UninstallerThread.h"

#include <cstdint>
#include <memory>
#include <string>

class CLogImplW;

class CLogic final : public ILauncherLogic,
                     private ISkinFormNotify,
                     private NetEx::IDownloaderNotify,
                     private logic::IUpdateCycleHost {
public:
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
    bool RestartAs(const std::wstring& fileName);
    // The launcher runs hidden as a silent downloader: an exit then waits for
    // both the client start and the end of the silent download.
    void SetSilentMode(bool on) { settings_.silentMode = on; }

    // Tests: the resource archive to load instead of the embedded one, and
    // a wizard view to use instead of the headless one.
    void SetResourceArchive(const std::string* archiveBytes) { archiveOverride_ = archiveBytes; }
    void SetWizardView(IWizardView* view) { viewOverride_ = view; }
    // Tests: the installation folder of an update run instead of the
    // executable's own folder.
    void SetInstallFolder(const std::wstring& folder) { cycle_.SetInstallFolder(folder); }
    // Tests: the executable the assistant copy is made of (the running one
    // unless set).
    void SetAssistantSource(const std::wstring& path) { assistant_.SetSourceExecutable(path); }

    // State read by tests.
    const logic::LaunchSettings& Settings() const { return settings_; }
    const logic::CUpdateCycle& Cycle() const { return cycle_; }
    plat::HWND DialogWindow() const { return dialog_.Window(); }
    const config::CUrlSelector& UrlSelector() const { return urlSelector_; }

private:
    // IUpdateCycleHost
    IWizardView& View() override;
    std::wstring GetString(int id) const override;
    plat::HWND Window() const override { return dialog_.Window(); }
    void SetRetryTimer(std::uint64_t id, std::uint32_t elapseMs) override;
    // The launch page, or the launch button: the client would start here.
    void ReachLaunchStep(const wchar_t* how) override;
    // Deletes the assistant copy and ends the message loop.
    void FinishAndQuit() override;

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
    bool SearchClientWindow();
    bool CreateDialog(LogicFailure* failure);
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
    void ShowError(int stringId, int context);
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

    // The elevated assistant and the portable uninstaller.
    assistant::CAssistantChannel assistant_;
    int pendingAssistantCommand_ = 0;
    update::CUninstallerThread uninstaller_;
};
