#pragma once
// The update cycle: the manifest request, the file checker, the download
// queue fetched in resumable byte ranges, the verification of each received
// package, the unpacker, and the step after the download, with the retries
// of a failed request and the rotation to the next server. It owns the
// queue, the byte counters, the checker and unpacker threads and the attempt
// counter, and moves through the stages of CycleStages.h, changed only by
// SetStage, which logs every change. The launcher object creates it, feeds
// it the downloader's results, the worker threads' messages and the retry
// timers, and keeps the phases of the run. Window thread only; the worker
// threads reach it through posted messages.
//
// The files are named for the jobs: CycleCheck (manifest and checker),
// CycleDownload (start and ranged requests), CycleResume (what "tmp" holds
// and cut downloads), CycleVerify (a received package's verdict, from its
// sink, and its hand-over),
// CycleRetry (attempts and retry timers), CycleRotateServers (the next server
// and fresh client update data), CycleAfterDownload (unpacker results and
// what follows).

#include "logic/CycleStages.h"
#include "logic/UpdateProgress.h"
#include "logic/WizardView.h"
#include "platform/Window.h"
#include "update/CheckerThread.h"
#include "update/DownloadTask.h"
#include "update/PackageSink.h"
#include "update/UnpackerThread.h"

#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

class CBuffer;
class CLogImplW;

namespace NetEx {
class CDownloader;
struct FilePartResult;
} // namespace NetEx

namespace config {
class CLauncherLanguages;
class CUrlSelector;
} // namespace config

namespace logic {

struct LaunchSettings;

// The launcher's download address with the query arguments of the stub
// fields that hold a value ("LANG", "CAMPAIGNID", "REFERRED_BY",
// "PROMOCODE", in this order), each value escaped for a query. `readField`
// gives a field's value by its name and resource id (the running
// executable's fields unless given).
using StubFieldReader = std::string (*)(const char* typeName, int id);
std::string LauncherUrlWithArguments(const std::string& url, StubFieldReader readField = nullptr);

// ReachLaunchStep's words for the ways to the client's start.
inline constexpr const wchar_t* kLaunchButton = L"the launch button";
inline constexpr const wchar_t* kLaunchPage = L"the launch page";
inline constexpr const wchar_t* kFinishPage = L"the finish page";

// What the cycle asks of the launcher object that runs it.
class IUpdateCycleHost {
public:
    virtual ~IUpdateCycleHost() = default;
    virtual IWizardView& View() = 0;
    virtual std::wstring GetString(int id) const = 0;
    // The launcher window: the worker threads post their results to it.
    virtual plat::HWND Window() const = 0;
    // A one-shot retry timer of the launcher window.
    virtual void SetRetryTimer(std::uint64_t id, std::uint32_t elapseMs) = 0;
    // The launch page or button: the run reaches the client's start. `how`
    // is kLaunchButton when the run presses it itself, else the page shown.
    virtual void ReachLaunchStep(const wchar_t* how) = 0;
    virtual void FinishAndQuit() = 0;
    // The running client: its window (0 when none), bringing it forward,
    // and the silent download beside it.
    virtual plat::HWND SearchClientWindow() = 0;
    virtual void BringClientForward(plat::HWND window) = 0;
    virtual void SwitchSilentDownload(bool on) = 0;
    // Tells the other launchers of the executable to leave silent download.
    virtual void CloseOtherLaunchers(int target) = 0;
    // The checker has read the manifests and waits to be released: the
    // wizard's pages (or a client's task) come next.
    virtual void OnServerInfoReady() = 0;
    // The check has finished: the shortcuts, then StartDownload.
    virtual void OnCheckFinished() = 0;
    // After the download: the chosen external applications, and the
    // shortcuts of the installation's programs.
    virtual void RunExternalApplications() = 0;
    virtual void RefreshShortcuts() = 0;
    // A "/download" run: the task's packages are in place.
    virtual void OnTaskDownloaded() = 0;
    // The download's percentage, for the notification-area icon's tooltip.
    virtual void ShowTrayProgress(double percent) = 0;
    // The change actions after an update; true when the launcher must end
    // (a copy of it moves the installation).
    virtual bool ApplyActions() = 0;
    // The new launcher is in place as "Launcher.tmp.exe" in the installation
    // folder: the launcher restarts through it.
    virtual void RestartThroughNewLauncher() = 0;
};

class CUpdateCycle {
public:
    // A request is tried this often on one server before the next server.
    static constexpr int kMaxAttempts = 5;

    CUpdateCycle(IUpdateCycleHost& host, const LaunchSettings& settings,
                 const config::CLauncherLanguages& languages, NetEx::CDownloader& downloader,
                 config::CUrlSelector& urlSelector);
    CUpdateCycle(const CUpdateCycle&) = delete;
    CUpdateCycle& operator=(const CUpdateCycle&) = delete;

    void SetLog(CLogImplW* log) { log_ = log; }
    // The installation folder of an update run (no trailing separator).
    void SetInstallFolder(const std::wstring& folder) { installFolder_ = folder; }
    // Stops the worker threads; what arrived stays on disk for the next run.
    void StopWorkers();

    // --- Requests that start a stage ---------------------------------------
    bool RequestLicense();
    bool RequestManifest();
    // The folder is ready: the checker, waiting since "server info ready",
    // compares it, with the external applications the user chose.
    void ReleaseChecker(const std::wstring& installFolder, const std::set<std::wstring>& apps);
    // The download after the check (or after the assistant's shortcuts).
    void StartDownload() { processStartDownload(); }
    // The silent download ends in the visible window: the packages waiting
    // for the unpacker are unpacked now.
    void UnpackNow() { unpacker_.EnableAutoWake(); }
    // A "/download" run: checks and fetches the add packages a client asked
    // for.
    void StartTaskCheck(const std::set<std::wstring>& packages);

    // --- The downloader's results ------------------------------------------
    // CycleCheck.cpp
    void fireUpdateXmlReceived(const CBuffer& body);
    // With a release key: the manifest's signature, sequence and expiry hold
    // (the sequence is then kept for the next run); otherwise the refusal is
    // logged and false returned.
    bool TrustManifest(std::string_view body, const std::string& text);
    // CycleDownload.cpp
    void fireFilePartReceived(const NetEx::FilePartResult& part);
    void fireFilePartProgress(std::uint32_t bytes, bool inFlight);
    // CycleVerify.cpp
    void fireFileReceived();
    // CycleRotateServers.cpp
    void fireCUDFileReceived(const CBuffer& body);
    // CycleRetry.cpp
    void fireNetError(std::uint32_t kind, std::uint32_t errorCode, std::uint32_t status,
                      const std::string& body);

    // --- The worker threads' messages and the launcher window's timers -----
    // The checker's message: wParam is not 0 when its fresh manifest is
    // ready to be read, lParam the status.
    void OnCheckThreadFinished(plat::WPARAM manifestReady, plat::LPARAM status);
    void OnUnpackThreadFinished(plat::LPARAM result);
    void OnUnpackProgress(plat::LPARAM unpackedBytes) { RefreshProgress(unpackedBytes); }
    // A retry timer (2222 to 2225): the failed request once more, or the
    // next server. False for any other timer.
    bool OnRetryTimer(std::uint64_t timerId);
    // The Retry button of a failure page: back to the failed request.
    // False for a context that belongs to no stage.
    bool RetryFromBox(int context);
    // The server-address box: asks for an address (an address typed before
    // that failed is reported and forgotten); and what became of the
    // address typed into it.
    void AskForServerAddress();
    enum class TypedAddress {
        Retried,  // it is the server now: the failed stage runs again
        Cancel,   // refused, and there is no address to fall back to
        AskAgain, // refused (empty, or one of the known ones that failed)
    };
    TypedAddress OfferServerAddress(const std::wstring& typed);

    // --- State, read by the launcher and by tests --------------------------
    CycleStage Stage() const { return stage_; }
    int Attempts() const { return attempts_; }
    const std::wstring& LastErrorText() const { return lastErrorText_; }
    const std::string& ManifestText() const { return manifestText_; }
    const std::wstring& InstallFolder() const { return installFolder_; }
    const update::DownloadQueue& Queue() const { return queue_; }
    const DownloadCounters& Counters() const { return counters_; }
    std::uint32_t UnpackTotal() const { return unpackTotal_; }
    bool LauncherOnly() const { return launcherOnly_; }
    // A verified new launcher was handed to the unpacker.
    bool NewLauncherReady() const { return newLauncherReady_; }
    // What the fresh manifest offers, read after "server info ready".
    const std::vector<update::ExternalApp>& ExternalApps() const { return checker_.ExternalApps(); }
    const std::vector<update::InternalApp>& InternalApps() const { return checker_.InternalApps(); }
    // The installed add packages ("addpkg.dat").
    update::CAddPkg& AddPackages() { return checker_.AddPackages(); }
    // The packages of the task a "/download" run fetched.
    const std::set<std::wstring>& TaskPackages() const { return taskPackages_; }

private:
    // The one place the stage changes; logs "<from> -> <to>".
    void SetStage(CycleStage stage);
    void Log(const std::wstring& text, bool newLine = true);
    void BlankLine();
    // A step whose part of the launcher is not built yet: logged plainly.
    void NotBuilt(const wchar_t* what);
    void ShowError(int stringId, int context);
    void ShowFileError(const std::string& path, plat::ErrorCode code);
    // The client's process runs from the installation folder.
    bool ClientRunning() const;
    std::wstring TempFileOf(const update::DownloadTask& task) const;
    // The sink of the task's temporary file, made (from what the file holds)
    // the first time it is asked for.
    std::shared_ptr<update::CPackageSink> SinkOf(const update::DownloadTask& task);
    void RefreshProgress(std::int64_t unpackedBytes);

    // CycleCheck.cpp
    void StartCheck();
    void OnServerInfoReady();
    // CycleDownload.cpp
    // Whether the client may run now and what that means for the download;
    // false when the run ends here.
    bool DecideClientBeforeDownload();
    void processStartDownload();
    void StartNextDownload();
    // CycleResume.cpp
    // Resumes what "tmp" holds; true when a package went to the unpacker.
    bool PrepareQueue();
    // The head task from the bytes its file holds; false when the attempts
    // ran out or nothing is queued.
    bool ContinueDownload();
    // CycleVerify.cpp
    // Logs the hand-over of a task's file; a damaged file is deleted and its
    // task starts again from nothing.
    void HandOverToUnpacker(update::DownloadTask* task, bool fromTmp, bool damaged);
    // CycleRetry.cpp
    // The request of the stage once more; false when its attempts ran out.
    bool RetryStage(CycleStage stage);
    // A file request whose answer is not what was asked for: counted as a
    // failed attempt, logged and retried after a second.
    void ReportUnexpectedAnswer();
    // A request of the stage succeeded: its attempts start over.
    void OnRequestSucceeded();
    // CycleRotateServers.cpp
    // The attempts of the stage ran out on this server: the next one.
    void RotateServer();
    // The current stage once more on a newly selected server.
    void ResumeStage();
    // Downloads the client update data from the next data-update address, or
    // ends at the server-address page or the network failure page.
    void RefreshClientUpdateData();
    // CycleLauncher.cpp
    // Queues the new launcher's download from what its temporary file
    // holds; a whole file left by an earlier run is verified at once.
    void CreateLauncherTask();
    // Judges the downloaded launcher by size and checksum: accepted, it goes
    // to the unpacker as "Launcher.tmp.exe"; refused, it is deleted, the
    // task is queued anew and the failure box shown.
    bool VerifyNewLauncher(update::DownloadTask task);
    // CycleAfterDownload.cpp
    void processAfterDownload();
    // The change actions; true when they ask the launcher to end.
    bool ApplyActions();

    IUpdateCycleHost& host_;
    const LaunchSettings& settings_;
    const config::CLauncherLanguages& languages_;
    NetEx::CDownloader& downloader_;
    config::CUrlSelector& urlSelector_;
    CLogImplW* log_ = nullptr;

    CycleStage stage_ = CycleStage::Idle;
    int attempts_ = 0; // failed attempts of the current request on this server
    std::wstring lastErrorText_;
    bool lastErrorIsNotice_ = false; // the text is a server's maintenance notice
    std::string manifestText_;
    std::string oldManifestText_;
    std::wstring installFolder_;
    // The queue and the counters are declared before the threads that write
    // into them.
    update::DownloadQueue queue_;
    // The temporary files of the queued tasks by path; a sink outlives the
    // requests that write to it.
    std::map<std::wstring, std::shared_ptr<update::CPackageSink>> sinks_;
    DownloadCounters counters_;
    std::uint32_t unpackTotal_ = 0;
    std::uint32_t unpackedKb_ = 0; // the tooltip's share of the unpacking
    bool launcherOnly_ = false;
    std::set<std::wstring> taskPackages_;
    update::LauncherInfo launcher_;
    bool newLauncherReady_ = false;
    update::CUnpackerThread unpacker_;
    update::CCheckerThread checker_;
};

} // namespace logic
