// The folder picker through zenity, the desktop's dialog program when it is
// installed: started with its arguments (no shell), its answer read from
// its standard output.

#include "platform/FolderPicker.h"

#include "platform/Error.h"
#include "platform/FileSystem.h"
#include "platform/Unicode.h"

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

extern char** environ;

namespace plat {

namespace {

// The nearest existing folder at or above `path`.
std::wstring ExistingFolder(std::wstring path) {
    while (!path.empty() && !DirectoryExists(path)) {
        const std::size_t slash = path.find_last_of(L'/');
        if (slash == std::wstring::npos)
            return {};
        path.resize(slash == 0 ? 1 : slash);
        if (path == L"/")
            break;
    }
    return path;
}

} // namespace

bool PickFolder(const std::wstring& title, const std::wstring& current, std::wstring* chosen) {
    int pipeEnds[2];
    if (::pipe(pipeEnds) != 0) {
        SetLastError(kErrFileNotFound);
        return false;
    }
    std::wstring start = ExistingFolder(current);
    if (!start.empty() && start.back() != L'/')
        start += L'/';
    std::vector<std::string> args = {"zenity", "--file-selection", "--directory",
                                     "--title=" + WideToUtf8(title)};
    if (!start.empty())
        args.push_back("--filename=" + WideToUtf8(start));
    std::vector<char*> argv;
    for (std::string& arg : args)
        argv.push_back(arg.data());
    argv.push_back(nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipeEnds[0]);
    pid_t pid = 0;
    const int spawned = ::posix_spawnp(&pid, "zenity", &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipeEnds[1]);
    if (spawned != 0) {
        ::close(pipeEnds[0]);
        SetLastError(kErrFileNotFound);
        return false;
    }
    // A path is short; anything beyond a few pages is no answer.
    std::string answer;
    char buffer[4096];
    for (;;) {
        const ssize_t got = ::read(pipeEnds[0], buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            break;
        if (answer.size() < 65536)
            answer.append(buffer, static_cast<std::size_t>(got));
    }
    ::close(pipeEnds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    while (!answer.empty() && (answer.back() == '\n' || answer.back() == '\r'))
        answer.pop_back();
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || answer.empty() ||
        answer.size() >= 65536) {
        SetLastError(kErrCancelled);
        return false;
    }
    *chosen = Utf8ToWide(answer);
    return true;
}

} // namespace plat
