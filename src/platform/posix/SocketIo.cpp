// Deadline-bounded Unix socket I/O over poll().

#include "platform/posix/SocketIo.h"

#include "platform/Error.h"
#include "platform/posix/ErrnoMap.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace plat::posix {

namespace {

// Waits for `events` on the descriptor; false with 1460 when the deadline
// passed.
bool WaitFor(int fd, short events, const Deadline& deadline) {
    for (;;) {
        pollfd entry{fd, events, 0};
        int ready = ::poll(&entry, 1, deadline.PollMs());
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR) {
            SetLastErrno(errno);
            return false;
        }
        if (deadline.Passed()) {
            SetLastError(kErrTimeout);
            return false;
        }
    }
}

bool SetPeerGone(int err) {
    if (err == EPIPE || err == ECONNRESET)
        SetLastError(kErrBrokenPipe);
    else
        SetLastErrno(err);
    return false;
}

} // namespace

void UniqueFd::Reset() {
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool FillUnixAddress(const std::string& path, sockaddr_un* address) {
    address->sun_family = AF_UNIX;
    if (path.size() >= sizeof address->sun_path) {
        SetLastError(kErrFilenameTooLong);
        return false;
    }
    std::memcpy(address->sun_path, path.c_str(), path.size() + 1);
    return true;
}

UniqueFd ConnectUnix(const std::string& path, const Deadline& deadline, int* err) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.size() >= sizeof address.sun_path) {
        *err = ENAMETOOLONG;
        return UniqueFd();
    }
    std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
    UniqueFd fd(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0));
    if (!fd.IsValid()) {
        *err = errno;
        return fd;
    }
    // A nonblocking Unix connect completes at once or reports a full
    // backlog (EAGAIN); then it is tried again until the deadline.
    auto pause = std::chrono::milliseconds(1);
    for (;;) {
        if (::connect(fd.Get(), reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0)
            return fd;
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN) {
            *err = errno;
            return UniqueFd();
        }
        if (deadline.Passed()) {
            *err = ETIMEDOUT;
            return UniqueFd();
        }
        std::this_thread::sleep_for(pause);
        pause = std::min(pause * 2, std::chrono::milliseconds(20));
    }
}

bool SendAll(int fd, std::string_view data, const Deadline& deadline) {
    while (!data.empty()) {
        ssize_t sent = ::send(fd, data.data(), data.size(), MSG_NOSIGNAL);
        if (sent > 0) {
            data.remove_prefix(static_cast<std::size_t>(sent));
            continue;
        }
        if (sent < 0 && errno == EINTR)
            continue;
        if (sent < 0 && errno != EAGAIN)
            return SetPeerGone(errno);
        if (!WaitFor(fd, POLLOUT, deadline))
            return false;
    }
    return true;
}

bool ReceiveExact(int fd, std::size_t size, const Deadline& deadline, std::string* out) {
    out->assign(size, '\0');
    std::size_t got = 0;
    while (got < size) {
        ssize_t count = ::recv(fd, out->data() + got, size - got, 0);
        if (count > 0) {
            got += static_cast<std::size_t>(count);
            continue;
        }
        if (count == 0) {
            SetLastError(kErrBrokenPipe);
            return false;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            return SetPeerGone(errno);
        if (!WaitFor(fd, POLLIN, deadline))
            return false;
    }
    return true;
}

bool ReadRequest(int fd, const Deadline& deadline, WireRequest* request) {
    std::string header;
    if (!ReceiveExact(fd, kRequestHeaderSize, deadline, &header))
        return false;
    std::uint32_t payloadSize = 0;
    if (!DecodeRequestHeader(header, request, &payloadSize)) {
        SetLastError(kErrInvalidData);
        return false;
    }
    return ReceiveExact(fd, payloadSize, deadline, &request->payload);
}

bool ReadReply(int fd, const Deadline& deadline, WireReply* reply) {
    std::string header;
    if (!ReceiveExact(fd, kReplyHeaderSize, deadline, &header))
        return false;
    std::uint32_t payloadSize = 0;
    if (!DecodeReplyHeader(header, reply, &payloadSize)) {
        SetLastError(kErrInvalidData);
        return false;
    }
    return ReceiveExact(fd, payloadSize, deadline, &reply->payload);
}

} // namespace plat::posix
