#pragma once
// The shell's special folders by their Windows numbers, where the desktop
// keeps them on this system. Any thread.
//
// On Linux (XDG conventions): the desktop is the user's XDG desktop folder;
// the start menu and the programs menu are the user's applications folder
// ($XDG_DATA_HOME/applications); the all-users menus are the machine's
// applications folder ($LAUNCHER_COMMON_DATA_DIR/applications, normally
// /usr/local/share/applications); the programs folder is
// $LAUNCHER_PROGRAM_FILES, normally /opt. There is no all-users desktop. A
// copy acting for another user (Elevation.h) gives that user's folders.
//
// On Windows: the shell's known folders. Tests move the all-users places
// below $LAUNCHER_COMMON_DATA_DIR and the user's below
// $LAUNCHER_USER_DATA_DIR (each as "Microsoft\Windows\Start Menu" and, for
// the user, "Desktop"); $USERPROFILE counts among the home folders.

#include <string>
#include <vector>

namespace plat {

enum SpecialFolder : int {
    kCsidlDesktop = 0,
    kCsidlPrograms = 2,
    kCsidlStartMenu = 11,
    kCsidlCommonStartMenu = 22,
    kCsidlCommonPrograms = 23,
    kCsidlCommonDesktopDirectory = 25,
    kCsidlProgramFiles = 38,
};

// The folder's path, without a trailing separator; it need not exist yet.
// False with last error 2 for a folder this system does not have, 3 when
// the user's home folder cannot be told.
bool GetSpecialFolderPath(int id, std::wstring* path);

// The user's home folder and the folders of the user's own settings, data,
// caches and state (XDG base directories), for the same checks.
std::vector<std::wstring> GetUserSettingsFolders();

// The home folders of every user account of the system, and the folders
// that hold home folders ("/home"), for the checks that keep an elevated
// copy out of them.
std::vector<std::wstring> GetHomeFolders();

} // namespace plat
