// CUpdateCycle: construction, the stage setter, the first requests, the
// worker threads' stop, and the helpers every part of the cycle uses.

#include "logic/UpdateCycle.h"

#include "base/Strings.h"
#include "config/LauncherLanguages.h"
#include "logic/LaunchSettings.h"
#include "logic/LogLines.h"
#include "logic/NetErrors.h"
#include "net/Downloader.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

namespace logic {

CUpdateCycle::CUpdateCycle(IUpdateCycleHost& host, const LaunchSettings& settings,
                           const config::CLauncherLanguages& languages,
                           NetEx::CDownloader& downloader, config::CUrlSelector& urlSelector)
    : host_(host), settings_(settings), languages_(languages), downloader_(downloader),
      urlSelector_(urlSelector) {}

void CUpdateCycle::SetStage(CycleStage stage) {
    if (stage == stage_)
        return;
    Log(std::wstring(L"Update cycle: ") + StageInfo(stage_).name + L" -> " + StageInfo(stage).name);
    stage_ = stage;
}

void CUpdateCycle::StopWorkers() {
    checker_.Abort();
    checker_.Stop(1000);
    unpacker_.RequestStop();
    unpacker_.Stop(1000);
    // What arrived in this run is on disk already for the next one to resume.
}

bool CUpdateCycle::RequestLicense() {
    SetStage(CycleStage::License);
    return downloader_.DownloadLicense(settings_.licensePath);
}

bool CUpdateCycle::RequestManifest() {
    SetStage(CycleStage::Manifest);
    return downloader_.DownloadUpdateXml(settings_.updateUrl + settings_.manifestRName);
}

void CUpdateCycle::Log(const std::wstring& text, bool newLine) {
    WriteLine(log_, text, newLine);
}

void CUpdateCycle::BlankLine() {
    WriteBlankLine(log_);
}

void CUpdateCycle::NotBuilt(const wchar_t* what) {
    WriteNotBuilt(log_, what);
}

void CUpdateCycle::ShowError(int stringId, int context) {
    host_.View().ShowMessageBox(host_.GetString(stringId), context, kBoxButtonsOk, true, 0);
}

void CUpdateCycle::ShowFileError(const std::string& path, plat::ErrorCode code) {
    ErrorMessage message =
        FileErrorMessage(path, code, [this](int id) { return host_.GetString(id); });
    host_.View().ShowMessageBox(message.text, message.context, message.buttons, message.error, 0);
}

bool CUpdateCycle::ClientRunning() const {
    return plat::IsProgramRunning(plat::JoinPath(
        installFolder_, plat::NativePath(base::Utf8ToWide(settings_.clientProcess))));
}

std::wstring CUpdateCycle::TempFileOf(const update::DownloadTask& task) const {
    return TempFileName(installFolder_, task, launcher_.version);
}

std::shared_ptr<update::CPackageSink> CUpdateCycle::SinkOf(const update::DownloadTask& task) {
    const std::wstring path = TempFileOf(task);
    std::shared_ptr<update::CPackageSink>& sink = sinks_[path];
    if (!sink) {
        sink = std::make_shared<update::CPackageSink>(path, task.size, task.crc32);
        if (settings_.signedReleases) {
            // A trusted manifest names every package's SHA-256; should one
            // be missing all the same, no file can be complete.
            config::Sha256Digest digest{};
            if (!config::FromHex(task.sha256, &digest))
                digest.fill(0);
            sink->RequireSha256(digest);
        }
    }
    return sink;
}

void CUpdateCycle::RefreshProgress(std::int64_t unpackedBytes) {
    ProgressInputs inputs;
    inputs.totalBytes = counters_.total;
    inputs.currentBytes = counters_.current;
    inputs.launcherOnly = launcherOnly_;
    inputs.unpackTotal = unpackTotal_;
    inputs.silentMode = settings_.silentMode;
    host_.View().RefreshProgress(inputs, unpackedBytes);
    const ProgressDisplay display = ComputeProgress(inputs, unpackedBytes, &unpackedKb_);
    if (display.downloading || settings_.silentMode)
        host_.ShowTrayProgress(display.percent);
}

} // namespace logic
