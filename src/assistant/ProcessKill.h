#pragma once
// Finding and ending the processes that run a given executable. Only
// processes of the user the caller works for are ever ended, and paths are
// compared exactly as the system resolves them. Free functions; any thread.

#include <cstdint>
#include <string>

namespace assistant {

// Time a process is given to end after it was told to.
inline constexpr int kEndWaitMs = 1000;

// A process of the user runs the executable at `path`.
bool IsRunningFromPath(const std::wstring& path);

// Ends every process of the user (this process excepted) that runs the
// executable at `path`, and waits up to kEndWaitMs for each. True when every
// one of them has ended; `ended` (when given) counts them.
bool KillByPath(const std::wstring& path, int* ended = nullptr);

} // namespace assistant
