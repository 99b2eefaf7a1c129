#include "support/Sockets.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#endif

#include <vector>

namespace testsupport {

namespace {

#ifdef _WIN32
using Native = SOCKET;
constexpr Native kNoNative = INVALID_SOCKET;
constexpr int kNoSignal = 0;

// Winsock needs starting once per process before any other call.
bool StartSockets() {
    static const bool started = [] {
        WSADATA data;
        return ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
    }();
    return started;
}

void CloseNative(Native socket) {
    ::closesocket(socket);
}

int PollNative(pollfd* fds, int count, int timeoutMs) {
    return ::WSAPoll(fds, static_cast<ULONG>(count), timeoutMs);
}
#else
using Native = int;
constexpr Native kNoNative = -1;
constexpr int kNoSignal = MSG_NOSIGNAL;

bool StartSockets() {
    return true;
}

void CloseNative(Native socket) {
    ::close(socket);
}

int PollNative(pollfd* fds, int count, int timeoutMs) {
    return ::poll(fds, static_cast<nfds_t>(count), timeoutMs);
}
#endif

Native ToNative(SocketHandle socket) {
    return socket == kNoSocket ? kNoNative : static_cast<Native>(socket);
}

SocketHandle FromNative(Native socket) {
    return socket == kNoNative ? kNoSocket : static_cast<SocketHandle>(socket);
}

Native NewSocket(int family, int type, int protocol) {
#ifdef _WIN32
    return ::WSASocketW(family, type, protocol, nullptr, 0, WSA_FLAG_NO_HANDLE_INHERIT);
#else
    return ::socket(family, type | SOCK_CLOEXEC, protocol);
#endif
}

} // namespace

SocketHandle ListenOnLoopback(int backlog, std::uint16_t* port) {
    if (!StartSockets())
        return kNoSocket;
    Native listener = NewSocket(AF_INET, SOCK_STREAM, 0);
    if (listener == kNoNative)
        return kNoSocket;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::listen(listener, backlog) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        CloseNative(listener);
        return kNoSocket;
    }
    *port = ntohs(address.sin_port);
    return FromNative(listener);
}

SocketHandle AcceptConnection(SocketHandle listener) {
#ifdef _WIN32
    return FromNative(::accept(ToNative(listener), nullptr, nullptr));
#else
    return FromNative(::accept4(ToNative(listener), nullptr, nullptr, SOCK_CLOEXEC));
#endif
}

SocketHandle ConnectTo(const std::string& host, const std::string& port) {
    if (!StartSockets())
        return kNoSocket;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* found = nullptr;
    std::string name = host;
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
        name = name.substr(1, name.size() - 2);
    if (::getaddrinfo(name.c_str(), port.c_str(), &hints, &found) != 0)
        return kNoSocket;
    Native socket = kNoNative;
    for (addrinfo* at = found; at != nullptr && socket == kNoNative; at = at->ai_next) {
        socket = NewSocket(at->ai_family, at->ai_socktype, at->ai_protocol);
        if (socket != kNoNative &&
            ::connect(socket, at->ai_addr, static_cast<int>(at->ai_addrlen)) != 0) {
            CloseNative(socket);
            socket = kNoNative;
        }
    }
    ::freeaddrinfo(found);
    return FromNative(socket);
}

void CloseSocket(SocketHandle socket) {
    if (socket != kNoSocket)
        CloseNative(ToNative(socket));
}

void ShutdownSocket(SocketHandle socket, bool sendingOnly) {
#ifdef _WIN32
    ::shutdown(ToNative(socket), sendingOnly ? SD_SEND : SD_BOTH);
#else
    ::shutdown(ToNative(socket), sendingOnly ? SHUT_WR : SHUT_RDWR);
#endif
}

void ResetOnClose(SocketHandle socket) {
    linger abort{};
    abort.l_onoff = 1;
    abort.l_linger = 0;
    ::setsockopt(ToNative(socket), SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&abort),
                 sizeof abort);
}

long SendSome(SocketHandle socket, const void* data, std::size_t size) {
    return static_cast<long>(::send(ToNative(socket), static_cast<const char*>(data),
                                    static_cast<int>(size), kNoSignal));
}

long ReceiveSome(SocketHandle socket, void* data, std::size_t size) {
    return static_cast<long>(
        ::recv(ToNative(socket), static_cast<char*>(data), static_cast<int>(size), 0));
}

bool SendEvery(SocketHandle socket, const void* data, std::size_t size) {
    const char* at = static_cast<const char*>(data);
    while (size > 0) {
        long sent = SendSome(socket, at, size);
        if (sent <= 0)
            return false;
        at += sent;
        size -= static_cast<std::size_t>(sent);
    }
    return true;
}

int WaitReadable(const SocketHandle* sockets, bool* ready, int count, int timeoutMs) {
    std::vector<pollfd> fds(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        fds[static_cast<std::size_t>(i)].fd = ToNative(sockets[i]);
        fds[static_cast<std::size_t>(i)].events = POLLIN;
    }
    int result = PollNative(fds.data(), count, timeoutMs);
    int readable = 0;
    for (int i = 0; i < count; ++i) {
        ready[i] = result > 0 && fds[static_cast<std::size_t>(i)].revents != 0;
        readable += ready[i] ? 1 : 0;
    }
    return result < 0 ? result : readable;
}

long ReceiveUnlessWoken(SocketHandle socket, const SocketWaker& waker, void* data,
                        std::size_t size) {
    SocketHandle watched[2] = {socket, waker.Handle()};
    bool ready[2] = {};
    int count = waker.Handle() == kNoSocket ? 1 : 2;
    if (WaitReadable(watched, ready, count, -1) < 0 || (count == 2 && ready[1]))
        return -1;
    return ReceiveSome(socket, data, size);
}

bool SocketWaker::Open() {
    if (!StartSockets())
        return false;
#ifdef _WIN32
    // A datagram socket on the loopback that sends to itself.
    Native socket = NewSocket(AF_INET, SOCK_DGRAM, 0);
    if (socket == kNoNative)
        return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int length = sizeof address;
    if (::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::connect(socket, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        CloseNative(socket);
        return false;
    }
    handle_ = FromNative(socket);
#else
    handle_ = ::eventfd(0, EFD_CLOEXEC);
#endif
    return handle_ != kNoSocket;
}

void SocketWaker::Wake() {
    if (handle_ == kNoSocket)
        return;
#ifdef _WIN32
    char one = 1;
    ::send(ToNative(handle_), &one, 1, 0);
#else
    std::uint64_t one = 1;
    ssize_t written = ::write(static_cast<int>(handle_), &one, sizeof one);
    (void)written;
#endif
}

void SocketWaker::Close() {
    if (handle_ == kNoSocket)
        return;
#ifdef _WIN32
    CloseNative(ToNative(handle_));
#else
    ::close(static_cast<int>(handle_));
#endif
    handle_ = kNoSocket;
}

} // namespace testsupport
