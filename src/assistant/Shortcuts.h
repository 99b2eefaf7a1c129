#pragma once
// Shortcuts in the user's and the all-users shell folders (ShellFolders.h):
// create, find, delete, and delete every shortcut that points to a target.
// A shortcut is named by its target, display name, special folder and
// optional subfolder; its file is "<folder>/<subfolder>/<name>" with the
// system's shortcut extension (".desktop", ".lnk").
// Free functions without state; the launcher's window thread, the
// assistant's main thread and the uninstaller thread call them.

#include <string>

namespace assistant {

// Creates the shortcut (its folder too, when missing). With folderIcon the
// shortcut's folder gets the target's icon. False for an empty target or
// name, a name that is no plain file name, or an unknown folder.
bool CreateShortcut(const std::wstring& target, const std::wstring& arguments,
                    const std::wstring& name, int folderId, const std::wstring& subfolder,
                    int iconIndex, bool folderIcon);
// The shortcut file's path; empty when the target or the name is empty or
// the folder cannot be found. Nothing is written.
std::wstring ShortcutPath(const std::wstring& target, const std::wstring& name, int folderId,
                          const std::wstring& subfolder);
// Deletes the shortcut file; with a subfolder, the subfolder too once it
// holds nothing (or nothing but its folder settings).
bool DeleteShortcut(const std::wstring& target, const std::wstring& name, int folderId,
                    const std::wstring& subfolder);
// The "Uninstall <name>" shortcut in the subfolder of the all-users or the
// user's programs menu.
bool DeleteUninstallShortcut(const std::wstring& target, const std::wstring& name,
                             const std::wstring& subfolder, bool allUsers);
// "Uninstall <name>".
std::wstring UninstallShortcutName(const std::wstring& name);
// Deletes every shortcut that points to the target in the desktops, the
// start menus and the programs subfolders of the user and of all users (of
// the user only, with `currentUserOnly`).
bool DeleteAllShortcuts(const std::wstring& target, const std::wstring& programSubfolder,
                        bool currentUserOnly = false);

// The form in which shortcut targets compare: without double quotes, "\"
// turned into "/", runs of separators collapsed to one.
std::wstring NormalizeShortcutTarget(const std::wstring& target);

} // namespace assistant
