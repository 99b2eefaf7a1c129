// The child program of the assistant tests. "/assistant <window>" takes the
// assistant role as the launcher's entry point does; "sleep <ms>" stands in
// for a running client; "foreign-pipe <socket> <uid> <ready>" serves a pipe
// as another user would, to show that the assistant refuses it.

#include "assistant/Assistant.h"
#include "assistant/AssistantProtocol.h"
#include "platform/CommandLine.h"
#include "platform/ImageLock.h"
#include "platform/Process.h"
#include "platform/Unicode.h"
#include "platform/Window.h"

#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#ifndef _WIN32
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#endif

namespace {

constexpr int kUsage = 100;
#ifndef _WIN32
constexpr int kFailed = 101;

// Another user's pipe is a Linux socket owned by another user; the Windows
// pipe tests make theirs in the platform's own tests.
int ForeignPipe(const std::vector<std::wstring>& args) {
    std::string path = plat::WideToUtf8(args[1]);
    uid_t uid = static_cast<uid_t>(std::stoul(args[2]));
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.c_str(), sizeof address.sun_path - 1);
    ::unlink(path.c_str());
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
        return kFailed;
    // The listening socket carries the credentials it had when it began to
    // listen: another user's.
    std::ofstream ready(plat::WideToUtf8(args[3]));
    if (::seteuid(uid) != 0 || ::listen(fd, 1) != 0 || ::seteuid(0) != 0)
        return kFailed;
    ready << "ready";
    ready.close();
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, 30000) <= 0)
        return kFailed;
    int client = ::accept(fd, nullptr, nullptr);
    const char code[4] = {4, 0, 0, 0};
    ::send(client, code, sizeof code, MSG_NOSIGNAL);
    char buffer[16];
    while (::recv(client, buffer, sizeof buffer, 0) > 0) {
    }
    return 0;
}
#endif

} // namespace

int main(int argc, char** argv) {
    plat::InitProcessCommandLine(argc, argv);
    std::vector<std::wstring> args = plat::SplitArguments(plat::GetCommandLine());
    if (args.empty())
        return kUsage;
    if (args[0] == L"/assistant") {
        if (args.size() != 2)
            return 0;
        plat::HWND window = std::wcstoull(args[1].c_str(), nullptr, 10);
        // A slow start, for tests of what the launcher does meanwhile.
        if (const char* delay = std::getenv("ASSISTANT_CHILD_DELAY_MS"))
            std::this_thread::sleep_for(std::chrono::milliseconds(std::atoi(delay)));
        if (!plat::IsProcessElevated()) {
            plat::PostMessage(window, assistant::eWindowsMessage_LauncherAssistantNotAdmin, 0, 0);
            return 0;
        }
        return assistant::RunAssistantProcess(window);
    }
    if (args[0] == L"hold" && args.size() == 2) {
        // A program running from a folder: its file is locked meanwhile.
        plat::HoldRunningImage();
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(args[1])));
        return 0;
    }
    if (args[0] == L"sleep" && args.size() == 2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(std::stoi(args[1])));
        return 0;
    }
#ifndef _WIN32
    if (args[0] == L"foreign-pipe" && args.size() == 4)
        return ForeignPipe(args);
#endif
    return kUsage;
}
