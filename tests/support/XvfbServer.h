#pragma once
// A virtual X server of the test's own: Xvfb started on a display number it
// picks itself (-displayfd, so parallel tests never meet), with a black root,
// stopped at the end. Tests skip when Xvfb is not installed.

#include <string>

namespace testsupport {

class XvfbServer {
public:
    // Starts Xvfb with one screen of that size; Ready() tells whether it
    // answered within a few seconds.
    explicit XvfbServer(int width = 800, int height = 600);
    ~XvfbServer();
    XvfbServer(const XvfbServer&) = delete;
    XvfbServer& operator=(const XvfbServer&) = delete;

    static bool Installed();
    bool Ready() const { return !display_.empty(); }
    // ":N".
    const std::string& Display() const { return display_; }
    // Runs a shell command with DISPLAY set to this server; its exit code.
    int Run(const std::string& command) const;

private:
    int pid_ = -1;
    std::string display_;
};

} // namespace testsupport
