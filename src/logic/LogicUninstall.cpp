// CLogic uninstalling and moving: the temporary uninstaller copy of a
// "/uninstall" run, the uninstallation the user confirmed (through the
// assistant, or by the uninstaller thread for a portable installation,
// which acts only on a folder that is one), and the restart from a moved
// folder.

#include "logic/Logic.h"

#include "assistant/AssistantChecks.h"
#include "assistant/FolderUtils.h"
#include "assistant/LauncherFiles.h"
#include "assistant/ProcessKill.h"
#include "assistant/Shortcuts.h"
#include "base/Strings.h"
#include "logic/InstallRules.h"
#include "logic/LauncherMessages.h"
#include "logic/VirtualStore.h"
#include "platform/FileSystem.h"
#include "platform/FolderTree.h"
#include "platform/Folders.h"
#include "platform/Process.h"
#include "platform/ProcessList.h"
#include "platform/TempFileName.h"

#include <chrono>
#include <thread>

namespace {

// The pause after the other launchers of the folder were told to end.
constexpr auto kOthersClosedPause = std::chrono::milliseconds(100);

std::wstring WithoutTrailingSeparator(std::wstring path) {
    while (path.size() > 1 && (path.back() == L'/' || path.back() == L'\\'))
        path.pop_back();
    return path;
}

} // namespace

bool CLogic::RunTemporaryUninstaller() {
    const std::wstring temp = plat::GetTempFolder();
    std::wstring name;
    if (temp.empty() || !plat::MakeTempFileName(temp, L"UNS", &name)) {
        View().ShowMessageBox(GetString(96), kBoxFatal, kBoxButtonsOk, true, 0);
        return false;
    }
    assistant::RegisterForDeletion(name);
    const std::wstring copy = name.substr(0, name.size() - 4) + L".exe";
    if (!assistant::CopyFileWhole(plat::GetExecutablePath(), copy)) {
        View().ShowMessageBox(GetString(96), kBoxFatal, kBoxButtonsOk, true, 0);
        return false;
    }
    assistant::RegisterForDeletion(copy);
    const std::wstring commandLine = logic::TemporaryUninstallerCommandLine(
        copy, settings_.portable, settings_.uninstallPath,
        WithoutTrailingSeparator(plat::GetExecutableFolder()));
    Log(L"Command line to run temporary uninstaller: " + commandLine);
    plat::ProcessStartInfo info;
    info.commandLine = commandLine;
    info.workingFolder = temp;
    plat::Process process;
    if (!process.Start(info)) {
        View().ShowMessageBox(GetString(97), kBoxFatal, kBoxButtonsOk, true, 0);
        Log(L"Failed to start temporary uninstaller");
        return false;
    }
    process.Close();
    Log(L"Temporary uninstaller successfully started");
    return true;
}

bool CLogic::MayUninstallPortable(const std::wstring& folder, std::string* why) const {
    plat::OpenFolder open;
    if (!assistant::OpenWorkFolder(folder, assistant::kLauncherFileName, true, &open, why))
        return false;
    if (!open.HoldsFile(L"guest.dat")) {
        *why = "the folder holds no guest.dat";
        return false;
    }
    // The uninstaller never deletes the folder it runs from.
    const std::wstring own =
        plat::ResolvedPath(WithoutTrailingSeparator(plat::GetExecutableFolder()));
    if (open.ResolvedPath() == own) {
        *why = "the folder is the uninstaller's own";
        return false;
    }
    return true;
}

void CLogic::StartUninstall() {
    Log(std::wstring(L"Process Uninstall Started in ") +
        (settings_.portable ? L"Guest mode" : L"Standard mode"));
    const std::wstring folder = AssistantFolder();
    logic::ClearVirtualStore(folder, log_);
    // Every launcher of the installation ends first: a running one would
    // keep its files.
    cycle_.SetInstallFolder(folder);
    CloseOtherLaunchers(1);
    std::this_thread::sleep_for(kOthersClosedPause);
    if (!othersClosed_) {
        View().ShowMessageBox(GetString(108), kBoxChooseAgain, kBoxButtonsOk, true, 0);
        return;
    }
    if (!settings_.portable) {
        RunAssistant(eLauncherCmd_Uninstall);
        return;
    }
    View().ShowUninstallProgressPage();
    ShowTrayIcon(false);
    if (!EndProcessesOf(ClientPath())) {
        // Files of a running client would stay: nothing is deleted.
        View().ShowMessageBox(GetString(108), kBoxChooseAgain, kBoxButtonsOk, true, 0);
        return;
    }
    Log(L"Install Folder: " + folder);
    std::string why;
    if (folder.size() < 4 || !plat::DirectoryExists(folder) ||
        !MayUninstallPortable(folder, &why)) {
        if (!why.empty())
            Log(L"The folder is not uninstalled: " + base::Utf8ToWide(why));
        FinishUninstall(false);
        return;
    }
    uninstaller_.Setup(dialog_.Window(), settings_.uninstallPath, folder,
                       assistant::kLauncherFileName, settings_.fullNameW);
    if (!uninstaller_.Start())
        FinishUninstall(false);
}

void CLogic::FinishUninstall(bool success) {
    Log(L"Process Uninstall Finished");
    View().ShowUninstallResult(success);
}

void CLogic::RestartFromNewFolder() {
    assistant::MoveArguments move;
    if (!assistant::ParseMoveArguments(settings_.argumentText, &move))
        return;
    const std::wstring folder = WithoutTrailingSeparator(move.destination);
    const std::wstring launcher = plat::JoinPath(folder, assistant::kLauncherFileName);
    // The user's own shortcuts are made anew; those of all users are the
    // assistant's, made for the new folder already.
    assistant::DeleteAllShortcuts(launcher, settings_.fullNameW, true);
    NotBuilt(L"recording the finished move in the change journal");
    cycle_.SetInstallFolder(folder);
    if (plat::FileExists(plat::JoinPath(folder, L"guest.dat"))) {
        CreateGuestShortcuts();
    } else {
        shortcutEntries_.clear();
        const std::wstring name =
            settings_.iconName.empty() ? settings_.fullNameW : base::Utf8ToWide(settings_.iconName);
        shortcutEntries_.push_back(
            assistant::AssistantIcon{name, assistant::kLauncherFileName, true});
        if (settings_.iconDesktop)
            UpdateDesktopShortcuts(false);
    }
    plat::ProcessStartInfo info;
    info.commandLine = L"\"" + launcher + L"\" /skiptest";
    info.workingFolder = plat::GetTempFolder();
    Log(L"SetLongName - run launcher from: " + info.commandLine);
    plat::Process process;
    if (process.Start(info))
        process.Close();
}
