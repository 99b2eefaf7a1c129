#pragma once
// The vocabulary the launcher and its elevated assistant share: command
// codes on the pipe, result codes in the answers, the answer messages and
// the pipe's name. The values are the interface between the two processes.
// Pure; any thread.

#include "platform/Window.h"

#include <cstdint>
#include <string>

namespace assistant {

// Commands, written to the pipe as 32-bit little-endian numbers and returned
// in the work answer.
enum eLauncherCmd : std::int32_t {
    eLauncherCmd_None = 0, // no command in progress; never on the pipe
    eLauncherCmd_Install = 1,
    eLauncherCmd_InstallKB = 2,
    eLauncherCmd_Uninstall = 3,
    eLauncherCmd_GetRights = 4,
    eLauncherCmd_IconUpdate = 5,
    eLauncherCmd_Progress = 6, // answers only: lParam is a percentage
    eLauncherCmd_KillProcess = 7,
    eLauncherCmd_SetLongName = 8,
    eLauncherCmd_Cancel = 9, // written while a command runs
};

// Results of a command (lParam of the work answer).
enum eAssistantResult : std::int32_t {
    kResultOk = 0,
    kCntCreateDir = 1,
    kShortInstallationPath = 2,
    kEmptyFullNameEx = 3,
    kCntSetRights = 4,
    kCntCreateUninstallRegPath = 5,
    kTooManyInstallations = 6, // also: the client still runs
    kCntPutInstDirToReg = 7,
    kCntDelInstDirFromReg = 8,
    kCntFoundDir = 9,
    kCntMakeSD = 10,
    kCntOpenPipe = 11,
    kCntReadPipe = 12,
    kUnknownPipeCmd = 13,
    kCntKillProcess = 14,
    kPackageStartFailed = 15,
    kPackageWaitFailed = 16,
    kPackageFailed = 17,
};

// The answers, posted to the launcher's main window.
enum : std::uint32_t {
    // wParam: the assistant's process id, or the system error of a failed
    // pipe open; lParam: 0, or kCntOpenPipe.
    eWindowsMessage_LauncherAssistantInitResult = plat::WM_USER + 1300,
    // wParam: the command (eLauncherCmd_Progress for progress); lParam: the
    // result, or the percentage.
    eWindowsMessage_LauncherAssistantWorkResult = plat::WM_USER + 1301,
    // The assistant was started without administrator rights.
    eWindowsMessage_LauncherAssistantNotAdmin = plat::WM_USER + 1302,
};

// "::eLauncherCmd_Install" and the others for 1 to 9; nullptr otherwise.
const char* AssistantCommandName(int command);
// " .. OK" for 0, " .. error: <name>" for the named failures (11 carries the
// system error the assistant reported), " .. error: Unknown" otherwise.
std::string AssistantResultText(int result, unsigned lastError);

// The commands the assistant runs: 1 to 5, 7 and 8.
bool IsRunnableCommand(int command);
// Every runnable command but InstallKB sends the data block.
bool CommandSendsBlock(int command);

// The assistant copy's file name in the temporary folder, and the prefix of
// a unique one when that name is taken.
inline constexpr wchar_t kAssistantFileName[] = L"LauncherAssistant.exe";
inline constexpr wchar_t kAssistantFilePrefix[] = L"LauncherAssistant";

// "\\.\pipe\launcher_<file name>" for the assistant file at that path.
std::wstring AssistantPipeName(const std::wstring& assistantPath);

} // namespace assistant
