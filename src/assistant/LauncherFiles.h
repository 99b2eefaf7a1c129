#pragma once
// The launcher's own file names, the whole-file copy that replaces a
// launcher, and the command line that restarts one. Free functions, safe on
// any thread.

#include <string>

namespace assistant {

inline constexpr wchar_t kLauncherFileName[] = L"Launcher.exe";
// The self-update copy that replaces "Launcher.exe" when it starts.
inline constexpr wchar_t kTempLauncherFileName[] = L"Launcher.tmp.exe";

// The file-name part of the path (after its last separator) is
// "Launcher.exe", compared without regard to case.
bool IsLauncherName(const std::wstring& exePath);
// The same for "Launcher.tmp.exe".
bool IsTempLauncherName(const std::wstring& exePath);

// Copies the source file over the target. The bytes go to a new file beside
// the target, which then takes the target's place, so the target is either
// the old file or a complete copy, never a truncated one. The copy keeps the
// source's mode bits (a copied launcher stays runnable); a read-only target
// is replaced as well. False with the last error set when the source cannot
// be read or the copy cannot be written or moved into place.
bool CopyFileWhole(const std::wstring& source, const std::wstring& target);

// The command line that restarts the launcher: the quoted path of fileName in
// installFolder, then " /fast" when fast, " /restart", and " /auto" when
// autoMode.
std::wstring BuildRestartCommandLine(const std::wstring& installFolder,
                                     const std::wstring& fileName, bool fast, bool autoMode);

} // namespace assistant
