// Named pipes as Unix stream sockets in the runtime folder's "pipe/" folder.
//
// The server listens with a backlog of one: a client that connects before
// the server takes it waits in that single place, and a second client finds
// the place taken (EAGAIN) and the pipe busy. Once the server has taken its
// client it fills the place with a connection of its own, so the pipe stays
// busy for everyone else while it serves that client, as a pipe with one
// instance does. A server holds an flock on "<socket>.lock" for its life, so
// a second server learns that the pipe is taken without connecting to it
// (which would take the one waiting place), and a socket file whose lock is
// free is known to be left over by a crash.

#include "platform/NamedPipe.h"

#include "platform/Elevation.h"
#include "platform/Folders.h"
#include "platform/Unicode.h"
#include "platform/posix/EncodedName.h"
#include "platform/posix/ErrnoMap.h"
#include "platform/posix/SocketIo.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace plat {

using posix::Deadline;
using posix::UniqueFd;

namespace {

constexpr wchar_t kPipePrefix[] = L"\\\\.\\pipe\\";
// Socket paths are short: the encoded name keeps room for the folder.
constexpr std::size_t kMaxEncodedName = 64;
// Attempts at taking the one waiting place from a client that slipped in.
constexpr int kPlaceAttempts = 4;
constexpr auto kBusyPoll = std::chrono::milliseconds(10);

// The socket file of a pipe name; empty (last error set) when the name is
// not a pipe name or the folder cannot be had.
std::string PipeSocketPath(const std::wstring& name) {
    const std::wstring prefix = kPipePrefix;
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) {
        SetLastError(kErrInvalidName);
        return std::string();
    }
    std::wstring runtime = GetRuntimeFolder();
    if (runtime.empty())
        return std::string();
    std::wstring folder = runtime + L"pipe";
    if (!EnsurePrivateFolder(folder))
        return std::string();
    std::string encoded =
        posix::EncodeName(WideToUtf8(name.substr(prefix.size())), kMaxEncodedName);
    return WideToUtf8(folder) + "/" + encoded;
}

// The other end runs as the user this process works for, or as root.
bool PeerIsTrusted(int fd) {
    ucred peer{};
    socklen_t size = sizeof peer;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &peer, &size) == 0 &&
           (peer.uid == InvokingUserId() || peer.uid == 0);
}

// A busy pipe: tries again until it is free or the wait is over. A pipe
// that goes away meanwhile may be on its way back (its server replaced), so
// that too only ends the wait at its end.
UniqueFd WaitUntilFree(const std::string& path, int waitMs, int* err) {
    Deadline deadline = Deadline::In(waitMs);
    for (;;) {
        UniqueFd fd = posix::ConnectUnix(path, Deadline::In(0), err);
        bool waitable = *err == ETIMEDOUT || *err == ENOENT || *err == ECONNREFUSED;
        if (fd.IsValid() || !waitable)
            return fd;
        if (deadline.Passed()) {
            *err = ETIMEDOUT;
            return fd;
        }
        std::this_thread::sleep_for(kBusyPoll);
    }
}

bool SameFile(const std::string& path, std::uint64_t device, std::uint64_t inode) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && static_cast<std::uint64_t>(st.st_dev) == device &&
           static_cast<std::uint64_t>(st.st_ino) == inode;
}

// Waits for the descriptor to become readable or writable; false when poll
// itself fails.
bool WaitFor(int fd, short events, int timeoutMs) {
    for (;;) {
        pollfd entry{fd, events, 0};
        int ready = ::poll(&entry, 1, timeoutMs);
        if (ready >= 0)
            return ready > 0;
        if (errno != EINTR) {
            posix::SetLastErrno(errno);
            return false;
        }
    }
}

} // namespace

NamedPipe::~NamedPipe() {
    Close();
}

bool NamedPipe::Create(const std::wstring& name) {
    Close();
    std::string path = PipeSocketPath(name);
    if (path.empty())
        return false;
    sockaddr_un address{};
    if (!posix::FillUnixAddress(path, &address))
        return false;
    // The lock says whether a server lives; a socket file without it is left
    // over from a crash and replaced.
    UniqueFd lock(
        ::open((path + ".lock").c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (!lock.IsValid()) {
        posix::SetLastErrno(errno);
        return false;
    }
    if (::flock(lock.Get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK)
            SetLastError(kErrPipeBusy);
        else
            posix::SetLastErrno(errno);
        return false;
    }
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.IsValid()) {
        posix::SetLastErrno(errno);
        return false;
    }
    ::unlink(path.c_str());
    struct stat st {};
    if (::bind(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(fd.Get(), 0) != 0 || ::lstat(path.c_str(), &st) != 0) {
        posix::SetLastErrno(errno);
        ::unlink(path.c_str());
        return false;
    }
    listenFd_ = fd.Release();
    lockFd_ = lock.Release();
    path_ = path;
    pathDevice_ = static_cast<std::uint64_t>(st.st_dev);
    pathInode_ = static_cast<std::uint64_t>(st.st_ino);
    return true;
}

bool NamedPipe::Open(const std::wstring& name, int busyWaitMs, int attempts) {
    Close();
    InvokingUserFiles asUser;
    std::string path = PipeSocketPath(name);
    if (path.empty())
        return false;
    for (int attempt = 0; attempt < attempts; ++attempt) {
        int err = 0;
        UniqueFd fd = posix::ConnectUnix(path, Deadline::In(0), &err);
        if (!fd.IsValid() && err == ETIMEDOUT)
            fd = WaitUntilFree(path, busyWaitMs, &err);
        if (fd.IsValid()) {
            if (!PeerIsTrusted(fd.Get())) {
                SetLastError(kErrAccessDenied);
                return false;
            }
            fd_.store(fd.Release());
            return true;
        }
        if (err == ENOENT || err == ECONNREFUSED) {
            SetLastError(kErrFileNotFound);
            return false;
        }
        if (err != ETIMEDOUT) {
            posix::SetLastErrno(err);
            return false;
        }
    }
    SetLastError(kErrPipeBusy);
    return false;
}

bool NamedPipe::AcceptClient() {
    if (fd_.load() >= 0)
        return true;
    if (listenFd_ < 0) {
        SetLastError(kErrInvalidHandle);
        return false;
    }
    for (;;) {
        UniqueFd client(::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!client.IsValid()) {
            if (errno == EINTR || errno == ECONNABORTED)
                continue;
            if (errno == EAGAIN || errno == EWOULDBLOCK)
                SetLastError(kErrPipeNotConnected);
            else
                posix::SetLastErrno(errno);
            return false;
        }
        if (!PeerIsTrusted(client.Get()))
            continue; // not ours to serve; it sees the pipe close
        fd_.store(client.Release());
        break;
    }
    // Take the one waiting place for ourselves. A client that slipped into
    // it meanwhile is turned away first.
    for (int attempt = 0; attempt < kPlaceAttempts && placeholderFd_ < 0; ++attempt) {
        int err = 0;
        UniqueFd placeholder = posix::ConnectUnix(path_, Deadline::In(0), &err);
        if (placeholder.IsValid()) {
            placeholderFd_ = placeholder.Release();
            break;
        }
        UniqueFd intruder(::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK));
        if (!intruder.IsValid())
            break;
    }
    return true;
}

// The connection for a read or a write: the server takes its client first.
int NamedPipe::Connection() {
    if (listenFd_ >= 0 && !AcceptClient())
        return -1;
    int fd = fd_.load();
    if (fd < 0)
        SetLastError(kErrInvalidHandle);
    return fd;
}

bool NamedPipe::Read(void* buffer, std::size_t size) {
    int fd = Connection();
    std::string got;
    if (fd < 0 || !posix::ReceiveExact(fd, size, Deadline::Never(), &got))
        return false;
    std::memcpy(buffer, got.data(), size);
    return true;
}

bool NamedPipe::Write(const void* data, std::size_t size) {
    int fd = Connection();
    return fd >= 0 && posix::SendAll(fd, std::string_view(static_cast<const char*>(data), size),
                                     Deadline::Never());
}

std::size_t NamedPipe::WaitForData(int timeoutMs) {
    int fd = Connection();
    if (fd < 0 || !WaitFor(fd, POLLIN, timeoutMs))
        return 0;
    int available = 0;
    if (::ioctl(fd, FIONREAD, &available) != 0 || available < 0)
        return 0;
    return static_cast<std::size_t>(available);
}

void NamedPipe::Disconnect() {
    int fd = fd_.load();
    if (fd >= 0)
        ::shutdown(fd, SHUT_RDWR);
}

void NamedPipe::Close() {
    int fd = fd_.exchange(-1);
    if (fd >= 0) {
        ::shutdown(fd, SHUT_RDWR);
        ::close(fd);
    }
    if (placeholderFd_ >= 0) {
        ::close(placeholderFd_);
        placeholderFd_ = -1;
    }
    if (listenFd_ >= 0) {
        // The name goes only when it is still this server's socket; the lock
        // file stays, so that no two servers ever lock different files.
        if (SameFile(path_, pathDevice_, pathInode_))
            ::unlink(path_.c_str());
        ::close(listenFd_);
        listenFd_ = -1;
    }
    if (lockFd_ >= 0) {
        ::close(lockFd_);
        lockFd_ = -1;
    }
    path_.clear();
    pathInode_ = pathDevice_ = 0;
}

} // namespace plat
