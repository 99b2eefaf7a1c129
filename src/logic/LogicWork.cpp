// CLogic: the start of the run's work, the way to the client's start and
// the shutdown order.

#include "logic/Logic.h"

#include "assistant/LauncherFiles.h"
#include "logic/LauncherMessages.h"
#include "logic/VirtualStore.h"
#include "platform/Process.h"

bool CLogic::StartWork() {
    if (settings_.runMode != rmDownload && settings_.runMode != rmSetLongName && !ReplaceLoader())
        return true;
    if (settings_.runMode == rmUninstaller) {
        if (settings_.runCommand == rcUninstall)
            View().ShowFirstPage(1);
        else
            ShowUninstallQuestion();
        caption_ = GetString(98);
        View().SetCaption(caption_);
        // "/uninstall" hands over to a copy outside the installation, which
        // can delete it; "/u" and "/ug" wait for the user's answer.
        if (settings_.runCommand == rcUninstall && RunTemporaryUninstaller())
            FinishAndQuit();
        return true;
    }
    if (settings_.runMode == rmSetLongName) {
        Log(L"Process SetLongName Started", false);
        logic::ClearVirtualStore(settings_.workFolder, log_);
        RunAssistant(eLauncherCmd_SetLongName);
        return true;
    }
    if (settings_.needNetwork) {
        View().ShowFirstPage(3);
        if (!networkStarted_ && !StartNetwork()) {
            ShowError(71, kBoxFatal);
            return true;
        }
    }
    if (!settings_.ucrtPresent)
        downloader_.DownloadKB(settings_.kbUrl);
    else if (settings_.runMode != rmInstall || settings_.singlePageMode)
        cycle_.RequestManifest();
    else
        cycle_.RequestLicense();
    return true;
}

void CLogic::Uninit() {
    BlankLine();
    Log(L"--- Start Uninit ---");
    BlankLine();
    if (urlSelector_.IsInitialised())
        urlSelector_.Save(true);
    if (settings_.runCommand == rcDownload) {
        Log(L"Send finish to client");
        plat::PostMessage(settings_.clientWindow, eWindowsMessage_ClientFinish, 0, 2);
    }
    if (settings_.portable && settings_.runMode == rmUninstaller) {
        Log(L"Stop uninstaller thread");
        uninstaller_.RequestStop();
        uninstaller_.Stop(1000);
    } else {
        Log(L"Stop checker & unpaker threads");
        cycle_.StopWorkers();
    }
    StopNetwork();
    BlankLine();
    if (themeFonts_)
        themeFonts_->UninitFonts();
    BlankLine();
    Log(L"Delete fonts from temp");
    BlankLine();
    Log(L"--- Uninit finished ---");
    BlankLine();
}

bool CLogic::RestartAs(const std::wstring& fileName, const std::wstring& folder) {
    plat::ProcessStartInfo info;
    info.commandLine =
        assistant::BuildRestartCommandLine(folder.empty() ? plat::GetExecutableFolder() : folder,
                                           fileName, settings_.fast, settings_.autoMode);
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

void CLogic::OnServerInfoReady() {
    if (settings_.runMode == rmDownload) {
        // The client that asked gets its pipe answered once; each of its
        // tasks is checked when its turn comes.
        if (!clientPipe_.IsOpen()) {
            OpenClientPipe();
            if (exiting_)
                return;
            cycle_.AddPackages().Load();
        }
        if (taskLoading_)
            cycle_.ReleaseChecker(cycle_.InstallFolder(), {});
        return;
    }
    externalApps_.clear();
    if (!settings_.fast) {
        for (const update::ExternalApp& app : cycle_.ExternalApps())
            externalApps_.push_back(
                ExternalAppChoice{app.name, app.exec, app.help, app.cmdl, app.selected, false});
    }
    // The single install page shows the folder it proposes before the
    // user may press Install.
    if (settings_.singlePageMode && settings_.runMode == rmInstall)
        ChooseInstallFolder(userFolder_);
    View().ContinueInstallPages();
    if (settings_.runMode == rmUpdate) {
        // The pages of the external applications, if any, then the check.
        OnNextIcons();
    } else if (settings_.singlePageMode) {
        if (settings_.runMode != rmSetLongName && settings_.autoMode)
            BeginInstallation();
    } else if (settings_.runMode == rmInstall) {
        View().ShowTermsPage();
    }
}

void CLogic::OnCheckFinished() {
    if (!externalApps_.empty() && !settings_.portable && settings_.runMode != rmDownload) {
        // The shortcuts of the external applications are machine-wide: the
        // assistant makes them, and its answer starts the download.
        RunAssistant(eLauncherCmd_IconUpdate);
        return;
    }
    if (settings_.runMode != rmDownload)
        RefreshShortcuts();
    cycle_.StartDownload();
}
