#include "logic/VirtualStore.h"

#include "base/Strings.h"
#include "log/LogImplW.h"
#include "platform/FileSystem.h"

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace logic {

namespace fs = std::filesystem;

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'/' || c == L'\\';
}

// An absolute path from the environment, else "".
std::string AbsoluteFromEnv(const char* name) {
    const char* value = std::getenv(name);
    return (value && value[0] == '/') ? std::string(value) : std::string();
}

// The folder without its drive ("C:" and the separator after it) or, for a
// path without a drive, without its leading separators.
std::wstring WithoutDrive(const std::wstring& folder) {
    std::size_t start = 0;
    if (folder.size() >= 2 && folder[1] == L':') {
        start = 2;
        if (start < folder.size() && IsSeparator(folder[start]))
            ++start;
        return folder.substr(start);
    }
    while (start < folder.size() && IsSeparator(folder[start]))
        ++start;
    return folder.substr(start);
}

// A relative path that stays below its base: no ".." name and at least one
// name that is not ".".
bool StaysBelow(const std::wstring& relative) {
    bool named = false;
    std::size_t start = 0;
    while (start <= relative.size()) {
        std::size_t end = start;
        while (end < relative.size() && !IsSeparator(relative[end]))
            ++end;
        std::wstring_view part(relative.data() + start, end - start);
        if (part == L"..")
            return false;
        if (!part.empty() && part != L".")
            named = true;
        start = end + 1;
    }
    return named;
}

fs::path ToFsPath(const std::wstring& path) {
    return fs::path(base::WideToUtf8(path));
}

bool IsLink(const fs::path& path) {
    std::error_code ec;
    return fs::symlink_status(path, ec).type() == fs::file_type::symlink;
}

// The store folder or a folder between it and the target is a link: the
// target would then lie somewhere else.
bool PassesThroughLink(const fs::path& store, const fs::path& target) {
    if (IsLink(store))
        return true;
    fs::path walked = store;
    fs::path relative = target.lexically_relative(store);
    fs::path parents = relative.parent_path();
    for (const fs::path& part : parents) {
        walked /= part;
        if (IsLink(walked))
            return true;
    }
    return false;
}

enum class Outcome { Removed, NotFound, Refused, Failed };

Outcome RemoveCopy(const std::wstring& store, const std::wstring& path) {
    const fs::path storePath = ToFsPath(store);
    const fs::path target = ToFsPath(path);
    if (PassesThroughLink(storePath, target))
        return Outcome::Refused;
    std::error_code ec;
    fs::file_status status = fs::symlink_status(target, ec);
    if (ec || status.type() == fs::file_type::not_found)
        return Outcome::NotFound;
    // remove_all deletes links themselves, never what they point to.
    fs::remove_all(target, ec);
    if (ec) {
        plat::SetLastError(ec == std::errc::permission_denied ||
                                   ec == std::errc::operation_not_permitted
                               ? plat::kErrAccessDenied
                               : plat::kErrDirNotEmpty);
        return Outcome::Failed;
    }
    return Outcome::Removed;
}

const wchar_t* OutcomeText(Outcome outcome) {
    switch (outcome) {
    case Outcome::Removed:
        return L" .. OK";
    case Outcome::NotFound:
        return L" .. not found";
    case Outcome::Refused:
        return L" .. refused";
    case Outcome::Failed:
        break;
    }
    return L" .. failed";
}

} // namespace

std::wstring GetLocalAppDataFolder() {
    std::string folder = AbsoluteFromEnv("XDG_DATA_HOME");
    if (folder.empty()) {
        std::string home = AbsoluteFromEnv("HOME");
        if (!home.empty())
            folder = home + "/.local/share";
    }
    while (folder.size() > 1 && folder.back() == '/')
        folder.pop_back();
    return base::Utf8ToWide(folder);
}

std::wstring VirtualStorePath(const std::wstring& localAppData, const std::wstring& workFolder) {
    const std::wstring relative = WithoutDrive(workFolder);
    if (localAppData.empty() || !StaysBelow(relative))
        return std::wstring();
    return plat::JoinPath(plat::JoinPath(localAppData, L"VirtualStore"),
                          plat::NativePath(relative));
}

bool ClearVirtualStore(const std::wstring& workFolder, CLogImplW* log) {
    if (workFolder.size() < 4)
        return false;
    if (log) {
        log->WriteNewLines(1);
        log->Write(L"Clear virtual store path", false);
    }
    const std::wstring localAppData = GetLocalAppDataFolder();
    const std::wstring path = VirtualStorePath(localAppData, workFolder);
    if (log)
        log->Write(L"  " + (path.empty() ? workFolder : path), false);
    Outcome outcome = Outcome::Refused;
    if (!path.empty())
        outcome = RemoveCopy(plat::JoinPath(localAppData, L"VirtualStore"), path);
    if (log) {
        log->Write(OutcomeText(outcome), false);
        log->WriteNewLines(1);
    }
    return outcome == Outcome::Removed;
}

} // namespace logic
