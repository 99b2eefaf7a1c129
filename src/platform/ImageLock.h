#pragma once
// The stand-in for Windows' lock on a running program's file. On Windows the
// file of a running executable cannot be deleted or replaced; the launcher's
// self-update, uninstall and move flows rely on that. Here each launcher
// process holds a shared lock on its own executable for its whole life, and
// the platform's deletes (DeleteFile, the folder-tree deletes) and replaces
// (MoveFile over an existing file, moves of a folder holding one) of such a
// file fail with 32 (sharing violation) while a process holds it. Any
// thread.

#include <string>

namespace plat {

// Takes the shared lock on the running executable; called once at start.
// False when the file cannot be opened or locked (nothing else changes).
bool HoldRunningImage();

// A program that holds its lock runs from the file at `path` (not followed
// through a link at its end). Only runnable regular files are looked at.
bool IsImageInUse(const std::wstring& path);

} // namespace plat
