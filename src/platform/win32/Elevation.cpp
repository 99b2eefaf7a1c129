#include "platform/Elevation.h"
#include "platform/CommandLine.h"
#include "platform/win32/Handle.h"
#include "platform/win32/ProcessTable.h"
#include "platform/win32/RunAs.h"

#include <cstdlib>
#include <cstring>

namespace plat {

namespace {

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
}

} // namespace

namespace win {

bool BuildRunAsRequest(const ProcessStartInfo& info, RunAsRequest* request) {
    std::wstring program, tail;
    SplitProgramToken(info.commandLine, &program, &tail);
    if (program.empty())
        return FailWith(kErrFileNotFound);
    wchar_t full[MAX_PATH * 4];
    DWORD length = ::GetFullPathNameW(WinPath(program).c_str(), MAX_PATH * 4, full, nullptr);
    request->verb = L"runas";
    request->file =
        length > 0 && length < MAX_PATH * 4 ? std::wstring(full, length) : WinPath(program);
    request->parameters = tail;
    request->directory = info.workingFolder.empty() ? std::wstring() : WinPath(info.workingFolder);
    request->show = info.hidden ? SW_HIDE : SW_SHOWNORMAL;
    return true;
}

} // namespace win

bool IsTestElevation() {
    const char* value = std::getenv("LAUNCHER_TEST_ELEVATION");
    return value && std::strcmp(value, "1") == 0 && IsSet("LAUNCHER_REGISTRY_HKLM") &&
           IsSet("LAUNCHER_REGISTRY_HKCU") && IsSet("LAUNCHER_COMMON_DATA_DIR");
}

bool StartElevated(const ProcessStartInfo& info, Process* process) {
    if (IsProcessElevated())
        return process->Start(info);
    win::RunAsRequest request;
    if (!win::BuildRunAsRequest(info, &request))
        return false;
    SHELLEXECUTEINFOW execute{};
    execute.cbSize = sizeof execute;
    // NOASYNC: the call returns once the copy runs or the user said no.
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI | SEE_MASK_NOASYNC;
    execute.lpVerb = request.verb.c_str();
    execute.lpFile = request.file.c_str();
    execute.lpParameters = request.parameters.empty() ? nullptr : request.parameters.c_str();
    execute.lpDirectory = request.directory.empty() ? nullptr : request.directory.c_str();
    execute.nShow = request.show;
    if (!::ShellExecuteExW(&execute)) {
        DWORD error = ::GetLastError();
        return win::FailWithCode(error == 0 ? DWORD{ERROR_CANCELLED} : error);
    }
    if (execute.hProcess == nullptr)
        return win::FailWith(kErrCancelled);
    ProcessHandover::Adopt(process, execute.hProcess);
    return true;
}

std::uint32_t InvokingUserId() {
    std::vector<unsigned char> sid = win::CurrentUserSid();
    return sid.empty() ? 0 : win::SidUserNumber(sid.data());
}

// An elevated copy on Windows runs as the same account with the
// administrators' rights switched on: it never acts for somebody else.
bool ActsForOtherUser() {
    return false;
}

std::wstring GetUserAccountName() {
    std::vector<unsigned char> sid = win::CurrentUserSid();
    if (sid.empty())
        return std::wstring();
    wchar_t name[256];
    wchar_t domain[256];
    DWORD nameLength = 256, domainLength = 256;
    SID_NAME_USE use{};
    if (!::LookupAccountSidW(nullptr, sid.data(), name, &nameLength, domain, &domainLength, &use))
        return std::wstring();
    std::wstring account(domain, domainLength);
    if (!account.empty())
        account += L'\\';
    return account + std::wstring(name, nameLength);
}

// The process's own user is the invoking user: nothing to switch.
InvokingUserFiles::InvokingUserFiles() = default;

InvokingUserFiles::~InvokingUserFiles() = default;

} // namespace plat
