#include "platform/CommandLine.h"
#include "platform/Process.h"
#include "platform/Unicode.h"

#include <cstring>
#include <vector>

#ifdef _WIN32
#include "platform/win32/OwnCommandLine.h"

#include <stdlib.h>
#endif

namespace plat {

namespace {

// Written once at start (main thread) before other threads read it.
std::wstring& StoredCommandLine() {
    static std::wstring commandLine;
    return commandLine;
}

#ifdef _WIN32
// The arguments are the ones the C runtime made of this process's command
// line (main's, or a copy of them).
bool IsOwnArguments(int argc, const char* const* argv) {
    if (argc != __argc || __argv == nullptr)
        return false;
    for (int i = 0; i < argc; ++i)
        if (argv[i] == nullptr || __argv[i] == nullptr || std::strcmp(argv[i], __argv[i]) != 0)
            return false;
    return true;
}
#endif

} // namespace

const std::wstring& GetCommandLine() {
    return StoredCommandLine();
}

void InitProcessCommandLine(int argc, const char* const* argv) {
#ifdef _WIN32
    // A program reads its command line whole on Windows: given main's own
    // arguments, the text after the program token is taken as its starter
    // wrote it, and nothing is lost to splitting and joining again.
    if (IsOwnArguments(argc, argv)) {
        StoredCommandLine() = win::OwnCommandLineTail();
        return;
    }
#endif
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
