// Special folders from the XDG base-directory and user-directory conventions.

#include "platform/ShellFolders.h"

#include "platform/Elevation.h"
#include "platform/Error.h"
#include "platform/Unicode.h"
#include "platform/posix/TextFiles.h"
#include "platform/posix/UserAccounts.h"

#include <cstdlib>
#include <pwd.h>
#include <string>
#include <unistd.h>
#include <utility>
#include <vector>

namespace plat {

namespace {

constexpr std::size_t kMaxUserDirsFile = 64 * 1024;

std::string WithoutSlash(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// An absolute path from the environment, else empty. A copy acting for
// another user has only pkexec's environment, which is not that user's.
std::string FromEnv(const char* name) {
    if (ActsForOtherUser())
        return std::string();
    const char* value = std::getenv(name);
    return (value && value[0] == '/') ? WithoutSlash(value) : std::string();
}

std::string Home() {
    if (ActsForOtherUser()) {
        posix::UserAccount account;
        return posix::LookUpUser(InvokingUserId(), &account) ? account.home : std::string();
    }
    std::string home = FromEnv("HOME");
    if (!home.empty())
        return home;
    posix::UserAccount account;
    return posix::LookUpUser(InvokingUserId(), &account) ? account.home : std::string();
}

// The file's text, read with the user's own rights and without following a
// link; empty when it cannot be read or is too large.
std::string ReadUserFile(const std::string& path) {
    InvokingUserFiles asUser;
    std::string text;
    return posix::ReadSmallFile(path, kMaxUserDirsFile, &text) ? text : std::string();
}

// XDG_DESKTOP_DIR of "user-dirs.dirs": a line XDG_DESKTOP_DIR="$HOME/Desktop"
// or with an absolute path. Empty when the file does not say.
std::string DesktopFromUserDirs(const std::string& configHome, const std::string& home) {
    const std::string key = "XDG_DESKTOP_DIR=\"";
    for (const std::string& line :
         posix::SplitLines(ReadUserFile(configHome + "/user-dirs.dirs"))) {
        if (line.compare(0, key.size(), key) != 0 || line.back() != '"')
            continue;
        std::string value = line.substr(key.size(), line.size() - key.size() - 1);
        if (value.compare(0, 5, "$HOME") == 0)
            value = home + value.substr(5);
        if (!value.empty() && value[0] == '/' && value.find("..") == std::string::npos)
            return WithoutSlash(value);
    }
    return std::string();
}

bool Found(const std::string& path, std::wstring* out) {
    if (path.empty()) {
        SetLastError(kErrPathNotFound);
        return false;
    }
    *out = Utf8ToWide(path);
    return true;
}

} // namespace

bool GetSpecialFolderPath(int id, std::wstring* path) {
    switch (id) {
    case kCsidlDesktop: {
        std::string desktop = FromEnv("XDG_DESKTOP_DIR");
        if (!desktop.empty())
            return Found(desktop, path);
        std::string home = Home();
        if (home.empty())
            return Found(std::string(), path);
        std::string config = FromEnv("XDG_CONFIG_HOME");
        desktop = DesktopFromUserDirs(config.empty() ? home + "/.config" : config, home);
        return Found(desktop.empty() ? home + "/Desktop" : desktop, path);
    }
    case kCsidlPrograms:
    case kCsidlStartMenu: {
        std::string data = FromEnv("XDG_DATA_HOME");
        if (data.empty()) {
            std::string home = Home();
            if (home.empty())
                return Found(std::string(), path);
            data = home + "/.local/share";
        }
        return Found(data + "/applications", path);
    }
    case kCsidlCommonStartMenu:
    case kCsidlCommonPrograms: {
        const char* moved = std::getenv("LAUNCHER_COMMON_DATA_DIR");
        std::string data = (moved && moved[0] == '/') ? WithoutSlash(moved) : "/usr/local/share";
        return Found(data + "/applications", path);
    }
    case kCsidlProgramFiles: {
        const char* moved = std::getenv("LAUNCHER_PROGRAM_FILES");
        return Found((moved && moved[0] == '/') ? WithoutSlash(moved) : "/opt", path);
    }
    default:
        SetLastError(kErrFileNotFound);
        return false;
    }
}

std::vector<std::wstring> GetUserSettingsFolders() {
    std::vector<std::wstring> folders;
    std::string home = Home();
    if (!home.empty())
        folders.push_back(Utf8ToWide(home));
    const std::pair<const char*, const char*> bases[] = {{"XDG_CONFIG_HOME", "/.config"},
                                                         {"XDG_DATA_HOME", "/.local/share"},
                                                         {"XDG_CACHE_HOME", "/.cache"},
                                                         {"XDG_STATE_HOME", "/.local/state"}};
    for (const auto& [variable, fallback] : bases) {
        std::string moved = FromEnv(variable);
        if (!moved.empty())
            folders.push_back(Utf8ToWide(moved));
        else if (!home.empty())
            folders.push_back(Utf8ToWide(home + fallback));
    }
    return folders;
}

std::vector<std::wstring> GetHomeFolders() {
    std::vector<std::wstring> homes = {L"/home", L"/root"};
    long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? static_cast<std::size_t>(hint) : 16384);
    ::setpwent();
    struct passwd entry {};
    struct passwd* found = nullptr;
    while (::getpwent_r(&entry, buffer.data(), buffer.size(), &found) == 0 && found) {
        if (found->pw_dir && found->pw_dir[0] == '/' && found->pw_dir[1] != '\0')
            homes.push_back(Utf8ToWide(WithoutSlash(found->pw_dir)));
    }
    ::endpwent();
    return homes;
}

} // namespace plat
