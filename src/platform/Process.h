#pragma once
// The running process (id, executable, version, command line) and child
// processes started from a Windows-style command-line text.

#include "platform/Error.h"

#include <cstdint>
#include <string>

namespace plat {

struct FileVersion {
    unsigned major = 0, minor = 0, build = 0, revision = 0;
};

std::uint32_t GetCurrentProcessId();
// Full path of the running executable.
std::wstring GetExecutablePath();
// Folder of the running executable, with its trailing separator.
std::wstring GetExecutableFolder();
// The version the build gave the launcher.
FileVersion GetOwnFileVersion();
// True when the process runs with administrator rights (root on POSIX, or
// the test elevation of Elevation.h).
bool IsProcessElevated();
// True when a process of this user's session runs the executable file at
// `path` (compared as the system resolves it).
bool IsProgramRunning(const std::wstring& path);

// The process's command line without the program name, as one text. It is
// set once by InitProcessCommandLine from main's arguments.
const std::wstring& GetCommandLine();
// POSIX: a launcher copy started by another launcher gets the text its
// parent built as the single argument after kCommandLineMarker and keeps it
// verbatim; a start from a shell joins the arguments with Windows quoting.
void InitProcessCommandLine(int argc, const char* const* argv);
void SetCommandLineForTest(const std::wstring& commandLine);
inline constexpr const char* kCommandLineMarker = "--launcher-command-line";

// How the text after the program token reaches the child.
enum class TailPassing {
    Verbatim, // one argument after kCommandLineMarker (a launcher copy)
    Split,    // split with the Windows rules into separate arguments
};

struct ProcessStartInfo {
    std::wstring commandLine;   // program token first, as CreateProcess takes it
    std::wstring workingFolder; // empty: the caller's
    bool hidden = false;        // no window shown (no effect where windows cannot be hidden)
    TailPassing tail = TailPassing::Verbatim;
};

// A started child. Waiting and the exit code work until Close. One thread
// uses an object at a time; a child that is closed before it ends is reaped
// in the background so that it leaves no zombie.
class Process {
public:
    Process() = default;
    ~Process();
    Process(Process&& other) noexcept;
    Process& operator=(Process&& other) noexcept;
    Process(const Process&) = delete;
    Process& operator=(const Process&) = delete;

    // Fails as CreateProcess does: 2 or 3 when the program is missing, 5 when
    // it may not be run, 193 when it is no program, 267 when the working
    // folder is missing.
    bool Start(const ProcessStartInfo& info);
    // True when the process ended within the time-out (-1 waits forever);
    // false with last error 258 when it is still running.
    bool Wait(int timeoutMs);
    // The exit code, or 259 (still active) while it runs.
    bool GetExitCode(std::uint32_t* code);
    bool Terminate(std::uint32_t exitCode);
    std::uint32_t Id() const { return pid_; }
    bool IsValid() const { return pid_ != 0; }
    // Forgets the child without waiting; it goes on running.
    void Close();

private:
    // The Windows backend's hand-over of a process the shell started.
    friend struct ProcessHandover;

    // Collects the child's status; blocking waits until it ends. True once reaped.
    bool Reap(bool blocking);

    std::uint32_t pid_ = 0;
    bool reaped_ = false;
    std::uint32_t exitCode_ = 0;
    // Terminate's exit code, reported instead of the kill signal.
    bool terminated_ = false;
    std::uint32_t terminateCode_ = 0;
};

} // namespace plat
