#pragma once
// The launcher object: the state of one launcher run and everything it drives
// on the window thread — configuration, run mode, client update data, the
// dialog and its message loop, and the shutdown order. Created and used by the
// entry point on the main thread, which becomes the window thread.

#include "config/LauncherConfiguration.h"
#include "config/UrlSelector.h"
#include "logic/ILauncherLogic.h"
#include "logic/WizardView.h"
#include "net/Downloader.h"
#include "net/NetTransport.h"
#include "platform/OsVersion.h"
#include "platform/Window.h"
#include "skin/Dialog.h"
#include "skin/SkinFormNotify.h"
#include "update/CheckerThread.h"
#include "update/UnpackerThread.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class CLogImplW;

class CLogic final : public ILauncherLogic,
                     public ISkinFormNotify,
                     public NetEx::IDownloaderNotify {
public:
    CLogic();
    ~CLogic() override;

    // Phases driven by the entry point.
    bool Preinit() override;
    bool IsLauncherLogEnabled() const override { return configuration_.logLauncher; }
    void SetOsInfo(const plat::OsInfo& info) override { os_ = info; }
    void SetLog(CLogImplW* log) override { log_ = log; }
    void SetCommandLineState(const CommandLineState& state) override;
    bool Init(int rc, const std::wstring& argument, LogicFailure* failure) override;
    bool Run(LogicFailure* failure) override;
    void Uninit() override;

    // Starts the work of the run once the dialog is shown.
    bool StartWork();
    // The dialog's callbacks.
    bool OnUserMessage(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam);
    bool OnTimer(std::uint64_t timerId);
    void OnBtnClicked(int id) override;
    void OnCBNSelChange(unsigned commandWord) override;

    // The downloader's results, on the window thread.
    void fireCUDFileReceived(const CBuffer& body) override;
    void fireKBFilePartReceived(std::int32_t received, std::int32_t total) override;
    void fireKBFileReceived(const CBuffer& body) override;
    void fireLicenseReceived(const CBuffer& body) override;
    void fireUpdateXmlReceived(const CBuffer& body) override;
    void fireFilePartReceived(const CBuffer& body, bool failed) override;
    void fireFileReceived() override;
    void fireFilePartProgress(std::uint32_t bytes, bool inFlight) override;
    void fireAffiliateUpdated() override;
    void fireNetError(std::uint32_t kind, std::uint32_t errorCode, std::uint32_t status,
                      const std::string& body) override;
    // Requests the update manifest from the selected server.
    bool RequestManifest();
    // A file request whose answer is not what was asked for: counted as a
    // failed attempt, logged and retried after a second.
    void ReportUnexpectedAnswer();
    // The system's description of the code after the prefix, in a box.
    void ShowSystemError(const std::wstring& prefix, plat::ErrorCode code);
    // A file that could not be written, with the code and its description.
    void ShowFileError(const std::string& path, plat::ErrorCode code);
    // Deletes the assistant copy and ends the message loop.
    void FinishAndQuit();
    // Starts the launcher file of that name from the installation folder with
    // "/restart" (and "/fast", "/auto" as set) and ends this run.
    bool RestartAs(const std::wstring& fileName);
    // The launcher runs hidden as a silent downloader: an exit then waits for
    // both the client start and the end of the silent download.
    void SetSilentMode(bool on) { silentMode_ = on; }

    // Tests: the resource archive to load instead of the embedded one, and
    // a wizard view to use instead of the headless one.
    void SetResourceArchive(const std::string* archiveBytes) { archiveOverride_ = archiveBytes; }
    void SetWizardView(IWizardView* view) { viewOverride_ = view; }
    // Tests: the installation folder of an update run instead of the
    // executable's own folder.
    void SetInstallFolder(const std::wstring& folder) { installFolder_ = folder; }

    // State read by the flows and by tests.
    int Attempts() const { return attempts_; }
    const std::wstring& LastErrorText() const { return lastErrorText_; }
    const std::string& ManifestText() const { return manifestText_; }
    const std::wstring& InstallFolder() const { return installFolder_; }
    const update::DownloadQueue& Queue() const { return queue_; }
    const logic::DownloadCounters& Counters() const { return counters_; }
    std::uint32_t UnpackTotal() const { return unpackTotal_; }
    NetEx::CDownloader& Downloader() { return downloader_; }
    int RunMode() const { return runMode_; }
    bool NeedNetwork() const { return needNetwork_; }
    bool Portable() const { return portable_; }
    bool Fast() const { return fast_; }
    bool DebugMode() const { return debugMode_; }
    int FormSize() const { return formSize_; }
    const std::wstring& WorkFolder() const { return workFolder_; }
    const std::wstring& ArgumentText() const { return argumentText_; }
    const std::string& UpdateUrl() const { return updateUrl_; }
    const std::string& ClientCommand() const { return clientCommand_; }
    const std::string& KbUrl() const { return kbUrl_; }
    bool AutoMode() const { return autoMode_; }
    bool IconDesktop() const { return iconDesktop_; }
    bool IconPrograms() const { return iconPrograms_; }
    bool IconProgramsFolder() const { return iconProgramsFolder_; }
    const std::string& UserAgentHeader() const { return userAgentHeader_; }
    plat::HWND DialogWindow() const { return dialog_.Window(); }
    bool Exiting() const { return exiting_; }
    std::wstring GetString(int id) const;
    IWizardView& View();
    config::CUrlSelector& UrlSelector() { return urlSelector_; }

    // Writes a line (or a part of one) to the launcher log.
    void Log(const std::wstring& text, bool newLine = true);
    void LogNarrow(const std::string& text, bool newLine = true);

private:
    bool ReadConfiguration(LogicFailure* failure);
    bool InitClientUpdateData(LogicFailure* failure);
    bool SearchClientWindow();
    bool CreateDialog(LogicFailure* failure);
    void MessageLoop();
    // Empties the window thread's queue after the loop; completed requests
    // in it are destroyed unseen.
    void DropQueuedMessages();
    void OnExitMessage(plat::WPARAM reason);
    void OnAssistantInitResult(plat::WPARAM processId, plat::LPARAM result);
    void OnAssistantWorkResult(plat::WPARAM command, plat::LPARAM result);
    void OnMessageBoxButton(int id);
    void ShowError(int stringId, int context);
    bool StartNetwork();
    void StopNetwork();
    // The retry of a failed request's own stage; false when its attempts ran out.
    bool RetryStage(int stage);
    void ResumeStep();
    // Downloads the client update data from the next data-update address, or
    // ends at the server-address page or the network failure page.
    void RefreshClientUpdateData();
    // The update cycle (LogicCheck.cpp, LogicDownload.cpp, LogicUnpack.cpp).
    void StartCheck();
    void OnCheckThreadFinished(plat::WPARAM document, plat::LPARAM status);
    void OnServerInfoReady();
    // The installation folder exists and the check may compare it.
    void PrepareInstalledFolder();
    // Whether the client may run now and what that means for the download;
    // false when the run ends here.
    bool DecideClientBeforeDownload();
    void processStartDownload();
    // Resumes what "tmp" holds; true when a package went to the unpacker.
    bool PrepareQueue();
    void HandOverToUnpacker(update::DownloadTask* task, bool fromTmp, bool damaged);
    void StartNextDownload();
    bool ContinueDownload();
    void OnUnpackThreadFinished(plat::LPARAM result);
    void processAfterDownload();
    // The change actions; true when they ask the launcher to end.
    bool ApplyActions();
    void RefreshProgress(std::int64_t unpackedBytes);
    // The client's process runs from the installation folder.
    bool ClientRunning() const;
    std::wstring TempFileOf(const update::DownloadTask& task) const;
    // The launch page, or the launch button: the client would start here.
    void ReachLaunchStep(const wchar_t* how);
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

    // Command line.
    std::wstring argumentText_;
    std::wstring uninstallPath_;
    int runCommand_ = rcNone;
    bool restart_ = false;
    bool fast_ = false;
    bool runByClient_ = false;
    bool runByClientCritical_ = false;
    bool autoMode_ = false;
    plat::HWND clientWindow_ = 0; // the client a "/download" run reports to

    // Configuration.
    config::LauncherConfiguration configuration_;
    std::string shortName_, fullName_, iconName_;
    std::wstring fullNameW_;
    std::string clientProcess_, clientCommand_;
    std::wstring clientWindowClass_;
    std::string licensePath_ = "/client/license";
    std::string manifestName_ = "update.xml";
    std::string manifestRName_ = "update.rxml";
    std::vector<config::Migration> migrations_;
    bool skipIconsPage_ = false;
    bool silentDownload_ = true;
    bool progressFromZero_ = false;
    bool iconDesktop_ = true;
    bool iconPrograms_ = true;
    bool iconProgramsFolder_ = false;
    bool backNextArrowsInText_ = true;
    bool pageNumeration_ = true;
    bool singlePageMode_ = false;
    std::string updateUrl_;
    std::string userAgentHeader_;
    std::wstring caption_;

    // Run.
    int runMode_ = rmUnknown;
    bool needNetwork_ = false;
    bool networkStarted_ = false;
    bool portable_ = false;
    bool debugMode_ = false;
    int bitness_ = 1;
    int formSize_ = 0;
    std::wstring workFolder_;
    bool ucrtPresent_ = true;
    std::string kbUrl_;
    config::CUrlSelector urlSelector_;

    // Network; the transport outlives the downloader that uses it.
    std::unique_ptr<NetEx::CNetTransport> transport_;
    NetEx::CDownloader downloader_;
    // A request is tried this often on one server before the next server.
    static constexpr int kMaxAttempts = 5;
    int attempts_ = 0;   // failed attempts of the current request on this server
    int resumeStep_ = 0; // 5 license, 6 manifest, 7 file download, 9 assistant command
    std::wstring lastErrorText_;
    std::string manifestText_;

    // Update cycle. The queue and the counters are declared before the
    // threads that write into them.
    std::wstring installFolder_;
    std::string oldManifestText_;
    update::DownloadQueue queue_;
    logic::DownloadCounters counters_;
    std::uint32_t unpackTotal_ = 0;
    bool launcherOnly_ = false;
    bool newLauncherReady_ = false;
    std::wstring launcherVersion_;
    const update::CManifestDocument* parsedManifest_ = nullptr;
    update::CUnpackerThread unpacker_;
    update::CCheckerThread checker_;

    // Window and exit bookkeeping.
    CDialog dialog_;
    bool runThreadDone_ = false;
    bool silentDone_ = false;
    bool silentFinished_ = false;
    bool silentMode_ = false;
    bool exiting_ = false;
    bool quitLoop_ = false;
    bool initFinished_ = false;
    int pendingAssistantCommand_ = 0;
};
