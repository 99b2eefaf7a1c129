#pragma once
// Requests from outside to end the program — on POSIX the signals SIGTERM,
// SIGINT and SIGHUP — turned into a callback on a thread of their own, so
// that the program can end the way its close button does and keep what it
// has not written yet. Without a callback the program ends at once with the
// signal's usual exit status.

namespace plat {

using TerminationCallback = void (*)(void* context);

// Call once from main before any other thread starts: every later thread
// inherits the blocked signals and only the watcher thread takes them.
void WatchTerminationRequests();

// The callback of later requests (null: end at once); it runs on the
// watcher thread and must only post. Any thread.
void SetTerminationCallback(TerminationCallback callback, void* context);

} // namespace plat
