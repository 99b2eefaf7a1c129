// Processes from /proc, and process handles as pidfds: a pidfd keeps naming
// its process, so a check made through /proc while it is open and the
// process still runs is a check of the process the handle ends.

#include "platform/ProcessList.h"

#include "platform/Elevation.h"
#include "platform/Unicode.h"
#include "platform/posix/ErrnoMap.h"

#include <cerrno>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <poll.h>
#include <sstream>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace plat {

namespace {

constexpr const char kDeletedSuffix[] = " (deleted)";

int PidfdOpen(std::uint32_t pid) {
    return static_cast<int>(::syscall(SYS_pidfd_open, static_cast<pid_t>(pid), 0));
}

int PidfdSendSignal(int fd, int signo) {
    return static_cast<int>(::syscall(SYS_pidfd_send_signal, fd, signo, nullptr, 0));
}

// "/a/./b/../c" as "/a/c"; a relative path is taken from the current folder.
std::string CleanLexically(const std::string& path) {
    std::string absolute = path;
    if (absolute.empty() || absolute[0] != '/') {
        char cwd[PATH_MAX];
        if (::getcwd(cwd, sizeof cwd))
            absolute = std::string(cwd) + "/" + absolute;
    }
    std::vector<std::string> parts;
    std::size_t start = 0;
    while (start <= absolute.size()) {
        std::size_t end = absolute.find('/', start);
        if (end == std::string::npos)
            end = absolute.size();
        std::string part = absolute.substr(start, end - start);
        if (part == "..") {
            if (!parts.empty())
                parts.pop_back();
        } else if (!part.empty() && part != ".") {
            parts.push_back(part);
        }
        start = end + 1;
    }
    std::string out;
    for (const std::string& part : parts)
        out += "/" + part;
    return out.empty() ? "/" : out;
}

} // namespace

std::vector<std::uint32_t> ListProcessIds() {
    std::vector<std::uint32_t> ids;
    DIR* proc = ::opendir("/proc");
    if (!proc) {
        posix::SetLastErrno(errno);
        return ids;
    }
    while (const dirent* entry = ::readdir(proc)) {
        const char* name = entry->d_name;
        if (name[0] < '1' || name[0] > '9')
            continue;
        char* end = nullptr;
        unsigned long pid = std::strtoul(name, &end, 10);
        if (end && *end == '\0' && pid <= 0xFFFFFFFFul)
            ids.push_back(static_cast<std::uint32_t>(pid));
    }
    ::closedir(proc);
    return ids;
}

bool GetProcessExecutable(std::uint32_t pid, std::wstring* path) {
    std::string link = "/proc/" + std::to_string(pid) + "/exe";
    std::string target(PATH_MAX, '\0');
    ssize_t length = ::readlink(link.c_str(), target.data(), target.size());
    if (length <= 0 || static_cast<std::size_t>(length) >= target.size()) {
        posix::SetLastErrno(length < 0 ? errno : ENAMETOOLONG);
        return false;
    }
    target.resize(static_cast<std::size_t>(length));
    const std::string deleted = kDeletedSuffix;
    if (target.size() > deleted.size() &&
        target.compare(target.size() - deleted.size(), deleted.size(), deleted) == 0)
        target.resize(target.size() - deleted.size());
    *path = Utf8ToWide(target);
    return true;
}

bool GetProcessStartTime(std::uint32_t pid, std::uint64_t* ticks) {
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text;
    if (!std::getline(stat, text)) {
        SetLastError(kErrInvalidParameter);
        return false;
    }
    // The command name (field 2) is in parentheses and may hold blanks or
    // parentheses itself: the fields after it start at its last ')'.
    std::size_t close = text.rfind(')');
    if (close == std::string::npos) {
        SetLastError(kErrInvalidData);
        return false;
    }
    std::istringstream fields(text.substr(close + 1));
    std::string field;
    // Field 3 (the state) is the first after the name; the start time is 22.
    for (int number = 3; number <= 22; ++number) {
        if (!(fields >> field)) {
            SetLastError(kErrInvalidData);
            return false;
        }
    }
    char* end = nullptr;
    unsigned long long value = std::strtoull(field.c_str(), &end, 10);
    if (!end || *end != '\0') {
        SetLastError(kErrInvalidData);
        return false;
    }
    *ticks = value;
    return true;
}

bool IsProcessOfInvokingUser(std::uint32_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.compare(0, 4, "Uid:") != 0)
            continue;
        std::istringstream fields(line.substr(4));
        unsigned long real = ~0ul, effective = ~0ul;
        fields >> real >> effective;
        return fields && real == InvokingUserId() && effective == InvokingUserId();
    }
    return false;
}

std::wstring ResolvedPath(const std::wstring& path) {
    std::string native = WideToUtf8(path);
    char resolved[PATH_MAX];
    if (::realpath(native.c_str(), resolved))
        return Utf8ToWide(resolved);
    return Utf8ToWide(CleanLexically(native));
}

ProcessHandle::~ProcessHandle() {
    Close();
}

ProcessHandle::ProcessHandle(ProcessHandle&& other) noexcept : fd_(other.fd_), pid_(other.pid_) {
    other.fd_ = -1;
    other.pid_ = 0;
}

ProcessHandle& ProcessHandle::operator=(ProcessHandle&& other) noexcept {
    if (this != &other) {
        Close();
        fd_ = other.fd_;
        pid_ = other.pid_;
        other.fd_ = -1;
        other.pid_ = 0;
    }
    return *this;
}

bool ProcessHandle::Open(std::uint32_t pid) {
    Close();
    if (pid == 0) {
        SetLastError(kErrInvalidParameter);
        return false;
    }
    int fd = PidfdOpen(pid);
    if (fd < 0) {
        SetLastError(errno == ESRCH ? kErrInvalidParameter : posix::ErrnoToError(errno));
        return false;
    }
    fd_ = fd;
    pid_ = pid;
    return true;
}

bool ProcessHandle::HasEnded() const {
    return Wait(0);
}

bool ProcessHandle::Wait(int timeoutMs) const {
    if (fd_ < 0) {
        SetLastError(kErrInvalidHandle);
        return false;
    }
    for (;;) {
        pollfd entry{fd_, POLLIN, 0};
        int ready = ::poll(&entry, 1, timeoutMs);
        if (ready > 0)
            return true;
        if (ready == 0) {
            SetLastError(kErrWaitTimeout);
            return false;
        }
        if (errno != EINTR) {
            posix::SetLastErrno(errno);
            return false;
        }
    }
}

bool ProcessHandle::Terminate() const {
    if (fd_ < 0) {
        SetLastError(kErrInvalidHandle);
        return false;
    }
    if (PidfdSendSignal(fd_, SIGKILL) != 0) {
        // An ended process cannot be ended again: Windows says access denied.
        SetLastError(errno == ESRCH ? kErrAccessDenied : posix::ErrnoToError(errno));
        return false;
    }
    return true;
}

void ProcessHandle::Close() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    pid_ = 0;
}

} // namespace plat
