#include "logic/AssistantResults.h"

const char* AssistantCommandName(int command) {
    switch (command) {
    case 1:
        return "::eLauncherCmd_Install";
    case 2:
        return "::eLauncherCmd_InstallKB";
    case 3:
        return "::eLauncherCmd_Uninstall";
    case 4:
        return "::eLauncherCmd_GetRights";
    case 5:
        return "::eLauncherCmd_IconUpdate";
    case 6:
        return "::eLauncherCmd_Progress";
    case 7:
        return "::eLauncherCmd_KillProcess";
    case 8:
        return "::eLauncherCmd_SetLongName";
    case 9:
        return "::eLauncherCmd_Cancel";
    default:
        return nullptr;
    }
}

std::string AssistantResultText(int result, unsigned lastError) {
    switch (result) {
    case 0:
        return " .. OK";
    case 1:
        return " .. error: CntCreateDir";
    case 2:
        return " .. error: ShortInstallationPath";
    case 3:
        return " .. error: EmptyFullNameEx";
    case 4:
        return " .. error: CntSetRights";
    case 5:
        return " .. error: CntCreateUninstallRegPath";
    case 7:
        return " .. error: CntPutInstDirToReg";
    case 8:
        return " .. error: CntDelInstDirFromReg";
    case 9:
        return " .. error: CntFoundDir";
    case 10:
        return " .. error: CntMakeSD";
    case 11:
        return " .. error: CntOpenPipe, GetLastError() = " + std::to_string(lastError);
    case 12:
        return " .. error: CntReadPipe";
    case 13:
        return " .. error: UnknownPipeCmd";
    case 14:
        return " .. error: CntKillProcess";
    default:
        return " .. error: Unknown";
    }
}
