#include "assistant/Shortcuts.h"

#include "assistant/FolderUtils.h"
#include "base/Strings.h"
#include "platform/Elevation.h"
#include "platform/FileSystem.h"
#include "platform/PathRules.h"
#include "platform/ShellFolders.h"
#include "platform/ShellLink.h"

#include <optional>
#include <utility>
#include <vector>

namespace assistant {

namespace {

constexpr std::size_t kMinFolderLength = 4;

// The user's own folders. An elevated copy works in them with the user's
// rights only.
bool IsUserFolder(int folderId) {
    return folderId == plat::kCsidlDesktop || folderId == plat::kCsidlPrograms ||
           folderId == plat::kCsidlStartMenu;
}

// Switches the calling thread to the user's file rights for the user's
// folders; does nothing for the all-users ones.
class FolderRights {
public:
    explicit FolderRights(int folderId) {
        if (IsUserFolder(folderId))
            asUser_.emplace();
    }

private:
    std::optional<plat::InvokingUserFiles> asUser_;
};

// A display name or subfolder name fit to become one file or folder name:
// no separator of any system ("\" would lead out of the folder on Windows)
// and nothing else a name of this system may not hold.
bool IsFileName(const std::wstring& name) {
    return !name.empty() && name.find_first_of(L"/\\") == std::wstring::npos && name != L"." &&
           name != L".." && !plat::HasReservedPathCharacter(name);
}

bool ShortcutFolder(int folderId, const std::wstring& subfolder, std::wstring* folder) {
    std::wstring base;
    if (!plat::GetSpecialFolderPath(folderId, &base))
        return false;
    if (subfolder.empty()) {
        *folder = base;
        return true;
    }
    if (!IsFileName(subfolder))
        return false;
    *folder = plat::JoinPath(base, subfolder);
    return true;
}

// The working folder of a target: up to its last "\", else its last "/".
std::wstring WorkingFolderOf(const std::wstring& target) {
    std::size_t pos = target.find_last_of(L'\\');
    if (pos == std::wstring::npos)
        pos = target.find_last_of(L'/');
    return pos == std::wstring::npos ? std::wstring() : target.substr(0, pos);
}

// A programs subfolder that holds nothing but its folder settings goes;
// then an empty one goes.
void RemoveEmptiedSubfolder(const std::wstring& sub) {
    if (plat::FileExists(plat::JoinPath(sub, plat::kFolderSettingsFile)) && CountFiles(sub) == 1 &&
        sub.size() >= kMinFolderLength)
        DeleteFolderTree(sub);
    if (IsFolderEmpty(sub))
        plat::RemoveDirectory(sub);
}

} // namespace

std::wstring NormalizeShortcutTarget(const std::wstring& target) {
    std::wstring out;
    for (wchar_t c : target) {
        if (c == L'"')
            continue;
        wchar_t d = c == L'\\' ? L'/' : c;
        if (d == L'/' && !out.empty() && out.back() == L'/')
            continue;
        out += d;
    }
    return out;
}

bool CreateShortcut(const std::wstring& target, const std::wstring& arguments,
                    const std::wstring& name, int folderId, const std::wstring& subfolder,
                    int iconIndex, bool folderIcon) {
    if (target.empty() || !IsFileName(name))
        return false;
    FolderRights rights(folderId);
    std::wstring folder;
    if (!ShortcutFolder(folderId, subfolder, &folder))
        return false;
    if (!plat::DirectoryExists(folder) && !CreateFolderTree(folder))
        return false;
    plat::ShellLink link;
    link.displayName = name;
    link.target = target;
    link.arguments = arguments;
    link.workingFolder = WorkingFolderOf(target);
    link.iconIndex = iconIndex;
    bool saved = plat::SaveShellLink(plat::JoinPath(folder, name + plat::kShortcutExtension), link);
    if (saved && folderIcon)
        return plat::SetFolderIcon(folder, target, iconIndex);
    return saved;
}

std::wstring ShortcutPath(const std::wstring& target, const std::wstring& name, int folderId,
                          const std::wstring& subfolder) {
    std::wstring folder;
    if (target.empty() || !IsFileName(name) || !ShortcutFolder(folderId, subfolder, &folder))
        return std::wstring();
    return plat::JoinPath(folder, name + plat::kShortcutExtension);
}

bool DeleteShortcut(const std::wstring& target, const std::wstring& name, int folderId,
                    const std::wstring& subfolder) {
    FolderRights rights(folderId);
    std::wstring path = ShortcutPath(target, name, folderId, subfolder);
    if (path.empty())
        return false;
    plat::DeleteFile(path);
    if (!subfolder.empty())
        RemoveEmptiedSubfolder(plat::FolderOf(path));
    return true;
}

std::wstring UninstallShortcutName(const std::wstring& name) {
    return L"Uninstall " + name;
}

bool DeleteUninstallShortcut(const std::wstring& target, const std::wstring& name,
                             const std::wstring& subfolder, bool allUsers) {
    return DeleteShortcut(target, UninstallShortcutName(name),
                          allUsers ? plat::kCsidlCommonPrograms : plat::kCsidlPrograms, subfolder);
}

bool DeleteAllShortcuts(const std::wstring& target, const std::wstring& programSubfolder,
                        bool currentUserOnly) {
    if (target.empty())
        return false;
    const std::wstring wanted = NormalizeShortcutTarget(target);
    struct Place {
        int id;
        bool programs;
        bool common;
    };
    const Place places[] = {{plat::kCsidlDesktop, false, false},
                            {plat::kCsidlCommonDesktopDirectory, false, true},
                            {plat::kCsidlCommonStartMenu, false, true},
                            {plat::kCsidlStartMenu, false, false},
                            {plat::kCsidlCommonPrograms, true, true},
                            {plat::kCsidlPrograms, true, false}};
    std::vector<std::pair<std::wstring, int>> emptied; // folder, special folder id
    for (const Place& place : places) {
        if (currentUserOnly && place.common)
            continue;
        FolderRights rights(place.id);
        std::wstring folder;
        if (!plat::GetSpecialFolderPath(place.id, &folder))
            continue;
        if (place.programs) {
            if (!IsFileName(programSubfolder))
                continue;
            folder = plat::JoinPath(folder, programSubfolder);
        }
        if (folder.size() < kMinFolderLength)
            continue;
        for (const plat::FindEntry& entry : plat::FindFiles(
                 plat::JoinPath(folder, std::wstring(L"*") + plat::kShortcutExtension))) {
            if (entry.isDirectory)
                continue;
            std::wstring path = plat::JoinPath(folder, entry.name);
            plat::ShellLink link;
            if (!plat::LoadShellLink(path, &link))
                continue; // unreadable shortcuts are skipped
            if (!base::EqualsNoCase(NormalizeShortcutTarget(link.target), wanted))
                continue;
            plat::DeleteFile(path);
            if (place.programs) {
                if (plat::FileExists(plat::JoinPath(folder, plat::kFolderSettingsFile)) &&
                    CountFiles(folder) == 1)
                    DeleteFolderTree(folder);
                if (IsFolderEmpty(folder))
                    emptied.emplace_back(folder, place.id);
            }
        }
    }
    for (const auto& [folder, id] : emptied) {
        FolderRights rights(id);
        plat::RemoveDirectory(folder);
    }
    return true;
}

} // namespace assistant
