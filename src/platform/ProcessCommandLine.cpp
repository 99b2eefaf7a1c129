#include "platform/CommandLine.h"
#include "platform/Process.h"
#include "platform/Unicode.h"

#include <cstring>
#include <vector>

namespace plat {

namespace {

// Written once at start (main thread) before other threads read it.
std::wstring& StoredCommandLine() {
    static std::wstring commandLine;
    return commandLine;
}

} // namespace

const std::wstring& GetCommandLine() {
    return StoredCommandLine();
}

void InitProcessCommandLine(int argc, const char* const* argv) {
    if (argc == 3 && std::strcmp(argv[1], kCommandLineMarker) == 0) {
        StoredCommandLine() = Utf8ToWide(argv[2]);
        return;
    }
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(Utf8ToWide(argv[i]));
    StoredCommandLine() = JoinArguments(arguments);
}

void SetCommandLineForTest(const std::wstring& commandLine) {
    StoredCommandLine() = commandLine;
}

} // namespace plat
