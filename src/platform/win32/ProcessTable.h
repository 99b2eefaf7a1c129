#pragma once
// The kernel handles of the children that Process objects stand for. A
// Process keeps only the child's id; the handle, which keeps that id from
// naming another process, lives here until the object closes. Any thread.

#include "platform/Process.h"
#include "platform/win32/Handle.h"

#include <cstdint>

namespace plat {

namespace win {

// Takes ownership of the handle of the process with this id.
void KeepProcessHandle(std::uint32_t pid, HANDLE h);
// The handle kept for the id, or null.
HANDLE KeptProcessHandle(std::uint32_t pid);
// Closes and forgets the handle kept for the id.
void DropProcessHandle(std::uint32_t pid);

} // namespace win

// Makes a Process stand for a process started some other way (the shell's
// ShellExecuteEx); takes ownership of the handle.
struct ProcessHandover {
    static void Adopt(Process* process, HANDLE h);
};

} // namespace plat
