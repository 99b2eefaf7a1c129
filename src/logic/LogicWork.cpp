// CLogic: the start of the run's work and the shutdown order.

#include "logic/Logic.h"

#include "assistant/LauncherFiles.h"
#include "log/LogImplW.h"
#include "logic/LauncherMessages.h"
#include "logic/VirtualStore.h"
#include "platform/Process.h"

bool CLogic::StartWork() {
    if (runMode_ != rmDownload && runMode_ != rmSetLongName)
        NotBuilt(L"the launcher self-update check");
    if (runMode_ == rmUninstaller) {
        if (runCommand_ == rcUninstall)
            View().ShowFirstPage(1);
        caption_ = GetString(98);
        View().SetCaption(caption_);
        NotBuilt(L"the uninstallation");
        return true;
    }
    if (runMode_ == rmSetLongName) {
        Log(L"Process SetLongName Started", false);
        logic::ClearVirtualStore(workFolder_, log_);
        NotBuilt(L"the elevated assistant");
        return true;
    }
    if (needNetwork_) {
        View().ShowFirstPage(3);
        if (!networkStarted_ && !StartNetwork()) {
            ShowError(71, kBoxFatal);
            return true;
        }
    }
    if (!ucrtPresent_)
        NotBuilt(L"downloading the platform update");
    else if (runMode_ != rmInstall || singlePageMode_)
        RequestManifest();
    else
        downloader_.DownloadLicense(licensePath_);
    return true;
}

void CLogic::Uninit() {
    auto blank = [this] {
        if (log_)
            log_->WriteNewLines(1);
    };
    blank();
    Log(L"--- Start Uninit ---");
    blank();
    if (urlSelector_.IsInitialised())
        urlSelector_.Save(true);
    if (runCommand_ == rcDownload) {
        Log(L"Send finish to client");
        plat::PostMessage(clientWindow_, eWindowsMessage_ClientFinish, 0, 2);
    }
    if (portable_ && runMode_ == rmUninstaller) {
        Log(L"Stop uninstaller thread");
    } else {
        Log(L"Stop checker & unpaker threads");
        checker_.Abort();
        checker_.Stop(1000);
        unpacker_.RequestStop();
        unpacker_.Stop(1000);
        // What arrived in this run stays on disk for the next one to resume.
        unpacker_.FlushParts();
    }
    StopNetwork();
    blank();
    blank();
    Log(L"Delete fonts from temp");
    blank();
    Log(L"--- Uninit finished ---");
    blank();
}

bool CLogic::RestartAs(const std::wstring& fileName) {
    plat::ProcessStartInfo info;
    info.commandLine =
        assistant::BuildRestartCommandLine(plat::GetExecutableFolder(), fileName, fast_, autoMode_);
    Log(L"Create process " + fileName + L" from Launcher.exe");
    plat::Process process;
    if (!process.Start(info)) {
        View().ShowMessageBox(GetString(94), kBoxFatal, kBoxButtonsOk, false, 0);
        return false;
    }
    Log(L"Process started succesful");
    process.Close();
    FinishAndQuit();
    return true;
}
