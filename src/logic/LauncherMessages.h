#pragma once
// The window messages of the launcher window, its retry timers and the
// assistant command codes. The values are the interface between the
// launcher's processes and threads. A message a lower layer posts (the
// checker, the unpacker, the uninstaller, the downloader, the assistant) is
// defined once, by that layer, and named here after it; the others are
// posted by the launcher itself or by other processes.

#include "assistant/AssistantProtocol.h"
#include "net/DownloaderMessages.h"
#include "platform/Window.h"
#include "update/CheckerMessages.h"
#include "update/UninstallerMessages.h"
#include "update/UnpackerMessages.h"

#include <cstdint>

enum eWindowsMessage : std::uint32_t {
    eWindowsMessage_LauncherAssistantInitResult =
        assistant::eWindowsMessage_LauncherAssistantInitResult,
    eWindowsMessage_LauncherAssistantWorkResult =
        assistant::eWindowsMessage_LauncherAssistantWorkResult,
    eWindowsMessage_LauncherAssistantNotAdmin =
        assistant::eWindowsMessage_LauncherAssistantNotAdmin,
    eWindowsMessage_Exit = plat::WM_USER + 1500,
    eWindowsMessage_ClientRunFailed = plat::WM_USER + 1501,
    eWindowsMessage_NewTask = plat::WM_USER + 1550,
    eWindowsMessage_UnpackThreadFinished = update::kUnpackThreadFinishedMessage,
    eWindowsMessage_CheckThreadFinished = update::kCheckThreadFinishedMessage,
    eWindowsMessage_UninstallThreadFinished = update::kUninstallThreadFinishedMessage,
    eWindowsMessage_UnpackProgress = update::kUnpackProgressMessage,
    eWindowsMessage_UninstallProgress = update::kUninstallProgressMessage,
    eWindowsMessage_ClientFinish = plat::WM_USER + 1651, // to a served client
    eWindowsMessage_DownloadProgress = NetEx::kMsgDownloadProgress,
    eWindowsMessage_DownloadCompleted = NetEx::kMsgDownloadCompleted,
    eWindowsMessage_IconTrayCallbackMessage = plat::WM_USER + 1701,
    eWindowsMessage_LeaveSilentDownload = plat::WM_USER + 1710,
    eWindowsMessage_SilentDownloadRequest = plat::WM_USER + 1711,
    eWindowsMessage_ShowBeforeClose = plat::WM_USER + 1712,
    // A page was shown: its picture is saved (screenshots asked for by the
    // environment; wParam: the page).
    eWindowsMessage_SaveScreenshot = plat::WM_USER + 1720,
};

// The numbers other processes and the original's peers know: the messages
// defined by the lower layers keep them.
static_assert(eWindowsMessage_LauncherAssistantInitResult == plat::WM_USER + 1300);
static_assert(eWindowsMessage_LauncherAssistantWorkResult == plat::WM_USER + 1301);
static_assert(eWindowsMessage_LauncherAssistantNotAdmin == plat::WM_USER + 1302);
static_assert(eWindowsMessage_UnpackThreadFinished == plat::WM_USER + 1600);
static_assert(eWindowsMessage_CheckThreadFinished == plat::WM_USER + 1601);
static_assert(eWindowsMessage_UninstallThreadFinished == plat::WM_USER + 1602);
static_assert(eWindowsMessage_UnpackProgress == plat::WM_USER + 1603);
static_assert(eWindowsMessage_UninstallProgress == plat::WM_USER + 1604);
static_assert(eWindowsMessage_DownloadProgress == plat::WM_USER + 1690);
static_assert(eWindowsMessage_DownloadCompleted == plat::WM_USER + 1691);

// One-shot retry timers of the dialog window, 1000 ms each.
enum eRetryTimer : std::uint64_t {
    eRetryTimer_ClientUpdateData = 2222,
    eRetryTimer_License = 2223,
    eRetryTimer_Manifest = 2224,
    eRetryTimer_UpdateFile = 2225,
};

// The launcher window's other timers: the balloon of a finished silent
// download (its end where no notification area reports it), and the check
// that the client a "/download" run serves still runs.
enum eOwnTimer : std::uint64_t {
    eTimer_BalloonTimeout = 2730,
    eTimer_ClientWatch = 2731,
};

// The answers to a client that a "/download" run serves.
enum : std::uint32_t {
    eWindowsMessage_ClientReady = plat::WM_USER + 1650,
};
// eWindowsMessage_ClientFinish answers a task: lParam 3 done, 1 the request
// was unreadable, 2 the launcher finishes.
enum : plat::LPARAM {
    kTaskDone = 3,
    kTaskUnreadable = 1,
    kLauncherFinishing = 2,
};

// The assistant's commands, defined by the assistant layer.
using assistant::eLauncherCmd;
using assistant::eLauncherCmd_Cancel;
using assistant::eLauncherCmd_GetRights;
using assistant::eLauncherCmd_IconUpdate;
using assistant::eLauncherCmd_Install;
using assistant::eLauncherCmd_InstallKB;
using assistant::eLauncherCmd_KillProcess;
using assistant::eLauncherCmd_None;
using assistant::eLauncherCmd_Progress;
using assistant::eLauncherCmd_SetLongName;
using assistant::eLauncherCmd_Uninstall;

// Tray menu commands.
enum : std::uint32_t {
    kTrayCommandExit = 32773,
    kTrayCommandToggle = 32775,
};
