// The process's socket and the listener thread behind it. The listener reads
// one request per connection and answers posts, queries and lists itself;
// a send goes to the window's thread with the connection, and that thread
// writes the reply once the handler has run.

#include "platform/posix/ProcessPort.h"

#include "platform/Elevation.h"
#include "platform/Unicode.h"
#include "platform/posix/CrossProcess.h"
#include "platform/posix/ErrnoMap.h"
#include "platform/posix/SocketIo.h"
#include "platform/posix/WindowTable.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace plat::posix {

namespace {

// How long a peer may take to deliver its request or take our reply.
constexpr int kPeerIoMs = 2000;

// Serves the connections of other launcher processes, one request each.
// Lives on its own detached thread for the rest of the process. It never
// waits for a window thread, so a busy or hung window cannot stop it; a peer
// gets kPeerIoMs to deliver its request and to take an answer.
class PortListener {
public:
    explicit PortListener(UniqueFd listening) : listening_(std::move(listening)) {}

    [[noreturn]] void Run() {
        for (;;) {
            UniqueFd connection(
                ::accept4(listening_.Get(), nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
            if (!connection.IsValid()) {
                // Out of descriptors or a connection that went away: pause
                // briefly rather than spin, then go on.
                if (errno != EINTR && errno != ECONNABORTED)
                    std::this_thread::sleep_for(std::chrono::milliseconds(20));
                continue;
            }
            if (FromSameUser(connection.Get()))
                Serve(std::move(connection));
        }
    }

private:
    // The user's own processes, and an administrator's (the elevated
    // assistant answering the launcher that started it).
    static bool FromSameUser(int fd) {
        ucred peer{};
        socklen_t size = sizeof peer;
        return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
               (peer.uid == ::geteuid() || peer.uid == 0);
    }

    static void Answer(int fd, std::uint32_t status, LRESULT result = 0,
                       std::string payload = std::string()) {
        WireReply reply;
        reply.status = status;
        reply.result = result;
        reply.payload = std::move(payload);
        SendAll(fd, EncodeReply(reply), Deadline::In(kPeerIoMs));
    }

    static WireWindow ToWire(const WindowRecord& record) {
        return WireWindow{record.handle, WideToUtf8(record.className), WideToUtf8(record.title)};
    }

    void Serve(UniqueFd connection) {
        WireRequest request;
        if (!ReadRequest(connection.Get(), Deadline::In(kPeerIoMs), &request))
            return;
        WindowTable& table = WindowTable::Instance();
        switch (request.kind) {
        case WireKind::Post: {
            Msg msg;
            msg.window = request.window;
            msg.message = request.message;
            msg.wParam = request.wParam;
            msg.lParam = request.lParam;
            bool posted = table.Post(request.window, msg);
            Answer(connection.Get(), posted ? kErrSuccess : kErrInvalidWindowHandle);
            return;
        }
        case WireKind::Send:
        case WireKind::CopyData:
            QueueSend(request, std::move(connection));
            return;
        case WireKind::Query: {
            WindowRecord record;
            if (!table.Lookup(request.window, &record)) {
                Answer(connection.Get(), kErrInvalidWindowHandle);
                return;
            }
            Answer(connection.Get(), kErrSuccess, 0, EncodeWindowList({ToWire(record)}));
            return;
        }
        case WireKind::List: {
            std::vector<WireWindow> windows;
            for (const WindowRecord& record : table.TopLevelOfClass(Utf8ToWide(request.payload)))
                windows.push_back(ToWire(record));
            Answer(connection.Get(), kErrSuccess, 0, EncodeWindowList(windows));
            return;
        }
        }
    }

    // The window's thread answers when it has run the handler; a send that
    // never runs (window destroyed, thread ended) answers 1400 as it goes.
    static void QueueSend(WireRequest& request, UniqueFd connection) {
        Msg msg;
        msg.window = request.window;
        msg.message = request.message;
        msg.wParam = request.wParam;
        msg.lParam = request.lParam;
        if (request.kind == WireKind::CopyData) {
            msg.message = WM_COPYDATA;
            msg.copyData.number = request.number;
            msg.copyData.bytes = std::move(request.payload);
        }
        auto shared = std::make_shared<UniqueFd>(std::move(connection));
        auto send =
            std::make_shared<PendingSend>(std::move(msg), [shared](bool delivered, LRESULT result) {
                Answer(shared->Get(), delivered ? kErrSuccess : kErrInvalidWindowHandle, result);
            });
        WindowTable::Instance().QueueSend(request.window, send);
    }

    UniqueFd listening_;
};

// What the process knows of its own socket, guarded by its mutex (the exit
// handler reads it without). Never destroyed.
struct PortState {
    std::mutex mutex;
    bool listening = false;
    std::string path;
    pid_t owner = 0;
};

PortState& State() {
    static PortState* state = new PortState();
    return *state;
}

void RemoveSocketAtExit() {
    PortState& state = State();
    // A forked child that exits normally must not take its parent's socket.
    if (state.owner == ::getpid() && !state.path.empty())
        ::unlink(state.path.c_str());
}

// Binds under a private name and renames into place once listening, so that
// a connecting process never finds the final name without a listener (and
// never removes it as left over).
UniqueFd Bind(const std::string& folder, std::string* path) {
    // Both names have the same length.
    std::string staging = folder + std::to_string(::getpid()) + ".bind";
    *path = ProcessSocketPath(folder, static_cast<std::uint32_t>(::getpid()));
    sockaddr_un address{};
    if (!FillUnixAddress(staging, &address))
        return UniqueFd();
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (!fd.IsValid()) {
        SetLastErrno(errno);
        return fd;
    }
    ::unlink(staging.c_str());
    if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd.Get(), SOMAXCONN) != 0 || ::rename(staging.c_str(), path->c_str()) != 0) {
        SetLastErrno(errno);
        ::unlink(staging.c_str());
        return UniqueFd();
    }
    return fd;
}

} // namespace

bool EnsureProcessPort() {
    // A copy running as root for another user only posts to that user's
    // windows; it never listens among that user's sockets.
    if (ActsForOtherUser())
        return true;
    PortState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    if (state.listening && state.owner == ::getpid())
        return true;
    std::string folder = WindowSocketFolder();
    if (folder.empty())
        return false;
    std::string path;
    UniqueFd listening = Bind(folder, &path);
    if (!listening.IsValid())
        return false;
    try {
        auto listener = std::make_shared<PortListener>(std::move(listening));
        std::thread([listener] { listener->Run(); }).detach();
    } catch (const std::system_error& error) {
        ::unlink(path.c_str());
        SetLastErrno(error.code().value());
        return false;
    }
    static bool exitHandlerSet = std::atexit(RemoveSocketAtExit) == 0;
    (void)exitHandlerSet;
    state.path = path;
    state.owner = ::getpid();
    state.listening = true;
    return true;
}

} // namespace plat::posix
