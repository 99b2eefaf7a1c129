#include "assistant/AssistantChannel.h"

#include "assistant/AssistantProtocol.h"
#include "base/Strings.h"
#include "log/LogImplW.h"
#include "platform/CommandLine.h"
#include "platform/Elevation.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "platform/TempFileName.h"

#include <algorithm>

namespace assistant {

namespace {

// The assistant's log as the launcher copies it: more is cut.
constexpr std::uint64_t kMaxCopiedLog = 1024 * 1024;

std::wstring WithExtension(const std::wstring& path, const wchar_t* extension) {
    std::size_t dot = path.find_last_of(L'.');
    std::size_t slash = path.find_last_of(L"/\\");
    if (dot == std::wstring::npos || (slash != std::wstring::npos && dot < slash))
        return path + extension;
    return path.substr(0, dot) + extension;
}

bool CanRead(const std::wstring& path) {
    plat::File file;
    return plat::FileExists(path) && file.Open(path, plat::kRead, plat::Disposition::OpenExisting);
}

const wchar_t* TrueFalse(bool value) {
    return value ? L"true" : L"false";
}

} // namespace

CAssistantChannel::~CAssistantChannel() {
    pipe_.Close();
}

void CAssistantChannel::Log(const std::wstring& text, bool newLine) {
    if (log_)
        log_->Write(text, newLine);
}

bool CAssistantChannel::Prepare() {
    Log(L"Unpacking LauncherAssistant to temp .. ", false);
    if (path_.empty()) {
        std::wstring temp = plat::GetTempFolder();
        if (temp.empty()) {
            Log(L"Fail");
            return false;
        }
        std::wstring candidate = plat::JoinPath(temp, kAssistantFileName);
        if (CanRead(candidate)) {
            // Another launcher's assistant may be using the name.
            std::wstring unique;
            if (!plat::MakeTempFileName(temp, kAssistantFilePrefix, &unique)) {
                Log(L"Fail");
                return false;
            }
            candidate = WithExtension(unique, L".exe");
        }
        path_ = candidate;
    }
    if (plat::FileExists(path_)) {
        plat::SetFileAttributes(path_, plat::kAttrNormal);
        plat::DeleteFile(path_);
    }
    bool copied =
        plat::CopyFile(source_.empty() ? plat::GetExecutablePath() : source_, path_, true);
    Log(copied ? L"OK" : L"Fail");
    return copied;
}

bool CAssistantChannel::Start(int command, plat::HWND window) {
    command_ = command;
    connected_ = false;
    process_.Close();
    started_.Close();
    pipe_.Close();
    std::wstring name = AssistantPipeName(path_);
    Log(L"Pipe name: " + name, false);
    bool created = pipe_.Create(name);
    Log(created ? L" create .. OK" : L" create .. Fail");
    if (!created)
        return false;

    Log(L"Run LauncherAssistant .. ", false);
    plat::ProcessStartInfo info;
    info.commandLine = plat::BuildCommandLine(
        path_, L"/assistant " + std::to_wstring(static_cast<unsigned long long>(window)));
    info.workingFolder = plat::GetTempFolder();
    info.hidden = true;
    info.tail = plat::TailPassing::Verbatim;
    bool started = plat::StartElevated(info, &started_);
    plat::ErrorCode error = plat::GetLastError();
    Log(started ? L"OK" : L"Fail");
    if (!started) {
        pipe_.Close();
        plat::SetLastError(error);
    }
    return started;
}

bool CAssistantChannel::OnConnected(std::uint32_t processId) {
    connected_ = true;
    return process_.Open(processId);
}

bool CAssistantChannel::SendCommand() {
    return pipe_.Write(EncodeCode(command_).data(), 4);
}

bool CAssistantChannel::SendData(const AssistantData& data) {
    AssistantData sent = data;
    sent.command = command_;
    std::string block, field;
    std::vector<std::string> icons(sent.icons.size());
    bool encoded = EncodeAssistantData(sent, &block, &field);
    for (std::size_t i = 0; encoded && i < sent.icons.size(); ++i)
        encoded = EncodeAssistantIcon(sent.icons[i], &icons[i], &field);
    if (!encoded) {
        plat::ErrorCode error = plat::GetLastError();
        Log(L"SendDataToAssistant: " + base::Utf8ToWide(field) + L" does not fit its field");
        plat::SetLastError(error);
        return false;
    }

    Log(L"--- SendDataToAssistant ---");
    for (const TextField& text : AssistantTextFields())
        Log(L"  " + base::Utf8ToWide(text.name) + L" = " + sent.*text.member);
    Log(std::wstring(L"  bIconPrograms = ") + TrueFalse(sent.iconPrograms));
    Log(std::wstring(L"  bIconProgramsFolder = ") + TrueFalse(sent.iconProgramsFolder));
    Log(std::wstring(L"  bIconStartMenu = ") + TrueFalse(sent.iconStartMenu));
    bool written =
        pipe_.Write(EncodeCode(command_).data(), 4) && pipe_.Write(block.data(), block.size());
    Log(L"  Icons:");
    for (std::size_t i = 0; i < sent.icons.size(); ++i) {
        written = written && pipe_.Write(icons[i].data(), icons[i].size());
        Log(L"  ------");
        Log(L"  Name = " + sent.icons[i].name);
        Log(L"  Exec = " + sent.icons[i].exec);
        Log(std::wstring(L"  Action = ") + (sent.icons[i].add ? L"Add" : L"Del"));
    }
    Log(L"---------------------------");
    if (!written)
        Log(base::FormatW(L"  .. the pipe took not everything, error %u", plat::GetLastError()));
    return true;
}

void CAssistantChannel::ClosePipe() {
    pipe_.Close();
}

bool CAssistantChannel::Cancel() {
    bool running =
        process_.IsOpen() ? !process_.HasEnded() : started_.IsValid() && !started_.Wait(0);
    if (!running) {
        process_.Close();
        started_.Close();
        connected_ = false;
        return true;
    }
    Log(L"Sending cancel to launcher assistant");
    // An assistant that has not connected yet learns it from the pipe's end.
    if (!pipe_.Write(EncodeCode(eLauncherCmd_Cancel).data(), 4))
        pipe_.Close();
    bool ended = process_.IsOpen() ? process_.Wait(kCancelWaitMs) : started_.Wait(kCancelWaitMs);
    process_.Close();
    started_.Close();
    connected_ = false;
    return ended;
}

bool CAssistantChannel::WaitForExit(int timeoutMs) {
    if (process_.IsOpen())
        return process_.Wait(timeoutMs);
    return !started_.IsValid() || started_.Wait(timeoutMs);
}

void CAssistantChannel::DeleteFiles() {
    if (path_.empty())
        return;
    for (const std::wstring& file :
         {path_, path_ + L".log", WithExtension(path_, L".tmp"), WithExtension(path_, L".exe"),
          WithExtension(path_, L".log")}) {
        if (plat::FileExists(file))
            plat::DeleteFile(file);
    }
    path_.clear();
}

void CAssistantChannel::CopyAssistantLog() {
    if (path_.empty() || !log_)
        return;
    plat::File file;
    std::uint64_t size = 0;
    if (!file.Open(path_ + L".log", plat::kRead, plat::Disposition::OpenExisting) ||
        !file.Size(&size))
        return;
    std::string text(static_cast<std::size_t>(std::min(size, kMaxCopiedLog)), '\0');
    std::size_t done = 0;
    if (!file.Read(text.data(), text.size(), &done))
        return;
    text.resize(done);
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        Log(L"  [assistant] " + base::Utf8ToWide(line));
    }
}

} // namespace assistant
