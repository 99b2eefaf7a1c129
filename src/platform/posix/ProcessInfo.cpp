// Facts about the running process: id, executable, version and rights.

#include "platform/Elevation.h"
#include "platform/Process.h"
#include "platform/Unicode.h"
#include "platform/posix/ErrnoMap.h"

#include <cerrno>
#include <cstdlib>
#include <dirent.h>
#include <limits.h>
#include <string>
#include <string_view>
#include <unistd.h>

namespace plat {

std::uint32_t GetCurrentProcessId() {
    return static_cast<std::uint32_t>(::getpid());
}

std::wstring GetExecutablePath() {
    std::string buffer(256, '\0');
    for (;;) {
        ssize_t length = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
        if (length < 0) {
            posix::SetLastErrno(errno);
            return std::wstring();
        }
        if (static_cast<std::size_t>(length) < buffer.size()) {
            buffer.resize(static_cast<std::size_t>(length));
            return Utf8ToWide(buffer);
        }
        buffer.resize(buffer.size() * 2);
    }
}

std::wstring GetExecutableFolder() {
    std::wstring path = GetExecutablePath();
    std::size_t slash = path.find_last_of(L'/');
    return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

FileVersion GetOwnFileVersion() {
    FileVersion version;
    version.major = LAUNCHER_VERSION_MAJOR;
    version.minor = LAUNCHER_VERSION_MINOR;
    version.build = LAUNCHER_VERSION_PATCH;
    version.revision = LAUNCHER_VERSION_TWEAK;
    return version;
}

bool IsProcessElevated() {
    return ::geteuid() == 0 || IsTestElevation();
}

bool IsProgramRunning(const std::wstring& path) {
    char resolved[PATH_MAX];
    if (!::realpath(WideToUtf8(path).c_str(), resolved))
        return false;
    DIR* proc = ::opendir("/proc");
    if (!proc)
        return false;
    bool found = false;
    char target[PATH_MAX];
    while (dirent* entry = ::readdir(proc)) {
        if (entry->d_name[0] < '0' || entry->d_name[0] > '9')
            continue;
        std::string link = std::string("/proc/") + entry->d_name + "/exe";
        // Processes of other users cannot be read and do not count.
        ssize_t length = ::readlink(link.c_str(), target, sizeof target - 1);
        if (length <= 0)
            continue;
        target[length] = '\0';
        if (std::string_view(target) == resolved) {
            found = true;
            break;
        }
    }
    ::closedir(proc);
    return found;
}

} // namespace plat
