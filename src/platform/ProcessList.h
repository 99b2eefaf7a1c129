#pragma once
// The running processes of the system: their ids, executables and users,
// and a handle on one of them for waiting and ending it. Any thread.

#include "platform/Error.h"

#include <cstdint>
#include <string>
#include <vector>

namespace plat {

// Every process the system shows, in no particular order.
std::vector<std::uint32_t> ListProcessIds();
// The executable a process runs, as the system resolved it when it started
// (a file deleted since keeps its path). False when it cannot be read: the
// process has ended or belongs to a user this process may not look at.
bool GetProcessExecutable(std::uint32_t pid, std::wstring* path);
// When the process started, in clock ticks since the system started: a
// process that started earlier has a smaller value. False when it cannot
// be read (the process has ended).
bool GetProcessStartTime(std::uint32_t pid, std::uint64_t* ticks);
// The process runs as the user this process works for (Elevation.h), both
// its real and its effective user.
bool IsProcessOfInvokingUser(std::uint32_t pid);

// The path with every link and "." or ".." resolved, as an executable path
// of GetProcessExecutable reads. A path that does not exist (fully) is made
// absolute and cleaned lexically.
std::wstring ResolvedPath(const std::wstring& path);

// A process opened by its id. While it is open the id keeps naming that
// process, so what was checked about it is what gets ended. One thread uses
// it at a time.
class ProcessHandle {
public:
    ProcessHandle() = default;
    ~ProcessHandle();
    ProcessHandle(ProcessHandle&& other) noexcept;
    ProcessHandle& operator=(ProcessHandle&& other) noexcept;
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;

    // Fails with 87 when there is no such process.
    bool Open(std::uint32_t pid);
    bool IsOpen() const { return fd_ >= 0; }
    std::uint32_t Id() const { return pid_; }
    // The process has ended (it may not have been collected by its parent).
    bool HasEnded() const;
    // True when it ended within the time-out (-1 waits for ever); false with
    // 258 when it still runs.
    bool Wait(int timeoutMs) const;
    // Ends it at once. 5 when this process may not end it.
    bool Terminate() const;
    void Close();

private:
    int fd_ = -1;
    std::uint32_t pid_ = 0;
};

} // namespace plat
