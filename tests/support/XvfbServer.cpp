#include "support/XvfbServer.h"

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

namespace {

constexpr const char* kXvfb = "/usr/bin/Xvfb";

} // namespace

bool XvfbServer::Installed() {
    return ::access(kXvfb, X_OK) == 0;
}

XvfbServer::XvfbServer(int width, int height) {
    if (!Installed())
        return;
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC) != 0)
        return;
    const std::string screen = std::to_string(width) + "x" + std::to_string(height) + "x24";
    pid_ = ::fork();
    if (pid_ == 0) {
        // The child keeps the pipe's write end across exec, as descriptor 3.
        ::dup2(fds[1], 3);
        int null = ::open("/dev/null", O_RDWR);
        if (null >= 0) {
            ::dup2(null, 1);
            ::dup2(null, 2);
        }
        ::execl(kXvfb, kXvfb, "-displayfd", "3", "-screen", "0", screen.c_str(), "-nolisten", "tcp",
                "-br", "-noreset", static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(fds[1]);
    if (pid_ < 0) {
        ::close(fds[0]);
        return;
    }
    // Xvfb writes the display number once it accepts clients.
    std::string number;
    pollfd wait{fds[0], POLLIN, 0};
    while (::poll(&wait, 1, 10000) > 0) {
        char buffer[16];
        ssize_t got = ::read(fds[0], buffer, sizeof buffer);
        if (got <= 0)
            break;
        number.append(buffer, static_cast<std::size_t>(got));
        if (number.find('\n') != std::string::npos)
            break;
    }
    ::close(fds[0]);
    while (!number.empty() && (number.back() == '\n' || number.back() == '\r'))
        number.pop_back();
    if (!number.empty())
        display_ = ":" + number;
}

XvfbServer::~XvfbServer() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        while (::waitpid(pid_, &status, 0) < 0 && errno == EINTR) {
        }
    }
}

int XvfbServer::Run(const std::string& command) const {
    const std::string line = "DISPLAY=" + display_ + " " + command;
    int status = std::system(line.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace testsupport
