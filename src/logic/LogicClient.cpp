// CLogic and the game client: its start with the command line and the
// watcher of its start confirmation, the search for its window with the
// identity check, bringing it forward, and the results of a start.

#include "logic/Logic.h"

#include "logic/LangFormat.h"

#include "assistant/ProcessKill.h"
#include "base/Strings.h"
#include "config/StubFields.h"
#include "logic/LangFormat.h"
#include "logic/LauncherMessages.h"
#include "logic/SilentDownload.h"
#include "platform/FileSystem.h"

#include <cwchar>

namespace {

// The identity check's number and time limit.
constexpr std::uint64_t kIdentityCheckNumber = 1000;
constexpr int kSendLimitMs = 5000;

} // namespace

std::wstring CLogic::ClientPath() const {
    return plat::JoinPath(cycle_.InstallFolder(),
                          plat::NativePath(base::Utf8ToWide(settings_.clientProcess)));
}

bool CLogic::ClientsRunning() const {
    return assistant::IsRunningFromPath(ClientPath());
}

plat::HWND CLogic::FindClientWindow() {
    Log(L"Searching for client windows...");
    clientWindow_ = 0;
    // The short name and a zero byte: the client answers for its own name.
    plat::CopyData identity;
    identity.number = kIdentityCheckNumber;
    identity.bytes = settings_.shortName + std::string(1, '\0');
    for (plat::HWND window : plat::FindWindowsByClass(settings_.clientWindowClass)) {
        std::wstring className;
        // The search ignores case; the client's class must match exactly.
        if (!plat::GetWindowClassName(window, &className) ||
            className != settings_.clientWindowClass)
            continue;
        Log(L"Found client window, checking Id... ", false);
        plat::LRESULT answer = 0;
        if (!plat::SendCopyData(window, dialog_.Window(), identity, kSendLimitMs, &answer)) {
            Log(base::FormatW(L"failed to send message, error code = %u.",
                              static_cast<unsigned>(plat::GetLastError())));
            continue;
        }
        if (answer != 0) {
            Log(L"match.");
            clientWindow_ = window;
            break;
        }
        Log(L"doesn't match.");
    }
    return clientWindow_;
}

void CLogic::BringClientWindowForward(plat::HWND window) {
    runThreadDone_ = true;
    if (window == 0)
        window = FindClientWindow();
    if (window == 0)
        return;
    plat::ShowWindow(window, plat::SW_RESTORE);
    plat::SetForegroundWindow(window);
}

bool CLogic::RunClient() {
    Log(L"RunClient()");
    // The client reads the current server data from the saved file.
    if (urlSelector_.IsInitialised())
        urlSelector_.Save(false);
    logic::ClientCommandParts parts;
    parts.installFolder = cycle_.InstallFolder();
    parts.clientCommand = settings_.clientCommand;
    parts.serverAddress = urlSelector_.SelectedUrl();
    parts.extras = clientExtras_;
    parts.affiliateId = config::ReadStubValue("AFFILIATE_ID", config::kStubAffiliateId);
    parts.referrerId = config::ReadStubValue("REFERRER_ID", config::kStubReferrerId);
    parts.promoCode = config::ReadStubValue("PROMOCODE", config::kStubPromocodeId);
    parts.updateUrl = settings_.updateUrl;
    const std::wstring commandLine = logic::BuildClientCommandLine(parts);

    const plat::HWND window = FindClientWindow();
    if (settings_.debugMode || configuration_.multiRun || window == 0) {
        clientRunFailed_ = false;
        Log(L"RunClient() : CreateThread");
        logic::CClientStartWatcher::Job job;
        job.window = dialog_.Window();
        job.commandLine = commandLine;
        job.timeoutMs = clientStartTimeoutMs_;
        job.exitMessage = eWindowsMessage_Exit;
        job.failedMessage = eWindowsMessage_ClientRunFailed;
        clientThreadRunning_ = clientWatcher_.Start(job);
        Log(clientThreadRunning_ ? L"  .. ok" : L"  .. fail");
        if (clientThreadRunning_)
            Log(L"Client command line: " + commandLine);
        return true;
    }
    // A client runs already: it comes forward instead of a second one.
    runThreadDone_ = true;
    plat::ShowWindow(window, plat::SW_RESTORE);
    plat::SetForegroundWindow(window);
    return true;
}

void CLogic::OnClientStarted() {
    clientThreadRunning_ = false;
    runThreadDone_ = true;
}

void CLogic::OnClientRunFailed() {
    clientThreadRunning_ = false;
    clientRunFailed_ = true;
    if (settings_.silentMode) {
        SetSilentDownload(false);
        return;
    }
    // A client that could not start leaves nothing for a silent downloader
    // to wait for: the others show their windows.
    if (settings_.silentDownload && !ClientsRunning())
        CloseOtherLaunchers(0);
    View().ShowMessageBox(
        logic::FormatLangText(GetString(logic::kLangClientStartTooLong), settings_.fullNameW),
        kBoxFatal, kBoxButtonsOk, true, 0);
}

void CLogic::ReachLaunchStep(const wchar_t* how) {
    Log(std::wstring(L"Launch step reached (") + how + L")");
    if (std::wcscmp(how, logic::kLaunchButton) == 0) {
        OnLaunch();
        return;
    }
    View().ShowLaunchPage();
}
