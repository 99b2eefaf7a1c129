#include "assistant/AssistantChecks.h"

#include "assistant/AssistantProtocol.h"
#include "base/Strings.h"
#include "platform/CommandLine.h"
#include "platform/Elevation.h"
#include "platform/FileSystem.h"
#include "platform/Folders.h"
#include "platform/PathRules.h"
#include "platform/ShellFolders.h"
#include "platform/Unicode.h"

#include <vector>

namespace assistant {

namespace {

constexpr wchar_t kUninstallList[] = L"software\\microsoft\\windows\\currentversion\\uninstall";

bool IsControl(wchar_t c) {
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0);
}

// "\" or "/": the separators of registry paths and of the relative paths in
// a record, which may come from either kind of system.
bool AnySeparator(wchar_t c) {
    return c == L'/' || c == L'\\';
}

// The names of a path, split at every character `separates` accepts.
std::vector<std::wstring> Names(const std::wstring& path, bool (*separates)(wchar_t)) {
    std::vector<std::wstring> names;
    std::wstring current;
    for (wchar_t c : path) {
        if (separates(c)) {
            names.push_back(current);
            current.clear();
        } else {
            current += c;
        }
    }
    names.push_back(current);
    return names;
}

// `folder` is `other` or a folder above it; both given as path keys.
bool IsSameOrAboveKey(const std::wstring& a, const std::wstring& b) {
    if (a == b)
        return true;
    if (a.empty() || b.size() <= a.size() || b.compare(0, a.size(), a) != 0)
        return false;
    // A root ends with its separator; any other folder is followed by one.
    return a.back() == plat::PathSeparator() || b[a.size()] == plat::PathSeparator();
}

bool IsSameOrAbove(const std::wstring& folder, const std::wstring& other) {
    return IsSameOrAboveKey(plat::PathKey(folder), plat::PathKey(other));
}

// The shell's folders and the user's own settings folders.
std::vector<std::wstring> SpecialFolders() {
    std::vector<std::wstring> folders = plat::GetUserSettingsFolders();
    for (int id :
         {plat::kCsidlDesktop, plat::kCsidlPrograms, plat::kCsidlStartMenu,
          plat::kCsidlCommonStartMenu, plat::kCsidlCommonPrograms, plat::kCsidlProgramFiles}) {
        std::wstring path;
        if (plat::GetSpecialFolderPath(id, &path))
            folders.push_back(path);
    }
    return folders;
}

bool CheckText(const AssistantData& data, std::string* why) {
    for (const TextField& field : AssistantTextFields()) {
        if (!IsPlainText(data.*field.member)) {
            *why = std::string(field.name) + " holds a control character";
            return false;
        }
    }
    return true;
}

// A required or optional safe name.
bool CheckName(const std::wstring& value, const char* field, bool required, std::string* why) {
    if (value.empty() && !required)
        return true;
    if (!IsSafeName(value)) {
        *why = std::string(field) + (value.empty() ? " is empty" : " is no plain name");
        return false;
    }
    return true;
}

bool CheckAbsolute(const std::wstring& value, const char* field, bool required, std::string* why) {
    if (value.empty() && !required)
        return true;
    if (!IsSafeAbsolutePath(value)) {
        *why = std::string(field) + " is no absolute path";
        return false;
    }
    return true;
}

} // namespace

bool IsPlainText(const std::wstring& text) {
    for (wchar_t c : text)
        if (IsControl(c))
            return false;
    return true;
}

bool IsSafeName(const std::wstring& name) {
    return !name.empty() && name.find_first_of(L"/\\") == std::wstring::npos && name != L"." &&
           name != L".." && IsPlainText(name);
}

bool IsSafeRegistryPath(const std::wstring& path) {
    if (path.empty() || !IsPlainText(path) || path.find(L'/') != std::wstring::npos)
        return false;
    for (const std::wstring& name : Names(path, AnySeparator))
        if (name.empty() || name == L"." || name == L"..")
            return false;
    std::wstring lower = base::ToLowerAscii(path);
    std::wstring list = kUninstallList;
    bool insideList = lower.size() >= list.size() && lower.compare(0, list.size(), list) == 0 &&
                      (lower.size() == list.size() || lower[list.size()] == L'\\');
    return !insideList;
}

bool IsSafeAbsolutePath(const std::wstring& path) {
    const std::size_t root = plat::AbsoluteRootLength(path);
    if (root == 0 || !IsPlainText(path))
        return false;
    for (const std::wstring& name : Names(path.substr(root), plat::IsPathSeparator))
        if (name == L"." || name == L".." || plat::HasReservedPathCharacter(name))
            return false;
    return true;
}

bool IsSafeRelativePath(const std::wstring& path) {
    if (path.empty() || path[0] == L'/' || path[0] == L'\\' || !IsPlainText(path) ||
        plat::AbsoluteRootLength(path) != 0)
        return false;
    for (const std::wstring& name : Names(path, AnySeparator))
        if (name.empty() || name == L"." || name == L".." || plat::HasReservedPathCharacter(name))
            return false;
    return true;
}

std::string CheckRecord(int command, const AssistantData& data,
                        const std::vector<std::string>& unterminated) {
    std::string why;
    if (!unterminated.empty())
        return unterminated.front() + " has no terminator";
    if (data.command != command)
        return "the block's command " + std::to_string(data.command) + " is not " +
               std::to_string(command);
    if (!CheckText(data, &why))
        return why;

    const bool install = command == eLauncherCmd_Install;
    const bool uninstall = command == eLauncherCmd_Uninstall;
    const bool rights = command == eLauncherCmd_GetRights;
    const bool icons = command == eLauncherCmd_IconUpdate;
    const bool move = command == eLauncherCmd_SetLongName;
    const bool kill = command == eLauncherCmd_KillProcess;
    const bool folderCommand = install || uninstall || rights || icons || move;
    const bool namedCommand = install || uninstall || icons || move;

    if (!CheckAbsolute(data.installFolder, "chInstallFolder", folderCommand, &why) ||
        !CheckName(data.shortName, "chShortName", false, &why) ||
        !CheckName(data.fullName, "chFullName", false, &why) ||
        !CheckName(data.iconName, "chIconName", namedCommand, &why) ||
        !CheckName(data.launcherName, "chLauncherName", install || uninstall || move, &why) ||
        !CheckAbsolute(data.lnkDesktopIcon, "chLnkDesctopIcon", false, &why))
        return why;
    if ((folderCommand || !data.regPath.empty()) && !IsSafeRegistryPath(data.regPath))
        return "chRegPath is no registry path of the launcher's own";
    if ((uninstall || kill) && !CheckAbsolute(data.temp, "chTemp", true, &why))
        return why;
    if (move) {
        MoveArguments arguments;
        if (!ParseMoveArguments(data.temp, &arguments))
            return "chTemp holds no move arguments";
        if (!CheckAbsolute(arguments.destination, "the move's destination", true, &why) ||
            !CheckName(arguments.oldShortName, "the old short name", false, &why) ||
            !CheckName(arguments.oldFullName, "the old full name", false, &why) ||
            !CheckName(arguments.oldIconName, "the old icon name", false, &why))
            return why;
        if (!arguments.oldRegPath.empty() && !IsSafeRegistryPath(arguments.oldRegPath))
            return "the old registry path is no registry path of the launcher's own";
    }
    for (const AssistantIcon& icon : data.icons) {
        if (!IsSafeName(icon.name))
            return "an icon's Name is no plain name";
        if (!IsSafeRelativePath(icon.exec))
            return "an icon's Exec leaves the installation folder";
    }
    return std::string();
}

bool ParseMoveArguments(const std::wstring& text, MoveArguments* arguments) {
    std::vector<std::wstring> values = plat::SplitArguments(text);
    if (values.size() < 5)
        return false;
    arguments->destination = values[0];
    arguments->oldShortName = values[1];
    arguments->oldFullName = values[2];
    arguments->oldRegPath = values[3];
    arguments->oldIconName = values[4];
    return true;
}

const char* FolderVerdictText(FolderVerdict verdict) {
    switch (verdict) {
    case FolderVerdict::Acceptable:
        return "acceptable";
    case FolderVerdict::NotAbsolute:
        return "not an absolute path";
    case FolderVerdict::Root:
        return "the root or a folder directly below it";
    case FolderVerdict::Home:
        return "a home folder or a folder above one";
    case FolderVerdict::Temporary:
        return "a temporary or private folder";
    case FolderVerdict::System:
        return "a folder of the system";
    case FolderVerdict::Special:
        return "a shell folder or a folder above one";
    }
    return "unknown";
}

FolderVerdict ClassifyWorkFolder(const std::wstring& resolvedPath) {
    if (!IsSafeAbsolutePath(resolvedPath))
        return FolderVerdict::NotAbsolute;
    const std::wstring path = plat::PathKey(resolvedPath);
    const wchar_t separator = plat::PathSeparator();
    const std::size_t root = plat::AbsoluteRootLength(path);
    // The root and the folders directly in it.
    if (path.size() <= root || path.find(separator, root) == std::wstring::npos)
        return FolderVerdict::Root;

    const plat::SystemFolderRules rules = plat::GetSystemFolderRules();
    bool inGameTree = false;
    for (const std::wstring& tree : rules.gameTrees) {
        const std::wstring key = plat::PathKey(tree);
        inGameTree = inGameTree || (IsSameOrAboveKey(key, path) && path != key);
    }
    if (!inGameTree)
        for (const std::wstring& tree : rules.systemTrees)
            if (IsSameOrAboveKey(plat::PathKey(tree), path))
                return FolderVerdict::System;

    for (const std::wstring& shared : rules.sharedTemporary)
        if (path == plat::PathKey(shared))
            return FolderVerdict::Temporary;
    for (const std::wstring& own : {plat::GetTempFolder(), plat::GetRuntimeFolder()})
        if (!own.empty() && (IsSameOrAbove(own, path) || IsSameOrAbove(path, own)))
            return FolderVerdict::Temporary;

    for (const std::wstring& home : plat::GetHomeFolders())
        if (IsSameOrAbove(path, home))
            return FolderVerdict::Home;
    // Every folder directly in a folder of homes is somebody's home, listed
    // or not.
    for (const std::wstring& holder : rules.homeHolders) {
        const std::wstring key = plat::PathKey(holder);
        if (path != key && IsSameOrAboveKey(key, path) &&
            path.find(separator, key.size() + 1) == std::wstring::npos)
            return FolderVerdict::Home;
    }
    for (const std::wstring& special : SpecialFolders())
        if (IsSameOrAbove(path, special))
            return FolderVerdict::Special;
    return FolderVerdict::Acceptable;
}

bool OpenWorkFolder(const std::wstring& path, const std::wstring& launcherName,
                    bool mustHoldLauncher, plat::OpenFolder* folder, std::string* why) {
    if (!IsSafeAbsolutePath(path)) {
        *why = "the folder is no absolute path";
        return false;
    }
    if (!folder->Open(path)) {
        *why = "the folder cannot be opened, error " + std::to_string(plat::GetLastError());
        return false;
    }
    FolderVerdict verdict = ClassifyWorkFolder(folder->ResolvedPath());
    if (verdict != FolderVerdict::Acceptable) {
        *why = std::string("the folder is ") + FolderVerdictText(verdict);
        folder->Close();
        return false;
    }
    if (mustHoldLauncher && !folder->HoldsFile(launcherName)) {
        *why = "the folder holds no " + plat::WideToUtf8(launcherName);
        folder->Close();
        return false;
    }
    return true;
}

} // namespace assistant
