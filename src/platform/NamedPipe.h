#pragma once
// A named pipe "\\.\pipe\NAME" between two processes of one user: a duplex
// byte stream with a single instance. The server creates it and listens at
// once, so a client may connect and write before the server reads; a second
// server or a second client finds it busy (231). Reads and writes move the
// whole count or fail; the end of the stream and a broken pipe are 109 and
// never raise a signal. Only the user the process works for (Elevation.h)
// and administrators may be at the other end; anyone else is refused (5).
//
// One thread reads and one thread writes at a time; Disconnect may be called
// from another thread to end a read that waits.

#include "platform/Error.h"

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>

namespace plat {

class NamedPipe {
public:
    // The client's wait while the pipe is busy, and how often it tries.
    static constexpr int kBusyWaitMs = 10000;
    static constexpr int kOpenAttempts = 5;

    NamedPipe() = default;
    ~NamedPipe();
    NamedPipe(const NamedPipe&) = delete;
    NamedPipe& operator=(const NamedPipe&) = delete;

    // Server side. Fails with 231 when the pipe exists already and 123 when
    // the name does not start with "\\.\pipe\".
    bool Create(const std::wstring& name);
    // Client side. Fails with 2 when there is no such pipe, 231 when it stayed
    // busy through every wait, 5 when its server is another user's.
    bool Open(const std::wstring& name, int busyWaitMs = kBusyWaitMs, int attempts = kOpenAttempts);

    // Reads exactly `size` bytes, waiting as long as it takes. 109 at the end
    // of the stream; on the server side 233 at once while no client has
    // connected.
    bool Read(void* buffer, std::size_t size);
    // Writes every byte. 109 when the other end has gone.
    bool Write(const void* data, std::size_t size);
    // Waits up to timeoutMs for data and gives the number of bytes that can
    // be read without waiting (0 when none came or the stream ended).
    std::size_t WaitForData(int timeoutMs);

    // Ends the connection: a read waiting on another thread returns with 109.
    void Disconnect();
    // Disconnects and closes; the server's name goes with it.
    void Close();
    bool IsOpen() const { return listenFd_ >= 0 || fd_.load() >= 0; }
    bool IsServer() const { return listenFd_ >= 0; }

private:
    // Server: takes the waiting client, if any, and fills the single place
    // in the queue so that later clients find the pipe busy.
    bool AcceptClient();
    // The connected descriptor; -1 (last error set) when there is none.
    int Connection();

    int listenFd_ = -1;
    std::atomic<int> fd_{-1};
    int placeholderFd_ = -1;
    int lockFd_ = -1;
    std::string path_;            // the server's socket file
    std::uint64_t pathInode_ = 0; // the file this server made, removed on Close
    std::uint64_t pathDevice_ = 0;
};

} // namespace plat
