#pragma once
// This process's own socket for the window layer. Private to the POSIX
// backend.

namespace plat::posix {

// Makes the process reachable by other launcher processes: binds
// "win/<pid>.sock" in the runtime folder and starts the listener thread that
// answers on it. Only the first successful call does anything; a failed one
// (last error set) is tried again by the next. Any thread.
bool EnsureProcessPort();

} // namespace plat::posix
