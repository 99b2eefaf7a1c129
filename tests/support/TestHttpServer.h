#pragma once
// A small HTTP/1.1 server for network tests, on 127.0.0.1 at an ephemeral
// port. Answers are scripted per path: a status with headers and body, sent
// after a delay, in trickling pieces, without Content-Length, or cut off
// after some bytes (closed or reset); files with byte ranges; redirects. It
// records every request it read so tests can check the exact request line
// and headers. An acceptor thread and one thread per connection; Stop (or
// the destructor) ends them all, cutting any delay short.

#include "support/Sockets.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <utility>
#include <vector>

namespace testsupport {

// One request as the server read it.
struct ReceivedRequest {
    std::string requestLine; // "GET /path HTTP/1.1"
    std::string method;
    std::string target;
    std::string head; // the request line and header lines, each ending "\r\n", and the empty line
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    int connection = 0; // which accepted connection carried it, counted from 1

    bool HasHeader(std::string_view name) const;
    // The first header of that name (names ignore case); empty when absent.
    std::string Header(std::string_view name) const;
};

// What the server sends back.
struct Reply {
    static constexpr std::size_t kWhole = static_cast<std::size_t>(-1);

    int status = 200;
    std::string reason; // empty: the usual one for the status
    std::vector<std::pair<std::string, std::string>> headers;
    std::string body;
    bool contentLength = true;      // false: no length; the connection closes after the body
    bool close = false;             // "Connection: close" and close after the answer
    int delayMs = 0;                // wait before anything is sent
    std::size_t cutAfter = kWhole;  // send the head and this many body bytes, then cut
    bool resetOnCut = false;        // cut with a TCP reset rather than a close
    std::size_t trickleBytes = 0;   // send the body in pieces of this size...
    int trickleMs = 0;              // ...this far apart
    std::optional<std::string> raw; // send exactly these bytes instead, then close

    static Reply Text(int status, std::string body);
    static Reply Redirect(int status, std::string location);
};

// The scripted server: set up and read from the test's thread, serving on
// its own threads.
class TestHttpServer {
public:
    using Handler = std::function<Reply(const ReceivedRequest&)>;

    TestHttpServer();
    ~TestHttpServer();
    TestHttpServer(const TestHttpServer&) = delete;
    TestHttpServer& operator=(const TestHttpServer&) = delete;

    // Listens on 127.0.0.1 at a free port. False when no socket could be made.
    bool Start();
    void Stop();
    std::uint16_t Port() const { return port_; }
    // "http://127.0.0.1:PORT" followed by the path.
    std::string Url(std::string_view path) const;

    // Answers for a path (the target without its query). Paths without an
    // answer get 404.
    void On(const std::string& path, Reply reply);
    void On(const std::string& path, Handler handler);
    // A file that honours "Range: bytes=A-B" and "bytes=A-" with 206, and
    // ranges past its end with 416.
    void ServeFile(const std::string& path, std::string content);

    // Makes the server a peer that does not speak HTTP: every new connection
    // gets these bytes at once, unasked, and is closed.
    void GreetWith(std::string bytes);

    std::vector<ReceivedRequest> Requests() const;
    std::size_t RequestCount() const;
    std::size_t ConnectionCount() const;

private:
    void Accept();
    void Serve(SocketHandle fd, int connection);
    bool ReadRequest(SocketHandle fd, std::string* pending, ReceivedRequest* request);
    bool SendReply(SocketHandle fd, const ReceivedRequest& request, const Reply& reply);
    bool SendAll(SocketHandle fd, std::string_view bytes);
    // Waits up to ms; false when the server is stopping.
    bool Pause(int ms);
    Handler HandlerFor(const std::string& target) const;

    mutable std::mutex mutex_;
    std::condition_variable stopping_;
    bool stopped_ = false;
    SocketHandle listenFd_ = kNoSocket;
    SocketWaker waker_;
    std::uint16_t port_ = 0;
    std::map<std::string, Handler> handlers_;
    std::optional<std::string> greeting_;
    std::vector<ReceivedRequest> requests_;
    std::vector<SocketHandle> openFds_;
    int connections_ = 0;
    std::thread acceptor_;
    std::vector<std::thread> workers_;
};

// A port on 127.0.0.1 where nothing listens (it was free a moment ago).
std::uint16_t UnusedPort();

// What a test server on 127.0.0.1 listens with: a socket at a free port and
// a waker that cuts its acceptor's wait short. False when either cannot be
// made (what was made is left for the caller to close).
bool OpenLoopbackListener(SocketHandle* listenFd, SocketWaker* waker, std::uint16_t* port);

// Body encodings a server may send: a gzip member and a zlib stream, both
// with stored (uncompressed) deflate blocks.
std::string GzipStored(std::string_view data);
std::string ZlibStored(std::string_view data);

} // namespace testsupport
