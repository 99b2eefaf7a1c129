// CLogic and the elevated assistant: the start of a command, its answers
// and what follows each of them, and the cancel.

#include "logic/Logic.h"

#include "assistant/AppList.h"
#include "assistant/AssistantDataBuilder.h"
#include "assistant/AssistantProtocol.h"
#include "assistant/LauncherFiles.h"
#include "assistant/ProcessKill.h"
#include "base/Strings.h"
#include "config/ConfigKeys.h"
#include "log/LogImplW.h"
#include "logic/LangFormat.h"
#include "logic/LauncherMessages.h"
#include "logic/VirtualStore.h"
#include "platform/Elevation.h"
#include "platform/FileSystem.h"
#include "platform/FolderTree.h"
#include "platform/ShellFolders.h"

#include <optional>

namespace {

std::optional<std::wstring> ConfigLink(const config::CConfigDocument& doc,
                                       const config::TextKey& key) {
    std::string value;
    if (!doc.Read(key, &value))
        return std::nullopt;
    return base::Utf8ToWide(value);
}

} // namespace

std::wstring CLogic::AssistantFolder() const {
    if (settings_.runMode == rmSetLongName ||
        (settings_.runMode == rmUninstaller && !settings_.workFolder.empty()))
        return settings_.workFolder;
    return cycle_.InstallFolder();
}

bool CLogic::RunAssistant(int command) {
    pendingAssistantCommand_ = command;
    assistant_.SetLog(log_);
    if (!assistant_.Prepare()) {
        ShowAssistantStartFailure(105);
        return false;
    }
    View().ShowWorkPage();
    if (!assistant_.Start(command, dialog_.Window())) {
        ShowAssistantStartFailure(105);
        return false;
    }
    // From here the launcher waits for the assistant's first answer.
    return true;
}

void CLogic::ShowAssistantStartFailure(int stringId) {
    View().ShowMessageBox(GetString(stringId), kBoxAssistantStartFailed, kBoxButtonsRetryCancel,
                          true, 0);
}

bool CLogic::CancelAssistant() {
    return assistant_.Cancel();
}

bool CLogic::FillDataForAssistant(assistant::AssistantData* data) {
    assistant::AssistantDataSource source;
    source.command = pendingAssistantCommand_;
    source.installFolder = AssistantFolder();
    source.userName = plat::GetUserAccountName();
    source.shortName = base::Utf8ToWide(settings_.shortName);
    source.fullName = settings_.fullNameW;
    source.iconName = base::Utf8ToWide(settings_.iconName);
    source.regPath = base::Utf8ToWide(configuration_.regPath);
    source.serverUrl = base::Utf8ToWide(urlSelector_.SelectedUrl());
    source.helpLink = ConfigLink(configuration_.configDoc, config::keys::kUninstallHelpLink);
    source.urlInfoAbout =
        ConfigLink(configuration_.configDoc, config::keys::kUninstallUrlInfoAbout);
    source.urlUpdateInfo =
        ConfigLink(configuration_.configDoc, config::keys::kUninstallUrlUpdateInfo);
    plat::GetSpecialFolderPath(plat::kCsidlDesktop, &source.desktopFolder);
    source.launcherName = assistant::kLauncherFileName;
    source.clientProcess = plat::NativePath(base::Utf8ToWide(settings_.clientProcess));
    source.moveArguments = settings_.argumentText;
    source.programShortcuts = settings_.iconPrograms;
    source.programFolderIcon = settings_.iconProgramsFolder;
    source.withShortcutEntries = !settings_.portable || settings_.runMode == rmSetLongName;
    plat::OpenFolder folder;
    if (folder.Open(source.installFolder))
        assistant::ReadAppList(folder, &source.oldShortcuts);
    std::wstring line;
    bool filled = assistant::BuildAssistantData(source, data, &line);
    Log(line);
    return filled;
}

void CLogic::OnAssistantInitResult(plat::WPARAM processId, plat::LPARAM result) {
    Log(L"OnUserMessage: eWindowsMessage_LauncherAssistantInitResult", false);
    if (result != 0) {
        // wParam carries the system error of the assistant's failed open.
        Log(L"::eLauncherCmd_Init", false);
        Log(base::Utf8ToWide(assistant::AssistantResultText(static_cast<int>(result),
                                                            static_cast<unsigned>(processId))));
        ShowError(101, kBoxFatal);
        return;
    }
    const int command = pendingAssistantCommand_;
    const char* name = assistant::AssistantCommandName(command);
    if (!name || !assistant::IsRunnableCommand(command)) {
        Log(L" .. error: unknown eLauncherCmd");
        ShowError(101, kBoxFatal);
        return;
    }
    if (!assistant_.OnConnected(static_cast<std::uint32_t>(processId))) {
        Log(base::FormatW(L" .. error: no assistant process %llu",
                          static_cast<unsigned long long>(processId)));
        ShowError(101, kBoxFatal);
        return;
    }
    Log(base::Utf8ToWide(std::string(name) + " .. OK"));
    if (command == eLauncherCmd_InstallKB) {
        assistant_.SendCommand();
        return;
    }
    assistant::AssistantData data;
    if (!FillDataForAssistant(&data) || !assistant_.SendData(data)) {
        // Nothing was sent: the assistant ends when its pipe does.
        assistant_.ClosePipe();
        View().ShowMessageBox(GetString(107), kBoxChooseAgain, kBoxButtonsOk, true, 0);
    }
}

void CLogic::OnAssistantWorkResult(plat::WPARAM command, plat::LPARAM result) {
    if (command == eLauncherCmd_Progress) {
        View().ShowWorkProgress(static_cast<int>(result));
        return;
    }
    Log(L"OnUserMessage: eWindowsMessage_LauncherAssistantWorkResult", false);
    assistant_.ClosePipe();
    const char* name = command >= eLauncherCmd_Install && command <= eLauncherCmd_SetLongName
                           ? assistant::AssistantCommandName(static_cast<int>(command))
                           : nullptr;
    if (!name) {
        Log(L"error: unknown eLauncherCmd");
        ShowError(101, kBoxFatal);
        return;
    }
    Log(base::Utf8ToWide(std::string(name) +
                         assistant::AssistantResultText(static_cast<int>(result), 0)));
    // The assistant's own log goes away with its copy: its lines are kept
    // in the launcher's.
    assistant_.CopyAssistantLog();
    // An answer to another command than the one in progress is no success.
    const bool requested = static_cast<int>(command) == pendingAssistantCommand_;
    const bool ok = result == 0 && requested;
    switch (command) {
    case eLauncherCmd_Install:
        if (ok) {
            // The installation is registered: the user's shortcuts, then the
            // folder for the check.
            if (settings_.iconDesktop)
                UpdateDesktopShortcuts(false);
            PrepareInstalledFolder();
        } else if (result == assistant::kTooManyInstallations) {
            View().ShowMessageBox(logic::FormatLangText(GetString(logic::kLangMaxClientsReached),
                                                        settings_.fullNameW),
                                  kBoxChooseAgain, kBoxButtonsOk, true, 0);
        } else {
            View().ShowMessageBox(GetString(108), kBoxChooseAgain, kBoxButtonsOk, true, 0);
        }
        break;
    case eLauncherCmd_InstallKB:
        if (result == 0) {
            settings_.ucrtPresent = true;
            StartWork();
        } else {
            View().ShowMessageBox(GetString(116), kBoxFatal, kBoxButtonsOk, true, 0);
        }
        break;
    case eLauncherCmd_Uninstall:
        if (requested && result == assistant::kCntKillProcess)
            View().ShowMessageBox(GetString(108), kBoxChooseAgain, kBoxButtonsOk, true, 0);
        else
            FinishUninstall(ok);
        break;
    case eLauncherCmd_GetRights:
        if (ok)
            StartWork();
        else
            View().ShowMessageBox(GetString(70), kBoxFatal, kBoxButtonsOk, true, 0);
        break;
    case eLauncherCmd_IconUpdate:
        if (ok)
            UpdateDesktopShortcuts(false);
        cycle_.StartDownload();
        break;
    case eLauncherCmd_KillProcess:
        FinishAndQuit();
        break;
    case eLauncherCmd_SetLongName:
        if (ok) {
            RestartFromNewFolder();
            FinishAndQuit();
        } else if (RestartOldFolder()) {
            FinishAndQuit();
        } else {
            View().ShowMessageBox(GetString(108), kBoxChooseAgain, kBoxButtonsOk, true, 0);
        }
        break;
    default:
        break;
    }
}
