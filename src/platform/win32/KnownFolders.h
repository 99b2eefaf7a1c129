#pragma once
// The shell's known folders by id, and absolute paths given in environment
// variables. Any thread.

#include "platform/win32/Handle.h"

#include <string>

namespace plat::win {

// The folder's path without a trailing separator; empty (last error set)
// when the shell has none.
std::wstring KnownFolderPath(const GUID& id);

// The variable's value when it holds an absolute path ("C:\..." or
// "\\server\..."), without trailing separators; else empty.
std::wstring AbsolutePathFromEnv(const wchar_t* name);

// The folder that holds the users' profiles; empty when the system cannot
// tell it.
std::wstring ProfilesFolder();

} // namespace plat::win
