// CLogic: the manifest's arrival, the file checker's run and its results, up
// to the start of the download.

#include "logic/Logic.h"

#include "assistant/LauncherFiles.h"
#include "base/Strings.h"
#include "log/LogImplW.h"
#include "logic/LauncherMessages.h"
#include "logic/NetErrors.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "update/ManifestCopy.h"
#include "update/ManifestTransport.h"

void CLogic::fireUpdateXmlReceived(const CBuffer& body) {
    Log(L"update.rxml Received");
    update::ManifestTransport transport;
    std::string text;
    if (!update::ReceiveManifest(transport, body.View(), &text)) {
        // An unreadable manifest is not asked for again on this server.
        attempts_ = kMaxAttempts + 1;
        fireNetError(logic::eNetRequest_Manifest, 0, 0, base::WideToUtf8(GetString(21)));
        return;
    }
    manifestText_ = text;
    auto blank = [this] {
        if (log_)
            log_->WriteNewLines(1);
    };
    blank();
    Log(L"--- start Update.xml ---");
    blank();
    Log(base::Utf8ToWide(text));
    blank();
    Log(L"--- end Update.xml ---");
    blank();
    if (runMode_ == rmUpdate)
        update::LoadManifestCopy(installFolder_, &oldManifestText_, log_);
    StartCheck();
}

bool CLogic::ClientRunning() const {
    return plat::IsProgramRunning(
        plat::JoinPath(installFolder_, plat::NativePath(base::Utf8ToWide(clientProcess_))));
}

void CLogic::StartCheck() {
    if (installFolder_.empty()) {
        NotBuilt(L"choosing the installation folder");
        ShowError(101, kBoxFatal);
        return;
    }
    update::CheckerTarget target;
    target.window = dialog_.Window();
    target.queue = &queue_;
    target.totalDownloadSize = &counters_.total;
    const std::string language = configuration_.languages.CurrentCode();
    const std::wstring launcherName = assistant::kLauncherFileName;
    // Stray and damaged files may only go while the client cannot hold them.
    const bool cleanup = !ClientRunning();

    std::string saved;
    if (runMode_ != rmDownload && fast_ && update::LoadManifestCopy(installFolder_, &saved, log_) &&
        !saved.empty()) {
        Log(L"Init check thread (fast mode)");
        checker_.InitFast(installFolder_, launcherName, language, manifestText_, saved, target,
                          cleanup);
    } else {
        Log(L"Init check thread");
        if (runMode_ == rmDownload) {
            Log(L"Wait task for download");
            NotBuilt(L"downloads asked for by a running client");
            OnServerInfoReady();
            return;
        }
        Log(std::wstring(L"bCanDelete = ") + (cleanup ? L"true" : L"false"));
        const bool silentLeftover =
            cleanup && plat::FileExists(plat::JoinPath(installFolder_, L"silent.dat"));
        checker_.InitNormal(installFolder_, launcherName, language, manifestText_,
                            silentLeftover ? std::string() : oldManifestText_, target,
                            runMode_ == rmUpdate, cleanup);
    }
    Log(L"Start check thread");
    checker_.Abort();
    checker_.Stop(-1);
    checker_.Start();
}

void CLogic::OnCheckThreadFinished(plat::WPARAM document, plat::LPARAM status) {
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
        update::LauncherInfo info;
        launcherOnly_ = checker_.NewManifest().ReadLauncherInfo(&info);
        launcherVersion_ = info.version;
        break;
    }
    default:
        Log(L"Finish check thread .. Fail");
        View().ShowConfirm(21, kBoxFatal, kBoxButtonsOk, false);
        return;
    }
    parsedManifest_ = reinterpret_cast<const update::CManifestDocument*>(document);
    if (!parsedManifest_) {
        Log(L"Finish check thread .. Fail");
        View().ShowConfirm(21, kBoxFatal, kBoxButtonsOk, false);
        return;
    }
    if (!checker_.ExternalApps().empty() && !portable_)
        NotBuilt(L"updating the shortcuts of the external applications through the assistant");
    else
        NotBuilt(L"updating the desktop shortcuts");
    processStartDownload();
}

void CLogic::OnServerInfoReady() {
    downloader_.SetClientVersion(base::WideToUtf8(checker_.NewManifest().ClientVersion()));
    checker_.AddPackages().SetPath(update::CAddPkg::PathIn(installFolder_));
    if (runMode_ == rmDownload)
        NotBuilt(L"the pipe to the client that asked for the download");
    if (!fast_)
        NotBuilt(L"the pages of the external applications");
    if (runMode_ == rmInstall) {
        View().ContinueInstallPages();
        NotBuilt(L"the installation pages");
        return;
    }
    PrepareInstalledFolder();
}

void CLogic::PrepareInstalledFolder() {
    if (!plat::DirectoryExists(installFolder_) && !plat::CreateDirectoryTree(installFolder_)) {
        View().ShowConfirm(93, kBoxChooseAgain, kBoxButtonsOk, true);
        return;
    }
    View().ShowFirstPage(4);
    // No optional applications are chosen without their pages.
    checker_.Release({});
}
