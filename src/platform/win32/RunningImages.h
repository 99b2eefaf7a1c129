#pragma once
// Which program files running processes were started from, for the checks
// that keep a running program's file (and the folders leading to it) in
// place. The system refuses most such changes by itself, but not on every
// file system and not under every compatibility layer, so the platform
// asks first. Any thread.

#include <string>

namespace plat::win {

// The file name ends in ".exe": a file the system may run as a program.
bool IsProgramFileName(const std::wstring& path);
// A process of this user's session runs from a file below the folder.
bool RunsImageBelow(const std::wstring& folder);

} // namespace plat::win
