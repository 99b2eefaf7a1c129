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

} // namespace plat
