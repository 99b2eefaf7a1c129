// Child processes: fork and exec with an error pipe, so that a failed start
// is reported to the caller of Start as CreateProcess reports it.

#include "platform/Process.h"

#include "platform/CommandLine.h"
#include "platform/FileSystem.h"
#include "platform/Unicode.h"
#include "platform/posix/ErrnoMap.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace plat {

namespace {

constexpr std::uint32_t kStillActive = 259;

// What the child writes to the error pipe when it cannot run the program.
struct StartFailure {
    int stage; // kStageChdir or kStageExec
    int err;
};
constexpr int kStageChdir = 1;
constexpr int kStageExec = 2;

std::string CurrentFolder() {
    std::string buffer(256, '\0');
    while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE)
            return std::string();
        buffer.resize(buffer.size() * 2);
    }
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return buffer;
}

std::string WithSlash(std::string folder) {
    if (folder.empty() || folder.back() != '/')
        folder.push_back('/');
    return folder;
}

// The program path the child executes. A relative path means the caller's
// folder, not the child's working folder. A bare name is looked for as
// CreateProcess looks: the launcher's folder, the current folder, then PATH.
std::string ResolveProgram(const std::string& program) {
    if (program.empty() || program[0] == '/')
        return program;
    std::string cwd = WithSlash(CurrentFolder());
    if (program.find('/') != std::string::npos)
        return cwd + program;
    std::vector<std::string> folders = {WideToUtf8(GetExecutableFolder()), cwd};
    if (const char* path = std::getenv("PATH")) {
        std::string list = path;
        std::size_t begin = 0;
        while (begin <= list.size()) {
            std::size_t end = list.find(':', begin);
            if (end == std::string::npos)
                end = list.size();
            if (end > begin)
                folders.push_back(WithSlash(list.substr(begin, end - begin)));
            begin = end + 1;
        }
    }
    for (const std::string& folder : folders) {
        if (!folder.empty() && FileExists(Utf8ToWide(folder + program)))
            return folder + program;
    }
    return cwd + program;
}

std::uint32_t ExitCodeOf(int status) {
    if (WIFEXITED(status))
        return static_cast<std::uint32_t>(WEXITSTATUS(status));
    if (WIFSIGNALED(status))
        return 128u + static_cast<std::uint32_t>(WTERMSIG(status)); // as shells report it
    return 0;
}

void WriteFailure(int pipeFd, int stage, int err) {
    StartFailure failure{stage, err};
    while (::write(pipeFd, &failure, sizeof failure) < 0 && errno == EINTR) {
    }
}

// Runs in the forked child: only async-signal-safe calls until exec.
[[noreturn]] void RunChild(int pipeFd, const char* program, char* const* argv,
                           const char* workingFolder, int maxFd) {
    // Windows handles are not inherited: nothing but the standard streams
    // reaches the program.
    if (::close_range(3, ~0u, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd < maxFd; ++fd)
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    // Signals the launcher ignores or blocks are not the program's business.
    struct sigaction defaultAction {};
    defaultAction.sa_handler = SIG_DFL;
    for (int signo = 1; signo < NSIG; ++signo) {
        if (signo != SIGKILL && signo != SIGSTOP)
            ::sigaction(signo, &defaultAction, nullptr);
    }
    sigset_t none;
    sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);

    if (workingFolder && ::chdir(workingFolder) != 0) {
        WriteFailure(pipeFd, kStageChdir, errno);
        ::_exit(127);
    }
    ::execv(program, argv);
    WriteFailure(pipeFd, kStageExec, errno);
    ::_exit(127);
}

void SetStartError(const StartFailure& failure, const std::string& program) {
    if (failure.stage == kStageChdir) {
        bool missing = failure.err == ENOENT || failure.err == ENOTDIR;
        SetLastError(missing ? kErrDirectory : posix::ErrnoToError(failure.err));
        return;
    }
    if (failure.err == ENOENT) {
        std::string folder = program.substr(0, program.find_last_of('/') + 1);
        if (!folder.empty() && ::access(folder.c_str(), F_OK) != 0) {
            SetLastError(kErrPathNotFound);
            return;
        }
    }
    posix::SetLastErrno(failure.err);
}

} // namespace

Process::~Process() {
    Close();
}

Process::Process(Process&& other) noexcept {
    *this = std::move(other);
}

Process& Process::operator=(Process&& other) noexcept {
    if (this != &other) {
        Close();
        pid_ = other.pid_;
        reaped_ = other.reaped_;
        exitCode_ = other.exitCode_;
        terminated_ = other.terminated_;
        terminateCode_ = other.terminateCode_;
        other.pid_ = 0;
        other.reaped_ = false;
    }
    return *this;
}

bool Process::Start(const ProcessStartInfo& info) {
    Close();
    std::wstring programToken, tail;
    SplitProgramToken(info.commandLine, &programToken, &tail);
    if (programToken.empty()) {
        SetLastError(kErrFileNotFound);
        return false;
    }

    // Everything the child needs is built before fork.
    std::string program = ResolveProgram(WideToUtf8(programToken));
    std::vector<std::string> arguments = {WideToUtf8(programToken)};
    if (info.tail == TailPassing::Verbatim) {
        arguments.push_back(kCommandLineMarker);
        arguments.push_back(WideToUtf8(tail));
    } else {
        for (const std::wstring& argument : SplitArguments(tail))
            arguments.push_back(WideToUtf8(argument));
    }
    std::vector<char*> argv;
    for (std::string& argument : arguments)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::string workingFolder = WideToUtf8(info.workingFolder);
    struct rlimit limit {};
    int maxFd = 1024;
    if (::getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        maxFd = static_cast<int>(std::min<rlim_t>(limit.rlim_cur, 65536));

    int errorPipe[2];
    if (::pipe2(errorPipe, O_CLOEXEC) != 0) {
        posix::SetLastErrno(errno);
        return false;
    }
    pid_t pid = ::fork();
    if (pid < 0) {
        int err = errno;
        ::close(errorPipe[0]);
        ::close(errorPipe[1]);
        posix::SetLastErrno(err);
        return false;
    }
    if (pid == 0) {
        ::close(errorPipe[0]);
        RunChild(errorPipe[1], program.c_str(), argv.data(),
                 workingFolder.empty() ? nullptr : workingFolder.c_str(), maxFd);
    }
    ::close(errorPipe[1]);

    // The pipe closes without data when exec succeeds.
    StartFailure failure{};
    ssize_t got;
    do {
        got = ::read(errorPipe[0], &failure, sizeof failure);
    } while (got < 0 && errno == EINTR);
    ::close(errorPipe[0]);
    if (got == static_cast<ssize_t>(sizeof failure)) {
        int status = 0;
        while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
        }
        SetStartError(failure, program);
        return false;
    }
    pid_ = static_cast<std::uint32_t>(pid);
    reaped_ = false;
    terminated_ = false;
    return true;
}

bool Process::Reap(bool blocking) {
    if (reaped_)
        return true;
    int status = 0;
    pid_t result;
    do {
        result = ::waitpid(static_cast<pid_t>(pid_), &status, blocking ? 0 : WNOHANG);
    } while (result < 0 && errno == EINTR);
    if (result <= 0)
        return false;
    reaped_ = true;
    exitCode_ = ExitCodeOf(status);
    if (terminated_ && WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL)
        exitCode_ = terminateCode_;
    return true;
}

bool Process::Wait(int timeoutMs) {
    if (!IsValid()) {
        SetLastError(kErrInvalidHandle);
        return false;
    }
    if (timeoutMs < 0) {
        if (Reap(true))
            return true;
        posix::SetLastErrno(errno);
        return false;
    }
    // Polls at a short, growing interval: a child of ours has no descriptor
    // to wait on that every kernel offers.
    auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    auto interval = std::chrono::milliseconds(1);
    for (;;) {
        if (Reap(false))
            return true;
        auto now = std::chrono::steady_clock::now();
        if (now >= deadline)
            break;
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(interval, deadline - now));
        interval = std::min(interval * 2, std::chrono::milliseconds(10));
    }
    SetLastError(kErrWaitTimeout);
    return false;
}

bool Process::GetExitCode(std::uint32_t* code) {
    if (!IsValid()) {
        SetLastError(kErrInvalidHandle);
        return false;
    }
    *code = Reap(false) ? exitCode_ : kStillActive;
    return true;
}

bool Process::Terminate(std::uint32_t exitCode) {
    if (!IsValid()) {
        SetLastError(kErrInvalidHandle);
        return false;
    }
    // An ended child cannot be ended again; Windows says access denied.
    if (Reap(false)) {
        SetLastError(kErrAccessDenied);
        return false;
    }
    // Unreaped, the id still names our child (a zombie at worst).
    if (::kill(static_cast<pid_t>(pid_), SIGKILL) != 0) {
        posix::SetLastErrno(errno);
        return false;
    }
    terminated_ = true;
    terminateCode_ = exitCode;
    return true;
}

void Process::Close() {
    if (pid_ != 0 && !Reap(false)) {
        pid_t pid = static_cast<pid_t>(pid_);
        try {
            std::thread([pid] {
                int status = 0;
                while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
                }
            }).detach();
        } catch (...) {
            // Without a thread the ended child stays a zombie until we exit.
        }
    }
    pid_ = 0;
    reaped_ = false;
    terminated_ = false;
}

} // namespace plat
