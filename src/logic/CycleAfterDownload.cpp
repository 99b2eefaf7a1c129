// CUpdateCycle: the unpacker's results and the step after the download —
// cleanup, the saved manifest, the change actions and the way to the
// client's start.

#include "logic/LaunchSettings.h"
#include "logic/LauncherMessages.h"
#include "logic/UpdateCycle.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "update/ManifestCopy.h"
#include "update/UnpackerMessages.h"

namespace logic {

void CUpdateCycle::OnUnpackThreadFinished(plat::LPARAM result) {
    if (result == update::kUnpackDone) {
        Log(L"Finish unpack thread .. OK");
        processAfterDownload();
        return;
    }
    Log(L"Finish unpack thread .. Fail");
    Log(unpacker_.LastErrorText());
    if (result == update::kUnpackPackageFailed)
        host_.View().ShowConfirm(19, kBoxFatal, kBoxButtonsOk, false);
    else
        ShowFileError(unpacker_.CurrentEntryName(), unpacker_.LastErrorCode());
}

void CUpdateCycle::processAfterDownload() {
    SetStage(CycleStage::AfterDownload);
    Log(L"processAfterDownload();");
    const std::wstring silentFile = plat::JoinPath(installFolder_, L"silent.dat");
    if (settings_.silentMode) {
        // An empty marker, made like every state file: never through a link.
        plat::WriteWholeFile(silentFile, "", 0);
        plat::PostMessage(host_.Window(), eWindowsMessage_Exit, 2, 0);
        return;
    }
    const int runMode = settings_.runMode;
    if (!settings_.fast && runMode != rmDownload) {
        host_.RunExternalApplications();
        host_.RefreshShortcuts();
    }
    Log(L"Remove tmp directory");
    std::wstring tmp = plat::JoinPath(installFolder_, L"tmp");
    if (tmp.size() > 7)
        plat::DeleteFolderTree(tmp);
    // The files the sinks knew are gone with the folder.
    sinks_.clear();
    if (runMode == rmDownload) {
        // The task's packages are installed: they count as present from now.
        for (const std::wstring& package : taskPackages_)
            checker_.AddPackages().Add(package);
        host_.OnTaskDownloaded();
        return;
    }
    plat::DeleteFile(silentFile);
    update::SaveManifestCopy(installFolder_, manifestText_, log_);
    if (ApplyActions()) {
        host_.FinishAndQuit();
        return;
    }
    if (settings_.fast) {
        Log(L"Fast update finished .. OK");
        host_.FinishAndQuit();
        return;
    }
    if (runMode == rmUpdate || settings_.singlePageMode) {
        if (!settings_.ForClient())
            host_.ReachLaunchStep(kLaunchButton);
        return;
    }
    host_.ReachLaunchStep(kFinishPage);
}

bool CUpdateCycle::ApplyActions() {
    NotBuilt(L"the change actions");
    return false;
}

} // namespace logic
