#include "assistant/AssistantProtocol.h"

#include "platform/FileSystem.h"

namespace assistant {

const char* AssistantCommandName(int command) {
    switch (command) {
    case eLauncherCmd_Install:
        return "::eLauncherCmd_Install";
    case eLauncherCmd_InstallKB:
        return "::eLauncherCmd_InstallKB";
    case eLauncherCmd_Uninstall:
        return "::eLauncherCmd_Uninstall";
    case eLauncherCmd_GetRights:
        return "::eLauncherCmd_GetRights";
    case eLauncherCmd_IconUpdate:
        return "::eLauncherCmd_IconUpdate";
    case eLauncherCmd_Progress:
        return "::eLauncherCmd_Progress";
    case eLauncherCmd_KillProcess:
        return "::eLauncherCmd_KillProcess";
    case eLauncherCmd_SetLongName:
        return "::eLauncherCmd_SetLongName";
    case eLauncherCmd_Cancel:
        return "::eLauncherCmd_Cancel";
    default:
        return nullptr;
    }
}

std::string AssistantResultText(int result, unsigned lastError) {
    switch (result) {
    case kResultOk:
        return " .. OK";
    case kCntCreateDir:
        return " .. error: CntCreateDir";
    case kShortInstallationPath:
        return " .. error: ShortInstallationPath";
    case kEmptyFullNameEx:
        return " .. error: EmptyFullNameEx";
    case kCntSetRights:
        return " .. error: CntSetRights";
    case kCntCreateUninstallRegPath:
        return " .. error: CntCreateUninstallRegPath";
    case kCntPutInstDirToReg:
        return " .. error: CntPutInstDirToReg";
    case kCntDelInstDirFromReg:
        return " .. error: CntDelInstDirFromReg";
    case kCntFoundDir:
        return " .. error: CntFoundDir";
    case kCntMakeSD:
        return " .. error: CntMakeSD";
    case kCntOpenPipe:
        return " .. error: CntOpenPipe, GetLastError() = " + std::to_string(lastError);
    case kCntReadPipe:
        return " .. error: CntReadPipe";
    case kUnknownPipeCmd:
        return " .. error: UnknownPipeCmd";
    case kCntKillProcess:
        return " .. error: CntKillProcess";
    default:
        return " .. error: Unknown";
    }
}

bool IsRunnableCommand(int command) {
    return (command >= eLauncherCmd_Install && command <= eLauncherCmd_IconUpdate) ||
           command == eLauncherCmd_KillProcess || command == eLauncherCmd_SetLongName;
}

bool CommandSendsBlock(int command) {
    return IsRunnableCommand(command) && command != eLauncherCmd_InstallKB;
}

std::wstring AssistantPipeName(const std::wstring& assistantPath) {
    return L"\\\\.\\pipe\\launcher_" + plat::FileNameOf(assistantPath);
}

} // namespace assistant
