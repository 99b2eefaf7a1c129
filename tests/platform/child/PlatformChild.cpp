// The child program of the platform tests. Its first argument (after the
// launcher's command-line rules) names what to do; it reports through files
// and its exit code. Every wait has a watchdog so a broken test cannot leave
// it running.

#include "platform/CommandLine.h"
#include "platform/Elevation.h"
#include "platform/Folders.h"
#include "platform/ImageLock.h"
#include "platform/NamedEvent.h"
#include "platform/NamedMutex.h"
#include "platform/Process.h"
#include "platform/Registry.h"
#include "platform/Unicode.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

constexpr int kUsage = 100;
constexpr int kFailed = 101;
constexpr int kWatchdog = 102;

// A path for the standard library: wide on Windows, whose narrow paths are
// in the system's code page rather than UTF-8.
std::filesystem::path PathOf(const std::wstring& path) {
#ifdef _WIN32
    return std::filesystem::path(path);
#else
    return std::filesystem::path(plat::WideToUtf8(path));
#endif
}

// A path as UTF-8 text.
std::string NarrowOf(const std::filesystem::path& path) {
#ifdef _WIN32
    return plat::WideToUtf8(path.wstring());
#else
    return path.string();
#endif
}

bool WriteFile(const std::wstring& path, const std::string& contents) {
    std::ofstream out(PathOf(path), std::ios::binary | std::ios::trunc);
    out.write(contents.data(), static_cast<std::streamsize>(contents.size()));
    return static_cast<bool>(out);
}

bool WaitForFile(const std::wstring& path) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!std::filesystem::exists(PathOf(path))) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

// hold-mutex create|open NAME READY GO: holds the mutex until GO appears.
int HoldMutex(const std::vector<std::wstring>& args) {
    if (args.size() != 5)
        return kUsage;
    plat::NamedMutex mutex;
    std::string name = plat::WideToUtf8(args[2]);
    bool ok = args[1] == L"create" ? mutex.Create(name, false) : mutex.Open(name);
    if (!ok)
        return kFailed;
    WriteFile(args[3], "held");
    return WaitForFile(args[4]) ? 0 : kWatchdog;
}

// spawn-holder NAME READY GO: creates the mutex, starts a child that opens it
// too, and exits as soon as that child holds it.
int SpawnHolder(const std::vector<std::wstring>& args) {
    if (args.size() != 4)
        return kUsage;
    plat::NamedMutex mutex;
    if (!mutex.Create(plat::WideToUtf8(args[1]), true))
        return kFailed;
    plat::ProcessStartInfo info;
    info.commandLine = plat::BuildCommandLine(
        plat::GetExecutablePath(),
        plat::JoinArguments({L"hold-mutex", L"open", args[1], args[2], args[3]}));
    plat::Process holder;
    if (!holder.Start(info))
        return kFailed;
    return WaitForFile(args[2]) ? 0 : kWatchdog;
}

// exit-holding NAME GO: creates the mutex, starts a child that waits for GO,
// and ends without closing anything, as a crash would.
int ExitHolding(const std::vector<std::wstring>& args) {
    if (args.size() != 3)
        return kUsage;
    plat::NamedMutex mutex;
    if (!mutex.Create(plat::WideToUtf8(args[1]), true))
        return kFailed;
    plat::ProcessStartInfo info;
    info.commandLine = plat::BuildCommandLine(plat::GetExecutablePath(),
                                              plat::JoinArguments({L"wait-for", args[2]}));
    plat::Process waiter;
    if (!waiter.Start(info))
        return kFailed;
    std::_Exit(0);
}

// hold-image READY GO: holds the lock on its own file (as every launcher
// does) until GO appears.
int HoldImage(const std::vector<std::wstring>& args) {
    if (args.size() != 3)
        return kUsage;
    if (!plat::HoldRunningImage())
        return kFailed;
    WriteFile(args[1], "held");
    return WaitForFile(args[2]) ? 0 : kWatchdog;
}

// set-event NAME: opens the event some other process holds, sets it and
// ends.
int SetEvent(const std::vector<std::wstring>& args) {
    if (args.size() != 2)
        return kUsage;
    plat::NamedEvent event;
    if (!event.Open(plat::WideToUtf8(args[1])))
        return kFailed;
    return event.Set() ? 0 : kFailed;
}

} // namespace

int main(int argc, char** argv) {
    plat::InitProcessCommandLine(argc, argv);
    std::vector<std::wstring> args = plat::SplitArguments(plat::GetCommandLine());
    if (args.empty())
        return kUsage;
    const std::wstring& mode = args[0];
    if (mode == L"hold-image")
        return HoldImage(args);
    if (mode == L"set-event")
        return SetEvent(args);
    if (mode == L"exit" && args.size() == 2)
        return std::stoi(args[1]);
    if (mode == L"sleep" && args.size() == 2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(args[1])));
        return 0;
    }
    if (mode == L"echo-line" && args.size() >= 2)
        return WriteFile(args[1], plat::WideToUtf8(plat::GetCommandLine())) ? 0 : kFailed;
    if (mode == L"echo-argv" && args.size() >= 2) {
        std::string record;
        for (int i = 1; i < argc; ++i)
            record += std::string(argv[i]) + '\0';
        return WriteFile(args[1], record) ? 0 : kFailed;
    }
    if (mode == L"cwd" && args.size() == 2)
        return WriteFile(args[1], NarrowOf(std::filesystem::current_path())) ? 0 : kFailed;
    if (mode == L"exe" && args.size() == 2)
        return WriteFile(args[1], plat::WideToUtf8(plat::GetExecutablePath())) ? 0 : kFailed;
    if (mode == L"wait-for" && args.size() == 2) {
        // Removing the file tells the starter that this process is done.
        if (!WaitForFile(args[1]))
            return kWatchdog;
        std::filesystem::remove(PathOf(args[1]));
        return 0;
    }
    if (mode == L"elevation" && args.size() == 2) {
        std::string report = std::string("elevated=") + (plat::IsProcessElevated() ? "1" : "0") +
                             " invoking=" + std::to_string(plat::InvokingUserId()) +
                             " acts=" + (plat::ActsForOtherUser() ? "1" : "0") +
                             " runtime=" + plat::WideToUtf8(plat::GetRuntimeFolder());
        return WriteFile(args[1], report) ? 0 : kFailed;
    }
    // write-registry-as UID KEY NAME VALUE: as that user, writes a string
    // into an existing key of the machine's store.
    if (mode == L"write-registry-as" && args.size() == 5) {
#ifdef _WIN32
        // Another account's rights are a matter of its logon; not offered here.
        return kUsage;
#else
        unsigned long uid = std::stoul(args[1]);
        if (::setgid(static_cast<gid_t>(uid)) != 0 || ::setuid(static_cast<uid_t>(uid)) != 0)
            return kFailed;
        plat::RegistryKey key;
        bool written = key.Open(plat::RegistryRoot::LocalMachine, args[2]) &&
                       key.WriteString(args[3], args[4]);
        return written ? 0 : 1;
#endif
    }
    if (mode == L"exit-holding")
        return ExitHolding(args);
    if (mode == L"hold-mutex")
        return HoldMutex(args);
    if (mode == L"spawn-holder")
        return SpawnHolder(args);
    return kUsage;
}
