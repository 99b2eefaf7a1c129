#pragma once
// The per-user copy that file virtualisation keeps of a folder the user could
// not write to: the set-long-name and uninstall flows remove it so that stale
// copies do not shadow the real folder. Runs on the window thread.

#include <string>

class CLogImplW;

namespace logic {

// The user's local application-data folder, without a trailing separator:
// $XDG_DATA_HOME when it is absolute, else ~/.local/share; "" when neither
// is known. It belongs with the platform layer's special folders and moves
// there once those offer it.
std::wstring GetLocalAppDataFolder();

// <localAppData>/VirtualStore/<workFolder without its drive>: a Windows path
// loses its drive letter, colon and the separator after them; a POSIX path
// loses its leading separators. "" when the folder is refused: a ".." name
// anywhere, or nothing left but the VirtualStore folder itself.
std::wstring VirtualStorePath(const std::wstring& localAppData, const std::wstring& workFolder);

// Removes the virtual-store copy of workFolder with everything below it, for
// folders of at least 4 characters, logging
// "Clear virtual store path  <path> .. OK" (or " .. not found") between blank
// lines. Links are removed, never followed, and a path that passes through a
// link from the VirtualStore folder down is refused (" .. refused"), so
// nothing outside the VirtualStore folder is touched; a removal that stops
// half-way logs " .. failed". True when a copy was removed.
bool ClearVirtualStore(const std::wstring& workFolder, CLogImplW* log);

} // namespace logic
