#pragma once
// Opening a file the way the desktop opens it, for the caller to wait on.
// Any thread.

#include "platform/Process.h"

#include <string>

namespace plat {

// A file that may be run is started as a program (without arguments);
// any other file goes to the desktop's opener (xdg-open). 2 when the file
// is missing, 1155 when nothing can open it.
bool OpenDocument(const std::wstring& path, Process* process);

// Opens a web address in the user's browser (xdg-open; the program named
// by LAUNCHER_URL_OPENER instead, for tests) without waiting for it. Only
// "http://" and "https://" addresses without blanks or control characters
// are opened; anything else fails with 87 and starts nothing. 1155 when
// nothing can open it.
bool OpenAddress(const std::wstring& address);
// The rule OpenAddress applies to the address.
bool IsWebAddress(const std::wstring& address);

} // namespace plat
