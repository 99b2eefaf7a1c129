// CLogic: the unpacker's results and the step after the download — cleanup,
// the saved manifest, the change actions and the way to the client's start —
// with the file and system error boxes.

#include "logic/Logic.h"

#include "base/Strings.h"
#include "log/LogImplW.h"
#include "logic/LauncherMessages.h"
#include "logic/NetErrors.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "update/ManifestCopy.h"
#include "update/UnpackerMessages.h"

void CLogic::OnUnpackThreadFinished(plat::LPARAM result) {
    if (result == update::kUnpackDone) {
        Log(L"Finish unpack thread .. OK");
        if (newLauncherReady_) {
            if (!(runByClient_ && !runByClientCritical_))
                ReachLaunchStep(L"the launch button");
            return;
        }
        processAfterDownload();
        return;
    }
    Log(L"Finish unpack thread .. Fail");
    Log(unpacker_.LastErrorText());
    if (result == update::kUnpackPackageFailed)
        View().ShowConfirm(19, kBoxFatal, kBoxButtonsOk, false);
    else
        ShowFileError(unpacker_.CurrentEntryName(), unpacker_.LastErrorCode());
}

void CLogic::processAfterDownload() {
    Log(L"processAfterDownload();");
    const std::wstring silentFile = plat::JoinPath(installFolder_, L"silent.dat");
    if (silentMode_) {
        plat::File marker;
        marker.Open(silentFile, plat::kWrite, plat::Disposition::CreateAlways);
        marker.Close();
        plat::PostMessage(dialog_.Window(), eWindowsMessage_Exit, 2, 0);
        return;
    }
    if (!fast_ && runMode_ != rmDownload)
        NotBuilt(L"running the external applications and refreshing their shortcuts");
    Log(L"Remove tmp directory");
    std::wstring tmp = plat::JoinPath(installFolder_, L"tmp");
    if (tmp.size() > 7)
        plat::DeleteFolderTree(tmp);
    if (runMode_ == rmDownload) {
        NotBuilt(L"answering the client that asked for the download");
        return;
    }
    plat::DeleteFile(silentFile);
    update::SaveManifestCopy(installFolder_, manifestText_, log_);
    if (ApplyActions()) {
        FinishAndQuit();
        return;
    }
    if (fast_) {
        Log(L"Fast update finished .. OK");
        FinishAndQuit();
        return;
    }
    if (runMode_ == rmUpdate || newLauncherReady_ || singlePageMode_) {
        if (!(runByClient_ && !runByClientCritical_))
            ReachLaunchStep(L"the launch button");
        return;
    }
    ReachLaunchStep(L"the finish page");
}

bool CLogic::ApplyActions() {
    NotBuilt(L"the change actions");
    return false;
}

void CLogic::ReachLaunchStep(const wchar_t* how) {
    View().ShowLaunchPage();
    Log(std::wstring(L"Launch step reached (") + how + L")");
    // Starting the client comes with its own part of the launcher; until
    // then the run ends where the client would start.
    NotBuilt(L"starting the client");
    FinishAndQuit();
}

void CLogic::ShowSystemError(const std::wstring& prefix, plat::ErrorCode code) {
    logic::ErrorMessage message = logic::SystemErrorMessage(prefix, code);
    View().ShowMessageBox(message.text, message.context, message.buttons, message.error, 0);
}

void CLogic::ShowFileError(const std::string& path, plat::ErrorCode code) {
    logic::ErrorMessage message =
        logic::FileErrorMessage(path, code, [this](int id) { return GetString(id); });
    View().ShowMessageBox(message.text, message.context, message.buttons, message.error, 0);
}
