// CUpdateCycle: the start of the download, from the client decision and the
// disk-space check, and the ranged request of each queued package, whose
// bytes its sink writes to the package's file, with what each request did.

#include "logic/UpdateCycle.h"

#include "base/Buffer.h"
#include "base/Strings.h"
#include "logic/LaunchSettings.h"
#include "logic/SilentDownload.h"
#include "net/Downloader.h"
#include "net/DownloaderNotify.h"
#include "net/UrlComponents.h"
#include "platform/FileSystem.h"
#include "update/ManifestCopy.h"

#include <algorithm>
#include <vector>

namespace logic {

bool CUpdateCycle::DecideClientBeforeDownload() {
    bool canRun = checker_.CanRun() && !settings_.runByClientCritical;
    std::wstring reason = checker_.RunBlocker();
    // runByClient holds for either switch; ForClient for the one without
    // the critical switch.
    const bool byClient = settings_.runByClient;
    if (settings_.ForClient() && checker_.NewLauncher()) {
        Log(L"  .. runByClient - new launcher available, exit");
        host_.FinishAndQuit();
        return false;
    }
    const plat::HWND window = host_.SearchClientWindow();
    const bool clientRuns = ClientRunning();
    int mode = settings_.silentDownloadMode;
    if (plat::FileExists(plat::JoinPath(installFolder_, L"silent.dat"))) {
        // A silent download finished earlier: its packages wait in "tmp".
        if (!clientRuns || settings_.restart) {
            canRun = false;
            if (settings_.restart)
                reason = L"run blocker: [silent restart]";
        } else if (mode == sdmFull) {
            mode = sdmRun;
        }
    }
    Log(std::wstring(L"bCanRun = ") + (canRun ? L"true" : L"false"));
    if (!canRun)
        Log(L"  .. " + reason);

    const bool severalClients = settings_.debugMode || settings_.multiRun;
    if (mode == sdmRun) {
        if (canRun && !byClient) {
            if (window == 0 || severalClients) {
                host_.ReachLaunchStep(kLaunchPage);
                return false;
            }
            host_.BringClientForward(window);
        } else if (!(canRun && byClient && window != 0)) {
            // The launcher that downloads silently takes over: it leaves
            // silent download and shows its window.
            host_.CloseOtherLaunchers(0);
        }
        host_.FinishAndQuit();
        return false;
    }
    if (canRun && queue_.empty()) {
        update::SaveManifestCopy(installFolder_, manifestText_, log_);
        const bool exit = ApplyActions();
        if (exit || exit != byClient) {
            host_.FinishAndQuit();
            return false;
        }
        if (window != 0) {
            host_.BringClientForward(window);
            host_.FinishAndQuit();
            return false;
        }
        host_.ReachLaunchStep(kLaunchPage);
        return false;
    }
    if ((canRun && !queue_.empty()) || (!canRun && clientRuns && byClient)) {
        // The client runs (or starts) while the update downloads behind it.
        host_.SwitchSilentDownload(true);
        return true;
    }
    if (!canRun && clientRuns) {
        // The client runs an installation that must be updated first.
        if (window != 0)
            host_.BringClientForward(window);
        host_.FinishAndQuit();
        return false;
    }
    return true;
}

void CUpdateCycle::processStartDownload() {
    Log(L"processStartDownload();");
    const int runMode = settings_.runMode;
    // A "/download" run serves the running client that asked: what the
    // client's state decides for the other runs (bring it forward and quit)
    // would end the service before its task.
    if (settings_.silentDownload && runMode != rmDownload && !DecideClientBeforeDownload())
        return;
    if (!unpacker_.IsActive()) {
        Log(L"Init/start unpack thread");
        unpacker_.Stop(-1);
        unpacker_.SetupRun(host_.Window(), installFolder_, runMode == rmDownload,
                           !settings_.silentMode);
        unpacker_.Start();
    }
    plat::CreateDirectoryTree(plat::JoinPath(installFolder_, L"tmp"));
    if (runMode != rmDownload) {
        Log(L"Remove ext directory");
        std::wstring ext = plat::JoinPath(installFolder_, L"ext");
        if (ext.size() > 7)
            plat::DeleteFolderTree(ext);
        host_.RefreshShortcuts();
    }

    bool ready = false;
    if (runMode == rmInstall || runMode == rmUpdate || runMode == rmDownload) {
        if (launcherOnly_) {
            queue_.clear();
            // The new launcher is fetched and started by the self-update,
            // which is not built yet: the run ends here.
            Log(L"A new launcher is ready on the server");
            NotBuilt(L"the launcher self-update");
            host_.FinishAndQuit();
            return;
        }
        ready = PrepareQueue();
    }
    if (queue_.empty() && !ready) {
        processAfterDownload();
        return;
    }
    RefreshProgress(0);
    std::uint64_t freeBytes = 0;
    if (plat::GetDiskFreeSpace(installFolder_, &freeBytes) && freeBytes < counters_.total) {
        host_.View().ShowConfirm(22, kBoxChooseAgain, kBoxButtonsOk, true);
        return;
    }
    host_.View().ShowDownloadPage();
    SetStage(CycleStage::Download);
    StartNextDownload();
}

void CUpdateCycle::StartNextDownload() {
    if (queue_.empty()) {
        SetStage(CycleStage::Unpack);
        unpacker_.RequestFinish();
        return;
    }
    update::DownloadTask& task = queue_.front();
    if (!task.url.empty()) {
        CUrlComponents url;
        url.Crack(task.url);
        downloader_.DownloadUpdate(url.GetObjectText(), task.nextOffset, task.remaining,
                                   SinkOf(task));
        return;
    }
    if (task.nextOffset != task.size || task.remaining != 0)
        downloader_.DownloadUpdate(settings_.updateUrl + task.name, task.nextOffset, task.remaining,
                                   SinkOf(task));
    else
        fireFileReceived();
}

void CUpdateCycle::fireFilePartProgress(std::uint32_t bytes, bool inFlight) {
    CountPartProgress(&counters_, bytes, inFlight);
    RefreshProgress(0);
}

void CUpdateCycle::fireFilePartReceived(const NetEx::FilePartResult& part) {
    if (part.bytes == 0 && !part.failed) {
        Log(part.unexpected ? L"fireFilePartReceived() : answer is not the asked range"
                            : L"fireFilePartReceived() : buf empty (zero size)");
        ReportUnexpectedAnswer();
        return;
    }
    if (part.bytes == 0) {
        Log(L"fireFilePartReceived() : buf empty");
        return;
    }
    if (queue_.empty()) {
        Log(L"fireFilePartReceived() : queue empty");
        return;
    }
    update::DownloadTask& task = queue_.front();
    if (part.restarted) {
        // A server that cannot resume sent the whole file: the bytes an
        // earlier request left were dropped, and the file starts again.
        Log(base::FormatW(L"Server sent the whole file for a range from %u on: %ls starts again "
                          L"from byte 0",
                          task.nextOffset, base::Utf8ToWide(task.name).c_str()));
        DiscountDroppedBytes(&counters_, task.nextOffset, settings_.progressFromZero);
        task.nextOffset = 0;
    }
    attempts_ = 0;
    const auto size = static_cast<std::uint32_t>(part.bytes);
    fireFilePartProgress(size, false);
    Log(base::FormatW(L"filePartReceived: file: %ls (part size: %d)",
                      base::Utf8ToWide(task.name).c_str(), static_cast<int>(size)));
    if (part.failed) {
        Log(L"fireFilePartReceived() : bError");
        return;
    }
    if (part.unexpected) {
        // What belonged to the range is kept; the rest is asked for again.
        Log(L"fireFilePartReceived() : answer ran past the asked range");
        ReportUnexpectedAnswer();
        return;
    }
    if (SinkOf(task)->Verdict() == update::PackageVerdict::Incomplete)
        ContinueDownload();
    else
        fireFileReceived();
}

} // namespace logic
