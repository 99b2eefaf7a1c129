#pragma once
// The rules the install, uninstall and external-application flows apply to
// what comes from the user, the command line and the update manifest, and
// the texts they build: the installation folder that is used, the
// application files that may be started, the application identity and the
// temporary uninstaller's command line. Pure except where a rule looks at
// the folder on disk; window thread.

#include <string>

namespace logic {

// The folder an installation goes to, from the folder the user chose (or
// the one proposed). False when it is not an absolute path (or holds "." or
// ".." names). An existing folder that holds anything but is no
// installation (neither the launcher nor "guest.dat" inside) gets the
// default folder name appended, so that nothing of what it holds is ever
// cleaned up or uninstalled with the game. Trailing separators go.
bool SettleInstallFolder(const std::wstring& chosen, const std::wstring& defaultName,
                         std::wstring* folder);

// An external application's file as the manifest names it ("\" or "/"
// between names) may be started from the installation folder: relative,
// without "." or ".." names, a root or a drive letter.
bool IsSafeApplicationPath(const std::wstring& path);

// "AppID_<full name>_<signed CRC-32>": the CRC-32 of the icon's bytes
// continued over the installation folder's text (UTF-8).
std::wstring ApplicationIdentity(const std::wstring& fullName, const std::string& iconBytes,
                                 const std::wstring& installFolder);

// The desktop shortcut's path a "/uninstall" run passes on, in double
// quotes: the quoted path of its command line when that is one quoted text,
// else what follows "/uninstall" (a path without blanks that lost its quotes
// on the way), else "\"\"". It never holds "/uninstall" itself, or the
// temporary copy would make a copy again.
std::wstring UninstallShortcutArgument(const std::wstring& quotedPath);

// The temporary uninstaller's command line: its path in double quotes and a
// blank, then "/ug <shortcut argument> " for a portable installation or
// "/u ", then the installation folder.
std::wstring TemporaryUninstallerCommandLine(const std::wstring& copyPath, bool portable,
                                             const std::wstring& quotedPath,
                                             const std::wstring& installFolder);

} // namespace logic
