#include "platform/posix/RegistryPaths.h"

#include "platform/TextCase.h"
#include "platform/posix/EncodedName.h"
#include "platform/posix/RegistryFormat.h"

#include <cstdint>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace plat::posix {

namespace {

constexpr const char* kMachineFolder = "/var/lib/launcher/registry/HKLM";
constexpr const char* kUserSubfolder = "/launcher/registry/";
constexpr std::size_t kMaxFolderName = 200;

std::string WithoutTrailingSlashes(std::string path) {
    while (path.size() > 1 && path.back() == '/')
        path.pop_back();
    return path;
}

// An absolute path from the environment, else empty.
std::string AbsoluteFromEnv(const char* name) {
    const char* value = std::getenv(name);
    return (value && value[0] == '/') ? WithoutTrailingSlashes(value) : std::string();
}

std::string HomeFolder() {
    std::string home = AbsoluteFromEnv("HOME");
    if (!home.empty())
        return home;
    long size = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::string buffer(size > 0 ? static_cast<std::size_t>(size) : 16384, '\0');
    struct passwd entry {};
    struct passwd* found = nullptr;
    if (::getpwuid_r(::geteuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir && found->pw_dir[0] == '/')
        return WithoutTrailingSlashes(found->pw_dir);
    return std::string();
}

// $XDG_CONFIG_HOME, else ~/.config; empty when there is no home folder.
std::string UserConfigFolder() {
    std::string config = AbsoluteFromEnv("XDG_CONFIG_HOME");
    if (!config.empty())
        return config;
    std::string home = HomeFolder();
    return home.empty() ? std::string() : home + "/.config";
}

// The folder a moving variable names. `moved` tells whether it is set at all;
// a set but relative value fails rather than fall back to the real store.
bool MovedRoot(const char* variable, bool* moved, std::string* folder) {
    const char* value = std::getenv(variable);
    *moved = value && value[0] != '\0';
    if (!*moved)
        return true;
    if (value[0] != '/') {
        SetLastError(kErrPathNotFound);
        return false;
    }
    *folder = WithoutTrailingSlashes(value);
    return true;
}

// The machine folder is for administrators: root creates it (the elevated
// assistant registers installations there), every user reads it, and a user
// changes only the keys an administrator gave to that user. Before any
// administrator made it, a user's HKEY_LOCAL_MACHINE lives in a per-user
// folder beside HKEY_CURRENT_USER, as Windows moves the machine writes of
// unelevated programs into the user's own store.
bool MachineFolderUsable() {
    return ::geteuid() == 0 || ::access(kMachineFolder, X_OK) == 0;
}

bool UserRoot(const char* rootName, RootPlace* place) {
    std::string config = UserConfigFolder();
    if (config.empty()) {
        SetLastError(kErrPathNotFound);
        return false;
    }
    place->folder = config + kUserSubfolder + rootName;
    place->folderMode = 0700;
    place->fileMode = 0600;
    return true;
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool ResolveRoot(RegistryRoot root, RootPlace* place) {
    bool machine = root == RegistryRoot::LocalMachine;
    bool moved = false;
    std::string folder;
    if (!MovedRoot(machine ? "LAUNCHER_REGISTRY_HKLM" : "LAUNCHER_REGISTRY_HKCU", &moved, &folder))
        return false;
    if (moved) {
        place->folder = folder;
        place->folderMode = machine ? 0755 : 0700;
        place->fileMode = machine ? 0644 : 0600;
        return true;
    }
    if (!machine)
        return UserRoot("HKCU", place);
    if (!MachineFolderUsable())
        return UserRoot("HKLM", place);
    place->folder = kMachineFolder;
    place->folderMode = 0755;
    place->fileMode = 0644;
    return true;
}

bool SplitKeyPath(std::wstring_view path, std::vector<std::wstring>* names) {
    std::vector<std::wstring> result;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find(L'\\', start);
        if (end == std::wstring_view::npos)
            end = path.size();
        std::wstring_view name = path.substr(start, end - start);
        if (name == L"." || name == L"..") {
            SetLastError(kErrInvalidName);
            return false;
        }
        if (!name.empty())
            result.emplace_back(name);
        start = end + 1;
    }
    *names = std::move(result);
    return true;
}

std::string KeyFolderName(std::wstring_view name) {
    // Lowercased first, so only the lower-case letters stay plain.
    return EncodeName(EncodeWideBytes(ToLowerAscii(name)), kMaxFolderName);
}

bool KeyNameFromFolder(std::string_view folderName, std::wstring* name) {
    std::string bytes;
    for (std::size_t i = 0; i < folderName.size(); ++i) {
        char c = folderName[i];
        if (c != '%') {
            bytes.push_back(c);
            continue;
        }
        if (i + 2 >= folderName.size())
            return false;
        int high = HexDigit(folderName[i + 1]);
        int low = HexDigit(folderName[i + 2]);
        if (high < 0 || low < 0)
            return false;
        bytes.push_back(static_cast<char>((high << 4) | low));
        i += 2;
    }
    return !folderName.empty() && DecodeWideBytes(bytes, name) &&
           KeyFolderName(*name) == folderName;
}

std::string KeyFolderPath(const std::string& rootFolder, const std::vector<std::wstring>& names) {
    std::string path = rootFolder;
    for (const std::wstring& name : names) {
        path.push_back('/');
        path += KeyFolderName(name);
    }
    return path;
}

} // namespace plat::posix
