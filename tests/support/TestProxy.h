#pragma once
// A small HTTP proxy for network tests, on 127.0.0.1 at an ephemeral port:
// a CONNECT request opens a tunnel to the named server (how HTTPS goes
// through a proxy), a request in absolute form ("GET http://host:port/path")
// is passed on to its server in origin form and its answer back, one per
// connection. It records the request line of
// every request it was asked, so tests can see what went through it. An
// acceptor thread and one thread per connection; Stop (or the destructor)
// ends them all.

#include "support/Sockets.h"

#include <cstdint>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace testsupport {

class TestProxy {
public:
    TestProxy() = default;
    ~TestProxy();
    TestProxy(const TestProxy&) = delete;
    TestProxy& operator=(const TestProxy&) = delete;

    // Listens on 127.0.0.1 at a free port. False when no socket could be made.
    bool Start();
    void Stop();
    std::uint16_t Port() const { return port_; }
    // "127.0.0.1:PORT", and with a scheme "http://127.0.0.1:PORT".
    std::string Address() const;
    std::string Url() const { return "http://" + Address(); }

    // The request lines it was asked, in order ("CONNECT 127.0.0.1:443
    // HTTP/1.1", "GET http://127.0.0.1:8080/a HTTP/1.1").
    std::vector<std::string> Requests() const;

private:
    void Accept();
    void Serve(SocketHandle fd);
    // Passes bytes both ways until either side closes.
    void Relay(SocketHandle client, SocketHandle server);
    // Passes the server's one answer to the client and ends the connection.
    void PassOneAnswer(SocketHandle client, SocketHandle server);

    mutable std::mutex mutex_;
    bool stopped_ = false;
    SocketHandle listenFd_ = kNoSocket;
    SocketWaker waker_;
    std::uint16_t port_ = 0;
    std::vector<std::string> requests_;
    std::vector<SocketHandle> openFds_;
    std::thread acceptor_;
    std::vector<std::thread> workers_;
};

} // namespace testsupport
