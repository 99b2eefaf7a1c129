#pragma once
// The window layer's side of other launcher processes: where their sockets
// are, and the requests this process makes of them. Private to the POSIX
// backend; any thread.

#include "platform/Window.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plat::posix {

// "<runtime folder>/win/" in UTF-8, created private when missing; empty on
// failure (last error set).
std::string WindowSocketFolder();
// "<folder><pid>.sock": the socket of one process.
std::string ProcessSocketPath(const std::string& folder, std::uint32_t pid);

// Each fails with 1400 when the window's process is gone or has no such
// window. A socket left by a process that has ended is removed on the way.
bool RemotePost(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam);
// Handles sends to this thread while it waits; 1460 when no reply came in
// time. WM_COPYDATA carries msg.copyData along.
bool RemoteSend(const Msg& msg, int timeoutMs, LRESULT* result);
// Either pointer may be null: then it only asks whether the window exists.
bool RemoteQuery(HWND window, std::wstring* className, std::wstring* title);
// Appends the top-level windows of the class in every other launcher
// process that answers; a process that cannot answer is skipped.
void RemoteFindByClass(const std::wstring& className, std::vector<HWND>* windows);

} // namespace plat::posix
