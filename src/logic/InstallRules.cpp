#include "logic/InstallRules.h"

#include "assistant/AssistantChecks.h"
#include "assistant/LauncherFiles.h"
#include "base/Crc32.h"
#include "base/Strings.h"
#include "platform/FileSystem.h"

namespace logic {

namespace {

bool IsSeparator(wchar_t c) {
    return c == L'/' || c == L'\\';
}

bool HoldsAnything(const std::wstring& folder) {
    return !plat::FindFiles(plat::JoinPath(folder, L"*")).empty();
}

} // namespace

bool SettleInstallFolder(const std::wstring& chosen, const std::wstring& defaultName,
                         std::wstring* folder) {
    std::wstring path = chosen;
    while (path.size() > 1 && IsSeparator(path.back()))
        path.pop_back();
    if (!assistant::IsSafeAbsolutePath(path))
        return false;
    const bool installation =
        plat::FileExists(plat::JoinPath(path, assistant::kLauncherFileName)) ||
        plat::FileExists(plat::JoinPath(path, L"guest.dat"));
    if (plat::DirectoryExists(path) && HoldsAnything(path) && !installation)
        path = plat::JoinPath(path, defaultName);
    *folder = path;
    return true;
}

bool IsSafeApplicationPath(const std::wstring& path) {
    if (path.size() >= 2 && path[1] == L':')
        return false; // a drive letter
    return !path.empty() && !IsSeparator(path.front()) && assistant::IsSafeRelativePath(path);
}

std::wstring ApplicationIdentity(const std::wstring& fullName, const std::string& iconBytes,
                                 const std::wstring& installFolder) {
    const std::string folder = base::WideToUtf8(installFolder);
    std::uint32_t crc = base::Crc32(iconBytes.data(), iconBytes.size());
    crc = base::Crc32(folder.data(), folder.size(), crc);
    return base::FormatW(L"AppID_%ls_%d", fullName.c_str(), static_cast<int>(crc));
}

std::wstring UninstallShortcutArgument(const std::wstring& quotedPath) {
    const auto quoted = [](const std::wstring& text) {
        return text.size() >= 2 && text.front() == L'"' && text.back() == L'"' &&
               text.find(L'"', 1) == text.size() - 1;
    };
    if (quoted(quotedPath))
        return quotedPath;
    // A line without quotes (a path without blanks passed on from a shell):
    // what follows the switch is the path.
    std::wstring rest;
    if (const std::size_t at = quotedPath.find(L"/uninstall"); at != std::wstring::npos)
        rest = quotedPath.substr(at + 10);
    while (!rest.empty() && rest.front() == L' ')
        rest.erase(rest.begin());
    while (!rest.empty() && rest.back() == L' ')
        rest.pop_back();
    if (rest.find(L'"') != std::wstring::npos || rest.find(L"/uninstall") != std::wstring::npos)
        rest.clear();
    return L"\"" + rest + L"\"";
}

std::wstring TemporaryUninstallerCommandLine(const std::wstring& copyPath, bool portable,
                                             const std::wstring& quotedPath,
                                             const std::wstring& installFolder) {
    std::wstring line = L"\"" + copyPath + L"\" ";
    line +=
        portable ? L"/ug " + UninstallShortcutArgument(quotedPath) + L" " : std::wstring(L"/u ");
    return line + installFolder;
}

} // namespace logic
