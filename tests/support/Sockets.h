#pragma once
// TCP sockets for the test servers, the same calls on Linux and Windows:
// BSD sockets there, Winsock here (started once, on first use). A socket is
// a number that holds a file descriptor or a SOCKET; kNoSocket is none. No
// system header reaches the includer, so tests that include a server's
// header keep the platform layer's names free of <windows.h> macros. Any
// thread; each socket is used by the thread its server gives it to.

#include <cstddef>
#include <cstdint>
#include <string>

namespace testsupport {

using SocketHandle = std::intptr_t;
constexpr SocketHandle kNoSocket = -1;

// A TCP socket listening on 127.0.0.1 at a free port; kNoSocket on failure.
SocketHandle ListenOnLoopback(int backlog, std::uint16_t* port);
// The next connection of a listening socket; kNoSocket on failure.
SocketHandle AcceptConnection(SocketHandle listener);
// A socket connected to host:port (a name or a literal address, IPv6 in
// brackets or not); kNoSocket on failure.
SocketHandle ConnectTo(const std::string& host, const std::string& port);
void CloseSocket(SocketHandle socket);
// Ends both directions, or only sending (the peer then reads the end).
void ShutdownSocket(SocketHandle socket, bool sendingOnly);
// Makes the next close a reset (RST) rather than an orderly end.
void ResetOnClose(SocketHandle socket);
// One send or receive: the bytes moved, 0 at the peer's end, negative on
// failure. A send to a peer that is gone fails rather than raising a signal.
long SendSome(SocketHandle socket, const void* data, std::size_t size);
long ReceiveSome(SocketHandle socket, void* data, std::size_t size);
// Sends every byte; false when the connection failed.
bool SendEvery(SocketHandle socket, const void* data, std::size_t size);
// Waits up to timeoutMs (-1: for ever) until one of `count` sockets can be
// read (or has ended); fills `ready` and returns how many can, 0 on time-out,
// negative on failure.
int WaitReadable(const SocketHandle* sockets, bool* ready, int count, int timeoutMs);

class SocketWaker;
// A receive that gives up (negative) once `waker` has been woken: a thread
// blocked in a plain receive is not freed by another thread's shutdown of
// the socket everywhere (Wine's Winsock keeps it waiting).
long ReceiveUnlessWoken(SocketHandle socket, const SocketWaker& waker, void* data,
                        std::size_t size);

// Cuts a server thread's wait short: a socket that becomes readable once
// Wake is called, to wait on beside the listener.
class SocketWaker {
public:
    SocketWaker() = default;
    ~SocketWaker() { Close(); }
    SocketWaker(const SocketWaker&) = delete;
    SocketWaker& operator=(const SocketWaker&) = delete;

    bool Open();
    void Wake();
    void Close();
    SocketHandle Handle() const { return handle_; }

private:
    SocketHandle handle_ = kNoSocket;
};

} // namespace testsupport
