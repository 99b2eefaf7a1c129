// Requests to other launcher processes: one connection per request, the
// reply read on the same connection, every wait bounded.

#include "platform/posix/CrossProcess.h"

#include "platform/Elevation.h"
#include "platform/Folders.h"
#include "platform/Unicode.h"
#include "platform/posix/ErrnoMap.h"
#include "platform/posix/ProcessPort.h"
#include "platform/posix/SocketIo.h"
#include "platform/posix/ThreadQueue.h"
#include "platform/posix/WindowTable.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <dirent.h>
#include <sys/socket.h>
#include <sys/types.h>
#include <unistd.h>

namespace plat::posix {

namespace {

// Bounds for the requests that have no time-out of their own: a live
// listener answers them at once.
constexpr int kPostTimeoutMs = 5000;
constexpr int kQueryTimeoutMs = 2000;
constexpr int kListTimeoutMs = 2000;

bool ProcessIsGone(std::uint32_t pid) {
    return ::kill(static_cast<pid_t>(pid), 0) != 0 && errno == ESRCH;
}

// The listener belongs to the user this process works for, or to an
// administrator.
bool ListenerIsTrusted(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           (peer.uid == InvokingUserId() || peer.uid == 0);
}

// Connects to the socket of a process. A socket nobody listens on whose
// process has ended is left over from a crash: it is removed.
UniqueFd ConnectToProcess(const std::string& folder, std::uint32_t pid, const Deadline& deadline) {
    std::string path = ProcessSocketPath(folder, pid);
    int err = 0;
    UniqueFd fd;
    {
        InvokingUserFiles asUser;
        fd = ConnectUnix(path, deadline, &err);
    }
    if (fd.IsValid() && !ListenerIsTrusted(fd.Get())) {
        SetLastError(kErrInvalidWindowHandle);
        return UniqueFd();
    }
    if (fd.IsValid())
        return fd;
    if (err == ECONNREFUSED && ProcessIsGone(pid)) {
        InvokingUserFiles asUser;
        ::unlink(path.c_str());
    }
    if (err == ENOENT || err == ECONNREFUSED)
        SetLastError(kErrInvalidWindowHandle);
    else if (err == ETIMEDOUT)
        SetLastError(kErrTimeout);
    else
        SetLastErrno(err);
    return fd;
}

// Turns a reply into the call's outcome.
bool Accept(const WireReply& reply) {
    if (reply.status == kErrSuccess)
        return true;
    SetLastError(reply.status);
    return false;
}

// A connection that closed before the exchange ended means the process (and
// its windows) went away.
bool ReplyFailed() {
    if (GetLastError() == kErrBrokenPipe)
        SetLastError(kErrInvalidWindowHandle);
    return false;
}

// One request and its reply, with the reply read as soon as it is there.
bool Exchange(std::uint32_t pid, const WireRequest& request, const Deadline& deadline,
              WireReply* reply) {
    std::string folder = WindowSocketFolder();
    if (folder.empty())
        return false;
    UniqueFd fd = ConnectToProcess(folder, pid, deadline);
    if (!fd.IsValid())
        return false;
    if (!SendAll(fd.Get(), EncodeRequest(request), deadline))
        return ReplyFailed();
    if (!ReadReply(fd.Get(), deadline, reply))
        return ReplyFailed();
    return Accept(*reply);
}

} // namespace

std::string WindowSocketFolder() {
    std::wstring runtime = GetRuntimeFolder();
    if (runtime.empty())
        return std::string();
    std::wstring folder = runtime + L"win";
    if (!EnsurePrivateFolder(folder))
        return std::string();
    return WideToUtf8(folder) + "/";
}

std::string ProcessSocketPath(const std::string& folder, std::uint32_t pid) {
    return folder + std::to_string(pid) + ".sock";
}

bool RemotePost(HWND window, std::uint32_t message, WPARAM wParam, LPARAM lParam) {
    // The other side may want to answer with a post of its own.
    EnsureProcessPort();
    WireRequest request;
    request.kind = WireKind::Post;
    request.window = window;
    request.message = message;
    request.wParam = wParam;
    request.lParam = lParam;
    WireReply reply;
    return Exchange(ProcessIdOfWindow(window), request, Deadline::In(kPostTimeoutMs), &reply);
}

bool RemoteSend(const Msg& msg, int timeoutMs, LRESULT* result) {
    EnsureProcessPort();
    std::shared_ptr<ThreadQueue> queue = ThreadQueue::Current(true);
    std::string folder = WindowSocketFolder();
    if (!queue || folder.empty())
        return false;
    WireRequest request;
    request.kind = msg.message == WM_COPYDATA ? WireKind::CopyData : WireKind::Send;
    request.window = msg.window;
    request.message = msg.message;
    request.wParam = msg.wParam;
    request.lParam = msg.lParam;
    if (request.kind == WireKind::CopyData) {
        if (msg.copyData.bytes.size() > kMaxWirePayload) {
            SetLastError(kErrInvalidParameter);
            return false;
        }
        request.number = msg.copyData.number;
        request.payload = msg.copyData.bytes;
    }
    Deadline deadline = Deadline::In(timeoutMs);
    UniqueFd fd = ConnectToProcess(folder, ProcessIdOfWindow(msg.window), deadline);
    if (!fd.IsValid())
        return false;
    if (!SendAll(fd.Get(), EncodeRequest(request), deadline))
        return ReplyFailed();
    // The handler over there may send to a window of this thread before it
    // answers: serve those while waiting, or both sides would wait for ever.
    if (queue->WaitServing(nullptr, fd.Get(), deadline) == ThreadQueue::WaitResult::TimedOut) {
        SetLastError(kErrTimeout);
        return false;
    }
    WireReply reply;
    if (!ReadReply(fd.Get(), deadline, &reply))
        return ReplyFailed();
    if (!Accept(reply))
        return false;
    if (result)
        *result = reply.result;
    return true;
}

bool RemoteQuery(HWND window, std::wstring* className, std::wstring* title) {
    WireRequest request;
    request.kind = WireKind::Query;
    request.window = window;
    WireReply reply;
    if (!Exchange(ProcessIdOfWindow(window), request, Deadline::In(kQueryTimeoutMs), &reply))
        return false;
    std::vector<WireWindow> windows;
    if (!DecodeWindowList(reply.payload, &windows) || windows.size() != 1) {
        SetLastError(kErrInvalidData);
        return false;
    }
    if (className)
        *className = Utf8ToWide(windows[0].className);
    if (title)
        *title = Utf8ToWide(windows[0].title);
    return true;
}

void RemoteFindByClass(const std::wstring& className, std::vector<HWND>* windows) {
    std::string folder = WindowSocketFolder();
    if (folder.empty())
        return;
    std::vector<std::uint32_t> pids;
    if (DIR* dir = ::opendir(folder.c_str())) {
        while (const dirent* entry = ::readdir(dir)) {
            std::string name = entry->d_name;
            std::size_t digits = name.find_first_not_of("0123456789");
            if (digits == 0 || digits == std::string::npos || name.substr(digits) != ".sock" ||
                digits > 10)
                continue;
            unsigned long pid = std::stoul(name.substr(0, digits));
            if (pid != 0 && pid <= 0xFFFFFFFFul && pid != static_cast<unsigned long>(::getpid()))
                pids.push_back(static_cast<std::uint32_t>(pid));
        }
        ::closedir(dir);
    }
    std::sort(pids.begin(), pids.end());

    WireRequest request;
    request.kind = WireKind::List;
    request.payload = WideToUtf8(className);
    for (std::uint32_t pid : pids) {
        WireReply reply;
        std::vector<WireWindow> found;
        if (!Exchange(pid, request, Deadline::In(kListTimeoutMs), &reply) ||
            !DecodeWindowList(reply.payload, &found))
            continue;
        for (const WireWindow& window : found) {
            // Only what that process may answer for.
            if (ProcessIdOfWindow(window.window) == pid &&
                SameClassName(Utf8ToWide(window.className), className))
                windows->push_back(window.window);
        }
    }
}

} // namespace plat::posix
