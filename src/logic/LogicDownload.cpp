// CLogic: the download of the queued packages in resumable byte ranges, from
// the disk-space check to the hand-over of each complete package to the
// unpacker.

#include "logic/Logic.h"

#include "base/Strings.h"
#include "log/LogImplW.h"
#include "logic/LauncherMessages.h"
#include "logic/NetErrors.h"
#include "net/UrlComponents.h"
#include "platform/FileSystem.h"
#include "update/ManifestCopy.h"

namespace {

constexpr int kAttemptTextControl = 12406;

} // namespace

std::wstring CLogic::TempFileOf(const update::DownloadTask& task) const {
    return logic::TempFileName(installFolder_, task, launcherVersion_);
}

bool CLogic::DecideClientBeforeDownload() {
    bool canRun = checker_.CanRun() && !runByClientCritical_;
    std::wstring reason = checker_.RunBlocker();
    const bool forClient = runByClient_ && !runByClientCritical_;
    if (forClient && checker_.NewLauncher()) {
        Log(L"  .. runByClient - new launcher available, exit");
        FinishAndQuit();
        return false;
    }
    Log(L"Searching for client windows...");
    std::vector<plat::HWND> windows = plat::FindWindowsByClass(clientWindowClass_);
    const bool clientWindow = !windows.empty();
    const bool clientRuns = ClientRunning();
    bool full = true; // the silent-download mode: full, or run the client
    if (plat::FileExists(plat::JoinPath(installFolder_, L"silent.dat"))) {
        if (!clientRuns || restart_) {
            canRun = false;
            if (restart_)
                reason = L"run blocker: [silent restart]";
        } else {
            full = false;
        }
    }
    Log(std::wstring(L"bCanRun = ") + (canRun ? L"true" : L"false"));
    if (!canRun)
        Log(L"  .. " + reason);

    if (!full) {
        if (canRun && !forClient && !clientWindow) {
            ReachLaunchStep(L"the launch page");
        } else {
            if (!(canRun && (forClient || clientWindow)))
                NotBuilt(L"the silent download while the client runs");
            FinishAndQuit();
        }
        return false;
    }
    if (canRun && queue_.empty()) {
        update::SaveManifestCopy(installFolder_, manifestText_, log_);
        if (ApplyActions() || clientWindow) {
            FinishAndQuit();
            return false;
        }
        ReachLaunchStep(L"the launch page");
        return false;
    }
    if (canRun || (clientRuns && forClient)) {
        // The client could start now and the download go on behind it; until
        // that is built the download simply goes on in the window.
        NotBuilt(L"starting the client while the download goes on");
        return true;
    }
    if (clientRuns) {
        FinishAndQuit();
        return false;
    }
    return true;
}

void CLogic::processStartDownload() {
    Log(L"processStartDownload();");
    if (silentDownload_ && !DecideClientBeforeDownload())
        return;
    if (!unpacker_.IsActive()) {
        Log(L"Init/start unpack thread");
        unpacker_.Stop(-1);
        unpacker_.SetupRun(dialog_.Window(), installFolder_, runMode_ == rmDownload, !silentMode_);
        unpacker_.Start();
    }
    plat::CreateDirectoryTree(plat::JoinPath(installFolder_, L"tmp"));
    if (runMode_ != rmDownload) {
        Log(L"Remove ext directory");
        std::wstring ext = plat::JoinPath(installFolder_, L"ext");
        if (ext.size() > 7)
            plat::DeleteFolderTree(ext);
        NotBuilt(L"refreshing the application shortcuts");
    }
    if (exiting_)
        return;

    bool ready = false;
    if (runMode_ == rmInstall || runMode_ == rmUpdate || runMode_ == rmDownload) {
        if (launcherOnly_) {
            queue_.clear();
            // The new launcher is fetched and started by the self-update,
            // which is not built yet: the run ends here.
            Log(L"A new launcher is ready on the server");
            NotBuilt(L"the launcher self-update");
            FinishAndQuit();
            return;
        }
        ready = PrepareQueue();
    }
    if (!queue_.empty() || ready) {
        RefreshProgress(0);
        std::uint64_t freeBytes = 0;
        if (plat::GetDiskFreeSpace(installFolder_, &freeBytes) && freeBytes < counters_.total) {
            View().ShowConfirm(22, kBoxChooseAgain, kBoxButtonsOk, true);
            return;
        }
        View().ShowDownloadPage();
        StartNextDownload();
    } else {
        processAfterDownload();
    }
    if (exiting_)
        FinishAndQuit();
}

bool CLogic::PrepareQueue() {
    bool ready = false;
    for (auto it = queue_.begin(); it != queue_.end();) {
        update::DownloadTask& task = *it;
        const std::wstring path = TempFileOf(task);
        unpacker_.AddFilePart(path, nullptr, 0);
        std::uint32_t present = 0, crc = 0;
        unpacker_.GetPartState(path, &present, &crc);
        unpackTotal_ += task.size;
        task.nextOffset = present;
        if (present > task.size || (present == task.size && crc != task.crc32))
            HandOverToUnpacker(&task, true, true);
        task.remaining = task.size - task.nextOffset;
        if (progressFromZero_)
            counters_.total -= std::min<std::uint64_t>(counters_.total, task.nextOffset);
        else
            counters_.current += task.nextOffset;
        if (task.remaining != 0) {
            ++it;
            continue;
        }
        // Only packages are unpacked; any other complete file stays in
        // "tmp" as a finished download does.
        if (logic::IsPackageName(task.name)) {
            HandOverToUnpacker(&task, true, false);
            unpacker_.AddPackageTask(path);
            ready = true;
        }
        it = queue_.erase(it);
    }
    if (!progressFromZero_)
        counters_.committed = counters_.current;
    return ready;
}

void CLogic::HandOverToUnpacker(update::DownloadTask* task, bool fromTmp, bool damaged) {
    const std::wstring path = TempFileOf(*task);
    Log(L"Add task for unpacker: " + base::Utf8ToWide(task->name));
    Log(std::wstring(L"  .. from ") + (fromTmp ? L"tmp" : L"received") + L" file: " + path);
    if (!damaged)
        return;
    Log(L"    .. warning: crc or size is not correct, file will be added to download queue");
    plat::DeleteFile(path);
    unpacker_.ForgetTempFile(path);
    task->nextOffset = 0;
}

void CLogic::StartNextDownload() {
    if (queue_.empty()) {
        unpacker_.RequestFinish();
        return;
    }
    update::DownloadTask& task = queue_.front();
    if (!task.url.empty()) {
        CUrlComponents url;
        url.Crack(task.url);
        downloader_.DownloadUpdate(url.GetObjectText(), task.nextOffset, task.remaining);
        return;
    }
    if (task.nextOffset != task.size || task.remaining != 0)
        downloader_.DownloadUpdate(updateUrl_ + task.name, task.nextOffset, task.remaining);
    else
        fireFileReceived();
}

void CLogic::fireFilePartProgress(std::uint32_t bytes, bool inFlight) {
    logic::CountPartProgress(&counters_, bytes, inFlight);
    RefreshProgress(0);
}

void CLogic::fireFilePartReceived(const CBuffer& body, bool failed) {
    if (body.Size() == 0 && !failed) {
        Log(L"fireFilePartReceived() : buf empty (zero size)");
        ReportUnexpectedAnswer();
        return;
    }
    if (body.Size() == 0) {
        Log(L"fireFilePartReceived() : buf empty");
        return;
    }
    if (queue_.empty()) {
        Log(L"fireFilePartReceived() : queue empty");
        return;
    }
    update::DownloadTask& task = queue_.front();
    const std::wstring path = TempFileOf(task);
    // A part that would make the file longer than the task (a server that
    // ignored the range and sent the whole file) is not stored: appended,
    // it would only make a file that fails its check.
    std::uint32_t present = 0, crc = 0;
    unpacker_.GetPartState(path, &present, &crc);
    if (body.Size() > task.size - std::min(present, task.size)) {
        Log(L"fireFilePartReceived() : part is longer than the rest of the file");
        ReportUnexpectedAnswer();
        return;
    }
    attempts_ = 0;
    const auto size = static_cast<std::uint32_t>(body.Size());
    fireFilePartProgress(size, false);
    Log(base::FormatW(L"filePartReceived: file: %ls (part size: %d)",
                      base::Utf8ToWide(task.name).c_str(), static_cast<int>(size)));
    if (!unpacker_.AddFilePart(path, body.Data(), body.Size())) {
        Log(L"fireFilePartReceived() : addFilePart false");
        return;
    }
    if (failed) {
        Log(L"fireFilePartReceived() : bError");
        return;
    }
    unpacker_.GetPartState(path, &present, &crc);
    if (present < task.size)
        ContinueDownload();
    else
        fireFileReceived();
}

bool CLogic::ContinueDownload() {
    if (attempts_ > kMaxAttempts) {
        Log(L"attempts run out");
        return false;
    }
    Log(base::FormatW(L"continue downloading attempt #%d", attempts_));
    if (queue_.empty())
        return false;
    update::DownloadTask& task = queue_.front();
    std::uint32_t present = 0, crc = 0;
    unpacker_.GetPartState(TempFileOf(task), &present, &crc);
    task.nextOffset = present;
    task.remaining = task.size - std::min(present, task.size);
    if (attempts_ > 0)
        View().SetFormattedText(kAttemptTextControl,
                                {TextValue{TextValue::StringId, 37, 0, {}},
                                 TextValue{TextValue::Integer, attempts_, 0, {}}});
    StartNextDownload();
    return true;
}

void CLogic::fireFileReceived() {
    if (queue_.empty())
        return;
    update::DownloadTask task = queue_.front();
    queue_.pop_front();
    const std::wstring path = TempFileOf(task);
    unpacker_.MarkTempFileComplete(path);
    if (!logic::IsPackageName(task.name)) {
        if (task.name == "Launcher.exe") {
            NotBuilt(L"verifying the new launcher");
            queue_.clear();
            View().ShowMessageBox(GetString(40), kBoxUpdateFailed, kBoxButtonsRetryCancel, false,
                                  0);
            return;
        }
        // Any other file stays in "tmp" and is not installed.
    } else {
        std::uint32_t present = 0, crc = 0;
        if (!unpacker_.GetPartState(path, &present, &crc) || present != task.size ||
            crc != task.crc32) {
            HandOverToUnpacker(&task, false, true);
            View().ShowMessageBox(GetString(40), kBoxUpdateFailed, kBoxButtonsRetryCancel, false,
                                  0);
            counters_.committed -= std::min<std::uint64_t>(counters_.committed, task.size);
            counters_.current = counters_.committed;
            task.remaining = task.size;
            queue_.push_back(task);
            return;
        }
        HandOverToUnpacker(&task, false, false);
        unpacker_.AddPackageTask(path);
    }
    if (newLauncherReady_)
        queue_.clear();
    StartNextDownload();
    if (exiting_)
        FinishAndQuit();
}

void CLogic::RefreshProgress(std::int64_t unpackedBytes) {
    logic::ProgressInputs inputs;
    inputs.totalBytes = counters_.total;
    inputs.currentBytes = counters_.current;
    inputs.launcherOnly = launcherOnly_;
    inputs.unpackTotal = unpackTotal_;
    inputs.silentMode = silentMode_;
    View().RefreshProgress(inputs, unpackedBytes);
}

void CLogic::ReportUnexpectedAnswer() {
    ++attempts_;
    if (!queue_.empty()) {
        if (log_)
            log_->WriteNewLines(1);
        Log(logic::UnexpectedAnswerLogText(base::Utf8ToWide(queue_.front().name)));
        if (log_)
            log_->WriteNewLines(1);
        lastErrorText_ = GetString(logic::kLangUnexpectedAnswer);
    }
    dialog_.SetTimer(logic::kUnexpectedAnswerTimer, logic::kRetryTimerMs);
}
