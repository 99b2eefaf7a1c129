// Elevation through pkexec, the invoking user of a pkexec copy, and the
// thread-wide switch of the file-system identity to that user.

#include "platform/Elevation.h"

#include "platform/CommandLine.h"
#include "platform/Unicode.h"
#include "platform/posix/ErrnoMap.h"
#include "platform/posix/UserAccounts.h"

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <limits.h>
#include <string>
#include <sys/fsuid.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace plat {

namespace {

constexpr std::uint32_t kStillActive = 259;
// pkexec's exit codes when the user dismissed the dialog or was refused.
constexpr std::uint32_t kPkexecDismissed = 126;
constexpr std::uint32_t kPkexecRefused = 127;
constexpr auto kStartPoll = std::chrono::milliseconds(20);

bool IsSet(const char* name) {
    const char* value = std::getenv(name);
    return value && value[0] != '\0';
}

// The pkexec program, or empty when the system has none.
std::string FindPkexec() {
    std::vector<std::string> folders = {"/usr/bin/", "/bin/", "/usr/local/bin/"};
    for (const std::string& folder : folders) {
        std::string path = folder + "pkexec";
        if (::access(path.c_str(), X_OK) == 0)
            return path;
    }
    return std::string();
}

// The command name the kernel shows for a process: "pkexec" until pkexec
// has run the copy in its place.
std::string CommandName(std::uint32_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/comm");
    std::string name;
    std::getline(in, name);
    return name;
}

std::wstring AbsoluteProgram(const std::wstring& program) {
    char resolved[PATH_MAX];
    if (::realpath(WideToUtf8(program).c_str(), resolved))
        return Utf8ToWide(resolved);
    return program;
}

} // namespace

bool IsTestElevation() {
    const char* value = std::getenv("LAUNCHER_TEST_ELEVATION");
    return value && std::strcmp(value, "1") == 0 && IsSet("LAUNCHER_REGISTRY_HKLM") &&
           IsSet("LAUNCHER_REGISTRY_HKCU") && IsSet("LAUNCHER_COMMON_DATA_DIR");
}

bool StartElevated(const ProcessStartInfo& info, Process* process) {
    if (IsTestElevation() || ::geteuid() == 0)
        return process->Start(info);
    std::string pkexec = FindPkexec();
    if (pkexec.empty()) {
        SetLastError(kErrCancelled);
        return false;
    }
    std::wstring program, tail;
    SplitProgramToken(info.commandLine, &program, &tail);
    if (program.empty()) {
        SetLastError(kErrFileNotFound);
        return false;
    }
    // pkexec takes the program as an absolute path and the arguments apart.
    std::vector<std::wstring> arguments = {AbsoluteProgram(program)};
    if (info.tail == TailPassing::Verbatim) {
        arguments.push_back(Utf8ToWide(kCommandLineMarker));
        arguments.push_back(tail);
    } else {
        for (std::wstring& argument : SplitArguments(tail))
            arguments.push_back(std::move(argument));
    }
    ProcessStartInfo elevated;
    elevated.commandLine = BuildCommandLine(Utf8ToWide(pkexec), JoinArguments(arguments));
    elevated.workingFolder = info.workingFolder;
    elevated.hidden = info.hidden;
    elevated.tail = TailPassing::Split;
    if (!process->Start(elevated))
        return false;

    // pkexec runs the copy in its own place once the rights are granted; until
    // then the process still calls itself pkexec.
    for (;;) {
        std::uint32_t code = kStillActive;
        process->GetExitCode(&code);
        if (code != kStillActive) {
            if (code == kPkexecDismissed || code == kPkexecRefused) {
                SetLastError(kErrCancelled);
                return false;
            }
            return true; // the copy ran and has already ended
        }
        std::string name = CommandName(process->Id());
        if (!name.empty() && name != "pkexec")
            return true;
        std::this_thread::sleep_for(kStartPoll);
    }
}

std::uint32_t InvokingUserId() {
    std::uint32_t self = static_cast<std::uint32_t>(::geteuid());
    if (self != 0)
        return self;
    const char* value = std::getenv("PKEXEC_UID");
    if (!value || value[0] < '0' || value[0] > '9')
        return self;
    char* end = nullptr;
    errno = 0;
    unsigned long uid = std::strtoul(value, &end, 10);
    if (errno != 0 || !end || *end != '\0' || uid > 0xFFFFFFFEul)
        return self;
    return static_cast<std::uint32_t>(uid);
}

bool ActsForOtherUser() {
    return ::geteuid() == 0 && InvokingUserId() != 0;
}

std::wstring GetUserAccountName() {
    posix::UserAccount account;
    if (!posix::LookUpUser(InvokingUserId(), &account))
        return std::wstring();
    return Utf8ToWide(account.name);
}

InvokingUserFiles::InvokingUserFiles() {
    if (!ActsForOtherUser())
        return;
    std::uint32_t uid = InvokingUserId();
    posix::UserAccount account;
    std::uint32_t gid = posix::LookUpUser(uid, &account) ? account.gid : uid;
    // The group first: once the user id is no longer root, the group could
    // not be changed any more.
    previousGid_ = static_cast<std::uint32_t>(::setfsgid(static_cast<gid_t>(gid)));
    previousUid_ = static_cast<std::uint32_t>(::setfsuid(static_cast<uid_t>(uid)));
    switched_ = true;
}

InvokingUserFiles::~InvokingUserFiles() {
    if (!switched_)
        return;
    ::setfsuid(static_cast<uid_t>(previousUid_));
    ::setfsgid(static_cast<gid_t>(previousGid_));
}

} // namespace plat
