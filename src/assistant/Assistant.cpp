// The assistant's exchange with its launcher: pipe, command, data block,
// checks, answers. The operations are in AssistantInstall.cpp,
// AssistantUninstall.cpp, AssistantMove.cpp and AssistantSystem.cpp.

#include "assistant/Assistant.h"

#include "assistant/AssistantChecks.h"
#include "assistant/AssistantProtocol.h"
#include "base/Strings.h"
#include "log/ProcessLog.h"
#include "platform/Elevation.h"
#include "platform/Process.h"
#include "platform/Time.h"

namespace assistant {

namespace {

constexpr std::uint64_t kProgressIntervalMs = 55;
// How long the rest of a code that arrived in parts may take.
constexpr int kTrailingCodeWaitMs = 200;

bool NeedsFullName(int command) {
    return command == eLauncherCmd_Install || command == eLauncherCmd_Uninstall ||
           command == eLauncherCmd_IconUpdate || command == eLauncherCmd_SetLongName;
}

} // namespace

CAssistant::CAssistant(plat::HWND launcherWindow) : window_(launcherWindow) {}

CAssistant::~CAssistant() {
    StopCancelWatcher();
    if (GetProcessLog() == &log_)
        SetProcessLog(nullptr);
}

void CAssistant::Log(const std::wstring& text, bool newLine) {
    log_.Write(text, newLine);
}

void CAssistant::Post(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
    if (!plat::PostMessage(window_, message, wParam, lParam))
        Log(base::FormatW(L"PostMessage(%u) failed, error %u", message, plat::GetLastError()));
}

void CAssistant::SetError(int result) {
    result_ = result;
    Log(base::FormatW(L"setLastAssistantError: error = %d, lastError = %u", result,
                      plat::GetLastError()));
}

void CAssistant::SendProgress(int percent, bool force) {
    std::uint64_t now = plat::GetTickCount64();
    if (!force && progressSent_ && now - lastProgressMs_ <= kProgressIntervalMs)
        return;
    progressSent_ = true;
    lastProgressMs_ = now;
    Post(eWindowsMessage_LauncherAssistantWorkResult, eLauncherCmd_Progress, percent);
}

bool CAssistant::ReadCommand() {
    std::string bytes(4, '\0');
    if (!pipe_.Read(bytes.data(), bytes.size())) {
        SetError(kCntReadPipe);
        return false;
    }
    command_ = DecodeCode(bytes);
    if (!IsRunnableCommand(command_)) {
        Log(base::FormatW(L"Unknown command %d", command_));
        SetError(kUnknownPipeCmd);
        return false;
    }
    return true;
}

bool CAssistant::ReadRecord() {
    std::string block(kAssistantDataSize, '\0');
    if (!pipe_.Read(block.data(), block.size())) {
        SetError(kCntReadPipe);
        return false;
    }
    std::uint32_t iconCount = 0;
    std::vector<std::string> unterminated;
    DecodeAssistantData(block, &data_, &iconCount, &unterminated);
    // Icons are read one by one: memory grows with what arrives, never with
    // what the count claims.
    if (iconCount > kMaxIcons) {
        Log(base::FormatW(L"Refused: %u icons announced", iconCount));
        SetError(kUnknownPipeCmd);
        return false;
    }
    std::string bytes(kAssistantIconSize, '\0');
    for (std::uint32_t i = 0; i < iconCount; ++i) {
        if (!pipe_.Read(bytes.data(), bytes.size())) {
            SetError(kCntReadPipe);
            return false;
        }
        AssistantIcon icon;
        std::vector<std::string> iconUnterminated;
        DecodeAssistantIcon(bytes, &icon, &iconUnterminated);
        for (const std::string& field : iconUnterminated)
            unterminated.push_back("an icon's " + field);
        data_.icons.push_back(std::move(icon));
    }
    std::string why = CheckRecord(command_, data_, unterminated);
    if (!why.empty()) {
        Log(L"Refused: " + base::Utf8ToWide(why));
        SetError(kUnknownPipeCmd);
        return false;
    }
    if (NeedsFullName(command_) && data_.fullName.empty()) {
        SetError(kEmptyFullNameEx);
        return false;
    }
    return true;
}

// The launcher writes nothing after the record but a cancel code. Anything
// else already waiting is a record that is not what it claims to be.
bool CAssistant::CheckTrailingData() {
    for (;;) {
        std::size_t waiting = pipe_.WaitForData(0);
        if (waiting == 0)
            return true;
        if (waiting < 4 && pipe_.WaitForData(kTrailingCodeWaitMs) < 4) {
            Log(L"Refused: data after the record");
            SetError(kUnknownPipeCmd);
            return false;
        }
        std::string code(4, '\0');
        if (!pipe_.Read(code.data(), code.size()) || DecodeCode(code) != eLauncherCmd_Cancel) {
            Log(L"Refused: data after the record");
            SetError(kUnknownPipeCmd);
            return false;
        }
        Log(L"Cancel received");
        cancel_ = true;
    }
}

void CAssistant::StartCancelWatcher() {
    watcher_ = std::thread([this] {
        for (;;) {
            std::string code(4, '\0');
            if (!pipe_.Read(code.data(), code.size()))
                return;
            if (DecodeCode(code) == eLauncherCmd_Cancel && !cancel_.exchange(true))
                Log(L"Cancel received");
        }
    });
}

void CAssistant::StopCancelWatcher() {
    if (!watcher_.joinable())
        return;
    pipe_.Disconnect();
    watcher_.join();
}

void CAssistant::RunCommand() {
    launcherName_ = data_.launcherName;
    switch (command_) {
    case eLauncherCmd_Install:
        Install();
        break;
    case eLauncherCmd_InstallKB:
        InstallKB();
        break;
    case eLauncherCmd_Uninstall:
        Uninstall();
        break;
    case eLauncherCmd_GetRights:
        GetRights(data_.userName, data_.installFolder, data_.regPath, true);
        break;
    case eLauncherCmd_IconUpdate:
        SendProgress(50, true);
        UpdateShortcuts();
        SendProgress(100, true);
        break;
    case eLauncherCmd_KillProcess:
        KillProcess(data_.temp);
        break;
    case eLauncherCmd_SetLongName:
        SetLongName();
        break;
    default:
        break;
    }
}

void CAssistant::Run() {
    std::wstring exePath = plat::GetExecutablePath();
    {
        // The log lies in the launcher user's folder: written with that
        // user's rights.
        plat::InvokingUserFiles asUser;
        log_.Open(exePath + L".log");
    }
    log_.SetUtf8(true);
    log_.SetAutoFlush(true);
    SetProcessLog(&log_);
    Log(L"launcherAssistant started");

    std::wstring pipeName = AssistantPipeName(exePath);
    bool opened = pipe_.Open(pipeName);
    plat::ErrorCode openError = plat::GetLastError();
    Log(L"OpenPipe '" + pipeName + L"' - " + (opened ? L"ok" : L"fail"));
    if (!opened) {
        Log(base::FormatW(L"  .. error %u", openError));
        Post(eWindowsMessage_LauncherAssistantInitResult, openError, kCntOpenPipe);
        SetProcessLog(nullptr);
        log_.Close();
        return;
    }
    if (!plat::PostMessage(window_, eWindowsMessage_LauncherAssistantInitResult,
                           plat::GetCurrentProcessId(), 0)) {
        // The launcher cannot be told that the assistant is there, so it
        // never sends a command: waiting for one would keep an elevated
        // process alive for nothing.
        Log(base::FormatW(L"PostMessage(%u) failed, error %u: the launcher cannot be reached",
                          static_cast<unsigned>(eWindowsMessage_LauncherAssistantInitResult),
                          plat::GetLastError()));
        pipe_.Close();
        SetProcessLog(nullptr);
        log_.Close();
        return;
    }

    if (ReadCommand() && (!CommandSendsBlock(command_) || ReadRecord()) && CheckTrailingData()) {
        StartCancelWatcher();
        RunCommand();
    }
    Post(eWindowsMessage_LauncherAssistantWorkResult, static_cast<plat::WPARAM>(command_), result_);
    StopCancelWatcher();
    pipe_.Close();
    Log(L"Pipe closed");
    SetProcessLog(nullptr);
    log_.Close();
}

int RunAssistantProcess(plat::HWND launcherWindow) {
    CAssistant assistant(launcherWindow);
    assistant.Run();
    return 0;
}

} // namespace assistant
