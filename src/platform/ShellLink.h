#pragma once
// Shortcut files and folder icons in the desktop's own formats. On Linux a
// shortcut is a freedesktop desktop entry ("<name>.desktop") that records its
// target and arguments, and a folder's icon is a ".directory" entry inside
// the folder. Files are written to a temporary name and renamed into place;
// a link found where a file goes is replaced, never followed. Any thread.

#include <string>

namespace plat {

// The file name ending of a shortcut, and the folder-settings file. On
// Windows a shortcut is a shell link (".lnk") and a folder's icon is named
// in its "desktop.ini".
#ifdef _WIN32
inline constexpr wchar_t kShortcutExtension[] = L".lnk";
inline constexpr wchar_t kFolderSettingsFile[] = L"desktop.ini";
#else
inline constexpr wchar_t kShortcutExtension[] = L".desktop";
inline constexpr wchar_t kFolderSettingsFile[] = L".directory";
#endif

struct ShellLink {
    std::wstring displayName;
    std::wstring target;        // the program the shortcut starts
    std::wstring arguments;     // command-line text after the program (Windows rules)
    std::wstring workingFolder; // empty: none
    std::wstring iconFile;      // empty: the target
    int iconIndex = 0;
};

bool SaveShellLink(const std::wstring& path, const ShellLink& link);
// Reads a shortcut back. False for a file that is no shortcut of this
// format, is larger than a shortcut can be, or is a link.
bool LoadShellLink(const std::wstring& path, ShellLink* link);

// Gives the folder an icon: the file and its index.
bool SetFolderIcon(const std::wstring& folder, const std::wstring& iconFile, int iconIndex);

} // namespace plat
