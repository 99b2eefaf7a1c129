// A stand-in for the game client that the launcher starts, finds and
// serves. It makes its main window of the client's class, answers the
// launcher's identity check for its short name, signals the start event (or
// not, or late), writes what it received and what happened to it to a file,
// stays up until its window is closed or it is asked to end, and can ask a
// launcher started with "/download" for add packages.
//
// Settings come from the environment, which the launcher passes on:
//   FAKE_CLIENT_OUTPUT       file the lines below are appended to
//   FAKE_CLIENT_CLASS        window class (default: this build's)
//   FAKE_CLIENT_SHORT_NAME   the short name it answers to (default: this build's)
//   FAKE_CLIENT_START_EVENT  "signal" (default), "none" or "late:<ms>"
//   FAKE_CLIENT_DOWNLOAD     "<launcher path>|<request text>": runs the
//                            "/download" protocol once the window exists
//   FAKE_CLIENT_EXIT_AFTER_MS  ends on its own after that time
// Lines written: "pid N", "command-line TEXT", "window N", "start-event
// signalled|missing", "identity match|mismatch NAME", "show N", "activate",
// "download-started", "answer 2674 W L", "answer 2675 W L", "quit".

#include "platform/CommandLine.h"
#include "platform/ImageLock.h"
#include "platform/NamedEvent.h"
#include "platform/NamedPipe.h"
#include "platform/Process.h"
#include "platform/Termination.h"
#include "platform/Unicode.h"
#include "platform/Window.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#ifndef FAKE_CLIENT_DEFAULT_CLASS
#define FAKE_CLIENT_DEFAULT_CLASS "GameWnd"
#endif
#ifndef FAKE_CLIENT_DEFAULT_SHORT_NAME
#define FAKE_CLIENT_DEFAULT_SHORT_NAME "Game"
#endif

namespace {

constexpr const char* kStartEventName = "{E44BFF50-25BA-49A3-9C71-EBC1AAC8D22E}";
constexpr std::uint64_t kIdentityNumber = 1000;
constexpr std::uint32_t kMsgNewTask = plat::WM_USER + 1550;
constexpr std::uint32_t kMsgDownloadReady = plat::WM_USER + 1650;
constexpr std::uint32_t kMsgTaskAnswer = plat::WM_USER + 1651;
constexpr std::uint64_t kLateEventTimer = 1;
constexpr std::uint64_t kExitTimer = 2;
constexpr std::uint64_t kTaskId = 7;

std::string Env(const char* name, const char* fallback = "") {
    const char* value = std::getenv(name);
    return value ? value : fallback;
}

void Report(const std::string& line) {
    static const std::string path = Env("FAKE_CLIENT_OUTPUT");
    if (path.empty())
        return;
    std::ofstream out(path, std::ios::app | std::ios::binary);
    out << line << '\n';
}

class FakeClient final : public plat::IWindowHandler {
public:
    bool Start() {
        window_ = plat::CreateWindow(
            plat::Utf8ToWide(Env("FAKE_CLIENT_CLASS", FAKE_CLIENT_DEFAULT_CLASS)),
            L"Fake game client", this);
        if (window_ == 0)
            return false;
        Report("window " + std::to_string(window_));
        StartEvent();
        if (const std::string after = Env("FAKE_CLIENT_EXIT_AFTER_MS"); !after.empty())
            plat::SetTimer(window_, kExitTimer, static_cast<unsigned>(std::stoul(after)));
        if (!Env("FAKE_CLIENT_DOWNLOAD").empty())
            StartDownload();
        return true;
    }
    plat::HWND Window() const { return window_; }

    plat::LRESULT HandleWindowMessage(plat::HWND, std::uint32_t message, plat::WPARAM wParam,
                                      plat::LPARAM lParam,
                                      const plat::CopyData* copyData) override {
        switch (message) {
        case plat::WM_COPYDATA:
            return Identify(copyData);
        case plat::WM_SHOWWINDOW:
            Report("show " + std::to_string(wParam));
            return 0;
        case plat::WM_ACTIVATE:
            Report("activate");
            return 0;
        case plat::WM_TIMER:
            if (wParam == kLateEventTimer) {
                plat::KillTimer(window_, kLateEventTimer);
                SignalEvent();
            } else if (wParam == kExitTimer) {
                plat::PostQuitMessage(0);
            }
            return 0;
        case plat::WM_CLOSE:
            plat::PostQuitMessage(0);
            return 0;
        case kMsgDownloadReady:
            Report("answer 2674 " + std::to_string(wParam) + " " + std::to_string(lParam));
            if (lParam == 0)
                SendRequest(static_cast<plat::HWND>(wParam));
            return 0;
        case kMsgTaskAnswer:
            Report("answer 2675 " + std::to_string(wParam) + " " + std::to_string(lParam));
            return 0;
        default:
            return 0;
        }
    }

private:
    plat::LRESULT Identify(const plat::CopyData* data) {
        if (!data || data->number != kIdentityNumber)
            return 0;
        std::string name = data->bytes;
        bool terminated = !name.empty() && name.back() == '\0';
        if (terminated)
            name.pop_back();
        bool match =
            terminated && name == Env("FAKE_CLIENT_SHORT_NAME", FAKE_CLIENT_DEFAULT_SHORT_NAME);
        Report(std::string("identity ") + (match ? "match " : "mismatch ") + name);
        return match ? 1 : 0;
    }

    void StartEvent() {
        const std::string how = Env("FAKE_CLIENT_START_EVENT", "signal");
        if (how == "none")
            return;
        if (how.rfind("late:", 0) == 0) {
            plat::SetTimer(window_, kLateEventTimer,
                           static_cast<unsigned>(std::stoul(how.substr(5))));
            return;
        }
        SignalEvent();
    }

    void SignalEvent() {
        plat::NamedEvent event;
        if (event.Open(kStartEventName) && event.Set())
            Report("start-event signalled");
        else
            Report("start-event missing");
    }

    // The client's side of "/download": its pipe, named by its window, then
    // the launcher with the window's number.
    void StartDownload() {
        const std::string setting = Env("FAKE_CLIENT_DOWNLOAD");
        const std::size_t bar = setting.find('|');
        const std::wstring launcher = plat::Utf8ToWide(setting.substr(0, bar));
        request_ = bar == std::string::npos ? std::string() : setting.substr(bar + 1);
        const std::wstring number = std::to_wstring(static_cast<std::int64_t>(window_));
        if (!pipe_.Create(L"\\\\.\\pipe\\launcher_" + number)) {
            Report("download-pipe failed");
            return;
        }
        plat::ProcessStartInfo info;
        info.commandLine = plat::BuildCommandLine(launcher, L"/download " + number);
        std::wstring folder = launcher.substr(0, launcher.find_last_of(L'/') + 1);
        info.workingFolder = folder;
        plat::Process process;
        if (!process.Start(info)) {
            Report("download-start failed");
            return;
        }
        process.Close();
        Report("download-started");
    }

    void SendRequest(plat::HWND launcherWindow) {
        if (!pipe_.Write(request_.data(), request_.size())) {
            Report("request-write failed");
            return;
        }
        plat::PostMessage(launcherWindow, kMsgNewTask, kTaskId,
                          static_cast<plat::LPARAM>(request_.size()));
        Report("request " + request_);
    }

    plat::HWND window_ = 0;
    plat::NamedPipe pipe_;
    std::string request_;
};

void CloseOnRequest(void* context) {
    plat::PostMessage(*static_cast<plat::HWND*>(context), plat::WM_CLOSE, 0, 0);
}

} // namespace

int main(int argc, char** argv) {
    plat::WatchTerminationRequests();
    plat::HoldRunningImage();
    Report("pid " + std::to_string(plat::GetCurrentProcessId()));
    std::vector<std::wstring> arguments;
    for (int i = 1; i < argc; ++i)
        arguments.push_back(plat::Utf8ToWide(argv[i]));
    std::string line = argc > 0 ? argv[0] : "";
    if (!arguments.empty())
        line += " " + plat::WideToUtf8(plat::JoinArguments(arguments));
    Report("command-line " + line);

    FakeClient client;
    if (!client.Start())
        return 1;
    plat::HWND window = client.Window();
    plat::SetTerminationCallback(&CloseOnRequest, &window);
    plat::Msg msg;
    while (plat::GetMessage(&msg) > 0)
        plat::DispatchMessage(msg);
    plat::SetTerminationCallback(nullptr, nullptr);
    Report("quit");
    return 0;
}
