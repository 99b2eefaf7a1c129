#pragma once
// Starting the platform_child helper program from the tests, and waiting for
// the files it writes. Used on the test's main thread.

#include "platform/CommandLine.h"
#include "platform/Process.h"
#include "platform/Unicode.h"
#include "support/ChildProcess.h"

#include <chrono>
#include <filesystem>
#include <thread>
#include <vector>

namespace platformtest {

// Generous bound for anything a child does; only a broken test reaches it.
constexpr int kWatchdogMs = 30000;

inline std::wstring ChildPath() {
    return plat::Utf8ToWide(PLATFORM_CHILD_PATH);
}

inline plat::ProcessStartInfo ChildStart(const std::vector<std::wstring>& args,
                                         plat::TailPassing tail = plat::TailPassing::Verbatim) {
    plat::ProcessStartInfo info;
    info.commandLine = plat::BuildCommandLine(ChildPath(), plat::JoinArguments(args));
    info.tail = tail;
    return info;
}

// Starts the child, waits for it and gives its exit code; ~0u when it could
// not be started or did not end in time.
inline std::uint32_t RunToEnd(const plat::ProcessStartInfo& info) {
    return testsupport::RunToEnd(info, kWatchdogMs);
}

inline bool WaitForFile(const std::wstring& path) {
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWatchdogMs);
    while (!std::filesystem::exists(plat::WideToUtf8(path))) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

} // namespace platformtest
