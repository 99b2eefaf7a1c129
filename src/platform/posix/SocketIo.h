#pragma once
// Unix stream sockets for the window layer's traffic between processes:
// connecting and whole-record reads and writes on nonblocking descriptors,
// each bounded by a deadline. Private to the POSIX backend; any thread.

#include "platform/posix/Deadline.h"
#include "platform/posix/MessageWire.h"

#include <cstddef>
#include <string>
#include <string_view>
#include <sys/un.h>

namespace plat::posix {

// Owns a descriptor and closes it. Used by one thread at a time; a send
// waiting for its window's thread carries its connection there.
class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() { Reset(); }
    UniqueFd(UniqueFd&& other) noexcept : fd_(other.Release()) {}
    UniqueFd& operator=(UniqueFd&& other) noexcept {
        if (this != &other) {
            Reset();
            fd_ = other.Release();
        }
        return *this;
    }
    UniqueFd(const UniqueFd&) = delete;
    UniqueFd& operator=(const UniqueFd&) = delete;

    int Get() const { return fd_; }
    bool IsValid() const { return fd_ >= 0; }
    int Release() {
        int fd = fd_;
        fd_ = -1;
        return fd;
    }
    void Reset();

private:
    int fd_ = -1;
};

// Fills a Unix socket address; false with last error 206 when the path is
// too long for one.
bool FillUnixAddress(const std::string& path, sockaddr_un* address);

// A nonblocking connected socket, or an invalid one with `*err` holding the
// errno (ENOENT: nobody there, ECONNREFUSED: nobody listening, ETIMEDOUT:
// the listener's backlog stayed full until the deadline).
UniqueFd ConnectUnix(const std::string& path, const Deadline& deadline, int* err);

// Whole writes and reads. False with last error 1460 when the deadline
// passed first, 109 when the peer closed the connection.
bool SendAll(int fd, std::string_view data, const Deadline& deadline);
bool ReceiveExact(int fd, std::size_t size, const Deadline& deadline, std::string* out);

// A request or reply with its payload; malformed records fail with 13.
bool ReadRequest(int fd, const Deadline& deadline, WireRequest* request);
bool ReadReply(int fd, const Deadline& deadline, WireReply* reply);

} // namespace plat::posix
