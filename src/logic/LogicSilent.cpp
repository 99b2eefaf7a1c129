// CLogic and the other launchers of the same executable: which one
// downloads silently beside the running client, the hidden window with its
// notification-area icon, leaving silent download, and ending the launchers
// of an installation before it is uninstalled.

#include "logic/Logic.h"

#include "assistant/LauncherFiles.h"
#include "assistant/ProcessKill.h"
#include "base/Strings.h"
#include "logic/LauncherMessages.h"
#include "logic/SilentDownload.h"
#include "platform/FileSystem.h"
#include "platform/NamedPipe.h"
#include "platform/Process.h"
#include "platform/ProcessList.h"

#include <chrono>
#include <thread>

namespace {

constexpr int kSendLimitMs = 5000;
// How long the asking launcher waits for the one byte of the answer after
// its request has returned.
constexpr int kSilentAnswerWaitMs = 2000;
constexpr int kSilentAnswerPollMs = 20;

std::wstring SilentPipeName(std::uint32_t pid) {
    return L"\\\\.\\pipe\\launcher_silent_" + std::to_wstring(pid);
}

// The other processes of the user that run the executable at `path`.
std::vector<logic::LauncherProcess> LaunchersOf(const std::wstring& path) {
    std::vector<logic::LauncherProcess> found;
    const std::wstring wanted = plat::ResolvedPath(path);
    const std::uint32_t self = plat::GetCurrentProcessId();
    for (std::uint32_t pid : plat::ListProcessIds()) {
        std::wstring executable;
        if (pid == self || !plat::GetProcessExecutable(pid, &executable) || executable != wanted ||
            !plat::IsProcessOfInvokingUser(pid))
            continue;
        logic::LauncherProcess process;
        process.pid = pid;
        plat::GetProcessStartTime(pid, &process.startTicks);
        found.push_back(process);
    }
    return found;
}

// The launcher windows of a process.
std::vector<plat::HWND> LauncherWindowsOf(std::uint32_t pid) {
    std::vector<plat::HWND> windows;
    for (plat::HWND window : plat::FindWindowsByClass(CDialog::kWindowClass)) {
        if (plat::ProcessIdOfWindow(window) == pid)
            windows.push_back(window);
    }
    return windows;
}

} // namespace

std::wstring CLogic::LauncherExecutable() const {
    return launcherExecutable_.empty() ? plat::GetExecutablePath() : launcherExecutable_;
}

void CLogic::DecideSilentDownloadMode() {
    settings_.silentDownloadMode = logic::sdmFull;
    logic::LauncherProcess self;
    self.pid = plat::GetCurrentProcessId();
    plat::GetProcessStartTime(self.pid, &self.startTicks);
    // Only launchers that started before this one count: of several started
    // together, the first goes on and the others end.
    const std::vector<logic::LauncherProcess> earlier =
        logic::EarlierLaunchers(self, LaunchersOf(LauncherExecutable()));
    if (!earlier.empty()) {
        otherLauncherPid_ = earlier.front().pid;
        otherLauncherIdle_ = true;
        Log(L"Searching for launcher windows...");
        for (plat::HWND window : LauncherWindowsOf(otherLauncherPid_))
            AskLauncherSilentState(window);
    }
    logic::SilentSearch search;
    search.uninstallRun = settings_.runMode == rmUninstaller;
    search.restart = settings_.restart;
    search.earlierLaunchers = static_cast<int>(earlier.size());
    search.otherIdle = otherLauncherIdle_;
    search.silentDownload = settings_.silentDownload;
    settings_.silentDownloadMode = logic::DecideSilentDownloadMode(search);
    Log(std::wstring(L"SilentDownloadMode == ") +
        logic::SilentDownloadModeName(settings_.silentDownloadMode));
}

void CLogic::AskLauncherSilentState(plat::HWND window) {
    plat::NamedPipe pipe;
    if (!pipe.Create(SilentPipeName(otherLauncherPid_))) {
        Log(L"OnEnumSilentDownloadLauncherWindow: CreatePipe .. fail");
        return;
    }
    plat::LRESULT result = 0;
    if (plat::SendMessageTimeout(window, eWindowsMessage_SilentDownloadRequest, 0, 0, kSendLimitMs,
                                 &result)) {
        // The answer was written while the request was handled; a launcher
        // that wrote nothing is not waited for longer than this.
        for (int waited = 0; waited < kSilentAnswerWaitMs; waited += kSilentAnswerPollMs) {
            if (pipe.WaitForData(kSilentAnswerPollMs) >= 1) {
                char state = 0;
                if (pipe.Read(&state, 1))
                    otherLauncherIdle_ = state == 0;
                break;
            }
            if (plat::GetLastError() == plat::kErrPipeNotConnected)
                std::this_thread::sleep_for(std::chrono::milliseconds(kSilentAnswerPollMs));
        }
    }
    pipe.Close();
}

void CLogic::AnswerSilentDownload() {
    Log(L"AnswerSilentDownload()");
    plat::NamedPipe pipe;
    if (!pipe.Open(SilentPipeName(plat::GetCurrentProcessId()))) {
        Log(L"AnswerSilentDownload() : OpenPipe .. fail");
        return;
    }
    const char state = settings_.silentMode ? 1 : 0;
    if (!pipe.Write(&state, 1))
        Log(L"AnswerSilentDownload() : SendPipe .. fail");
}

bool CLogic::EndProcessesOf(const std::wstring& path) {
    return processEnder_ ? processEnder_(path) : assistant::KillByPath(path);
}

void CLogic::CloseOtherLaunchers(int target) {
    othersClosed_ = true;
    std::wstring path;
    if (target == 1) {
        path = plat::JoinPath(cycle_.InstallFolder(), assistant::kLauncherFileName);
    } else {
        if (!settings_.silentDownload)
            return;
        path = LauncherExecutable();
    }
    for (const logic::LauncherProcess& other : LaunchersOf(path)) {
        otherLauncherPid_ = other.pid;
        for (plat::HWND window : LauncherWindowsOf(other.pid)) {
            if (target == 0) {
                plat::PostMessage(window, eWindowsMessage_LeaveSilentDownload, 0, 0);
            } else {
                plat::LRESULT result = 0;
                plat::SendMessageTimeout(window, eWindowsMessage_ShowBeforeClose, 0, 0,
                                         kSendLimitMs, &result);
            }
        }
        if (target == 1) {
            othersClosed_ = EndProcessesOf(path);
            if (!othersClosed_)
                return;
        }
    }
}

void CLogic::SetSilentDownload(bool on) {
    if (on == settings_.silentMode)
        return;
    Log(on ? L"SetSilentDownload(true);" : L"SetSilentDownload(false);");
    const bool severalClients = settings_.debugMode || configuration_.multiRun;
    if (on) {
        settings_.silentMode = true;
        if (!settings_.ForClient()) {
            const plat::HWND window = FindClientWindow();
            if (severalClients || window == 0) {
                RunClient();
            } else {
                runThreadDone_ = true;
                plat::ShowWindow(window, plat::SW_RESTORE);
                plat::SetForegroundWindow(window);
            }
        }
        ShowTrayIcon(true);
        dialog_.Show(false);
        plat::ShowWindow(dialog_.Window(), plat::SW_HIDE);
        mainWindowVisible_ = false;
        return;
    }
    const int mode = settings_.silentDownloadMode;
    const plat::HWND window = FindClientWindow();
    if (window != 0 && !severalClients)
        BringClientWindowForward(window);
    const bool unpackNow =
        mode == logic::sdmFull && (clientRunFailed_ || window == 0) && !clientThreadRunning_;
    const bool restartNow = (runThreadDone_ || settings_.runByClient) && silentDone_;
    if (settings_.runByClient)
        settings_.runByClientCritical = true;
    if (restartNow) {
        settings_.silentMode = false;
        ShowTrayBalloon(false);
        RestartAs(assistant::kLauncherFileName);
        return;
    }
    if (unpackNow) {
        settings_.silentMode = false;
        Log(clientRunFailed_ ? L"  .. run client error, setUnpack()" : L"  .. setUnpack()");
        ShowTrayIcon(false);
        ShowMainWindow(true);
        cycle_.UnpackNow();
        return;
    }
    Log(L"  .. ignore");
}

void CLogic::ShowMainWindow(bool show) {
    dialog_.Show(show);
    plat::ShowWindow(dialog_.Window(), show ? plat::SW_SHOW : plat::SW_HIDE);
    if (show)
        plat::SetForegroundWindow(dialog_.Window());
    mainWindowVisible_ = show;
}

void CLogic::OnShowBeforeClose() {
    ShowTrayIcon(false);
    ShowMainWindow(true);
}
