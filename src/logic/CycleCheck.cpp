// CUpdateCycle: the manifest's arrival, the file checker's run and its
// results, up to the start of the download.

#include "logic/UpdateCycle.h"

#include "assistant/LauncherFiles.h"
#include "base/Buffer.h"
#include "base/Strings.h"
#include "config/LauncherLanguages.h"
#include "logic/LaunchSettings.h"
#include "logic/NetErrors.h"
#include "logic/SilentDownload.h"
#include "net/Downloader.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "update/ManifestCopy.h"
#include "update/ManifestTransport.h"
#include "update/ReleaseSignature.h"

#include <chrono>
#include <cstdlib>

namespace logic {

void CUpdateCycle::fireUpdateXmlReceived(const CBuffer& body) {
    Log(L"update.rxml Received");
    update::ManifestTransport transport;
    std::string text;
    // The unpacked text is held to the documents' bound as the body is.
    if (!update::ReceiveManifest(transport, body.View(), &text, settings_.documentLimit)) {
        // An unreadable manifest is not asked for again on this server.
        attempts_ = kMaxAttempts + 1;
        fireNetError(eNetRequest_Manifest, 0, 0, base::WideToUtf8(host_.GetString(21)));
        return;
    }
    if (settings_.signedReleases && !TrustManifest(body.View(), text)) {
        // A manifest the key does not vouch for is not asked for again on
        // this server; another server may have the signed one.
        attempts_ = kMaxAttempts + 1;
        fireNetError(eNetRequest_Manifest, 0, 0,
                     base::WideToUtf8(host_.GetString(kLangUnexpectedAnswer)));
        return;
    }
    OnRequestSucceeded();
    manifestText_ = text;
    BlankLine();
    Log(L"--- start Update.xml ---");
    BlankLine();
    Log(base::Utf8ToWide(text));
    BlankLine();
    Log(L"--- end Update.xml ---");
    BlankLine();
    if (settings_.runMode == rmUpdate)
        update::LoadManifestCopy(installFolder_, &oldManifestText_, log_);
    StartCheck();
}

bool CUpdateCycle::TrustManifest(std::string_view body, const std::string& text) {
    update::ManifestTransport transport;
    const std::wstring sequencePath = plat::JoinPath(installFolder_, L"update.seq");
    std::string signature;
    // The signature travels in the packed manifest; 128 digits and a line end.
    if (transport.packed)
        update::UnpackManifest(body, transport.entryName + update::kSignatureSuffix, &signature,
                               256);
    std::string stored;
    std::uint64_t last = 0;
    if (plat::ReadWholeFile(sequencePath, &stored) && stored.size() <= 20)
        last = std::strtoull(stored.c_str(), nullptr, 10);
    const std::int64_t now = std::chrono::duration_cast<std::chrono::seconds>(
                                 std::chrono::system_clock::now().time_since_epoch())
                                 .count();
    update::ReleaseStamp stamp;
    const update::ManifestTrust trust =
        settings_.releaseKeyValid
            ? update::JudgeManifest(settings_.releaseKey, text, signature, last, now, &stamp)
            : update::ManifestTrust::BadSignature;
    if (trust != update::ManifestTrust::Trusted) {
        BlankLine();
        Log(L"Manifest refused: " + base::Utf8ToWide(update::ManifestTrustName(trust)));
        Log(UnexpectedAnswerLogText(base::Utf8ToWide(settings_.manifestRName)));
        BlankLine();
        return false;
    }
    Log(L"Manifest signature OK, release " + std::to_wstring(stamp.sequence) + L", valid until " +
        base::Utf8ToWide(update::FormatUtcStamp(stamp.expires)));
    if (stamp.sequence > last) {
        const std::string number = std::to_string(stamp.sequence);
        // Where there is no installation folder yet, the next run starts
        // from what it finds.
        if (plat::DirectoryExists(installFolder_) &&
            !plat::WriteWholeFile(sequencePath, number.data(), number.size()))
            Log(L"Cannot keep the release sequence in update.seq");
    }
    return true;
}

void CUpdateCycle::StartCheck() {
    SetStage(CycleStage::Check);
    update::CheckerTarget target;
    target.window = host_.Window();
    target.queue = &queue_;
    target.totalDownloadSize = &counters_.total;
    const std::string language = languages_.CurrentCode();
    const std::wstring launcherName = assistant::kLauncherFileName;
    // Stray and damaged files may only go while neither the client nor
    // another launcher can hold them.
    const bool cleanup = !ClientRunning() && settings_.silentDownloadMode == sdmFull;
    const int runMode = settings_.runMode;

    std::string saved;
    if (runMode != rmDownload && settings_.fast &&
        update::LoadManifestCopy(installFolder_, &saved, log_) && !saved.empty()) {
        Log(L"Init check thread (fast mode)");
        checker_.InitFast(installFolder_, launcherName, language, manifestText_, saved, target,
                          cleanup);
    } else {
        Log(L"Init check thread");
        if (runMode == rmDownload) {
            // The client's tasks come once its pipe is open; each one is
            // checked on its own (StartTaskCheck).
            Log(L"Wait task for download");
            OnServerInfoReady();
            return;
        }
        Log(std::wstring(L"bCanDelete = ") + (cleanup ? L"true" : L"false"));
        const bool silentLeftover =
            cleanup && plat::FileExists(plat::JoinPath(installFolder_, L"silent.dat"));
        checker_.InitNormal(installFolder_, launcherName, language, manifestText_,
                            silentLeftover ? std::string() : oldManifestText_, target,
                            runMode == rmUpdate, cleanup);
    }
    Log(L"Start check thread");
    checker_.Abort();
    checker_.Stop(-1);
    checker_.Start();
}

void CUpdateCycle::OnCheckThreadFinished(plat::WPARAM manifestReady, plat::LPARAM status) {
    switch (status) {
    case update::kCheckServerInfoReady:
        Log(L"Server info ready");
        OnServerInfoReady();
        return;
    case update::kCheckOk:
        Log(L"Finish check thread .. OK");
        break;
    case update::kCheckLauncherOnly: {
        Log(L"Finish check thread .. OK, only launcher update");
        launcher_ = update::LauncherInfo();
        launcherOnly_ = checker_.NewManifest().ReadLauncherInfo(&launcher_);
        break;
    }
    default:
        Log(L"Finish check thread .. Fail");
        host_.View().ShowConfirm(21, kBoxFatal, kBoxButtonsOk, false);
        return;
    }
    if (manifestReady == 0) {
        Log(L"Finish check thread .. Fail");
        host_.View().ShowConfirm(21, kBoxFatal, kBoxButtonsOk, false);
        return;
    }
    // What the packages may unpack: no more than the manifest says.
    unpacker_.SetSizeBounds(checker_.SizeBounds());
    // The shortcuts (through the assistant when it must make them), then
    // the download.
    host_.OnCheckFinished();
}

void CUpdateCycle::OnServerInfoReady() {
    if (checker_.HasThread())
        downloader_.SetClientVersion(base::WideToUtf8(checker_.NewManifest().ClientVersion()));
    checker_.AddPackages().SetPath(update::CAddPkg::PathIn(installFolder_));
    host_.OnServerInfoReady();
}

void CUpdateCycle::ReleaseChecker(const std::wstring& installFolder,
                                  const std::set<std::wstring>& apps) {
    installFolder_ = installFolder;
    checker_.SetInstallFolder(installFolder);
    checker_.AddPackages().SetPath(update::CAddPkg::PathIn(installFolder_));
    checker_.Release(apps);
}

void CUpdateCycle::StartTaskCheck(const std::set<std::wstring>& packages) {
    SetStage(CycleStage::Check);
    taskPackages_ = packages;
    update::CheckerTarget target;
    target.window = host_.Window();
    target.queue = &queue_;
    target.totalDownloadSize = &counters_.total;
    Log(L"Init check thread");
    checker_.InitDownloadOnly(installFolder_, manifestText_, target, packages);
    Log(L"Start check thread");
    checker_.Abort();
    checker_.Stop(-1);
    checker_.Start();
}

} // namespace logic
