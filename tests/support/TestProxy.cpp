#include "support/TestProxy.h"

#include "support/TestHttpServer.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>

namespace testsupport {

namespace {

bool SendAll(SocketHandle fd, const char* data, std::size_t size) {
    return SendEvery(fd, data, size);
}

void SplitHostPort(const std::string& text, const std::string& defaultPort, std::string* host,
                   std::string* port) {
    std::size_t colon = text.rfind(':');
    if (colon != std::string::npos && text.find(']', colon) == std::string::npos) {
        *host = text.substr(0, colon);
        *port = text.substr(colon + 1);
    } else {
        *host = text;
        *port = defaultPort;
    }
}

} // namespace

TestProxy::~TestProxy() {
    Stop();
}

bool TestProxy::Start() {
    if (!OpenLoopbackListener(&listenFd_, &waker_, &port_))
        return false;
    acceptor_ = std::thread([this] { Accept(); });
    return true;
}

void TestProxy::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopped_)
            return;
        stopped_ = true;
        for (SocketHandle fd : openFds_)
            ShutdownSocket(fd, false);
    }
    waker_.Wake();
    if (acceptor_.joinable())
        acceptor_.join();
    for (std::thread& worker : workers_)
        worker.join();
    workers_.clear();
    CloseSocket(listenFd_);
    waker_.Close();
    listenFd_ = kNoSocket;
}

std::string TestProxy::Address() const {
    return "127.0.0.1:" + std::to_string(port_);
}

std::vector<std::string> TestProxy::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

void TestProxy::Accept() {
    for (;;) {
        SocketHandle watched[2] = {listenFd_, waker_.Handle()};
        bool ready[2] = {};
        if (WaitReadable(watched, ready, 2, -1) < 0 || ready[1])
            return;
        SocketHandle fd = AcceptConnection(listenFd_);
        if (fd == kNoSocket)
            continue;
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopped_) {
            CloseSocket(fd);
            return;
        }
        openFds_.push_back(fd);
        workers_.emplace_back([this, fd] { Serve(fd); });
    }
}

void TestProxy::Serve(SocketHandle client) {
    std::string head;
    char chunk[4096];
    while (head.find("\r\n\r\n") == std::string::npos) {
        long got = ReceiveUnlessWoken(client, waker_, chunk, sizeof chunk);
        if (got <= 0)
            break;
        head.append(chunk, static_cast<std::size_t>(got));
    }
    std::size_t end = head.find("\r\n\r\n");
    std::size_t lineEnd = head.find("\r\n");
    SocketHandle server = kNoSocket;
    if (end != std::string::npos) {
        std::string line = head.substr(0, lineEnd);
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(line);
        }
        std::size_t space = line.find(' ');
        std::size_t space2 = line.find(' ', space + 1);
        std::string method = line.substr(0, space);
        std::string target = line.substr(space + 1, space2 - space - 1);
        std::string host, port;
        if (method == "CONNECT") {
            SplitHostPort(target, "443", &host, &port);
            server = ConnectTo(host, port);
            const char* answer = server != kNoSocket ? "HTTP/1.1 200 Connection established\r\n\r\n"
                                                     : "HTTP/1.1 502 Bad Gateway\r\n\r\n";
            SendAll(client, answer, std::char_traits<char>::length(answer));
            // Bytes the client sent after the head already belong to the tunnel.
            std::string rest = head.substr(end + 4);
            if (server != kNoSocket && !rest.empty())
                SendAll(server, rest.data(), rest.size());
        } else if (target.rfind("http://", 0) == 0) {
            std::size_t pathAt = target.find('/', 7);
            std::string authority =
                target.substr(7, pathAt == std::string::npos ? std::string::npos : pathAt - 7);
            std::string path = pathAt == std::string::npos ? "/" : target.substr(pathAt);
            SplitHostPort(authority, "80", &host, &port);
            server = ConnectTo(host, port);
            if (server != kNoSocket) {
                std::string forward =
                    method + " " + path + line.substr(space2) + head.substr(lineEnd);
                SendAll(server, forward.data(), forward.size());
            } else {
                const char* answer = "HTTP/1.1 502 Bad Gateway\r\nContent-Length: 0\r\n\r\n";
                SendAll(client, answer, std::char_traits<char>::length(answer));
            }
        }
    }
    if (server != kNoSocket) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            openFds_.push_back(server);
        }
        if (head.rfind("CONNECT ", 0) == 0)
            Relay(client, server);
        else
            PassOneAnswer(client, server);
    }
    std::lock_guard<std::mutex> lock(mutex_);
    for (SocketHandle fd : {client, server}) {
        if (fd == kNoSocket)
            continue;
        openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
        CloseSocket(fd);
    }
}

void TestProxy::PassOneAnswer(SocketHandle client, SocketHandle server) {
    // The answer's head goes on with "Connection: close", so the client asks
    // its next request on a new connection, where it names its server again;
    // then the body, as long as its length says (or until the server closes).
    std::string head;
    char chunk[16384];
    while (head.find("\r\n\r\n") == std::string::npos) {
        long got = ReceiveUnlessWoken(server, waker_, chunk, sizeof chunk);
        if (got <= 0)
            return;
        head.append(chunk, static_cast<std::size_t>(got));
    }
    std::size_t end = head.find("\r\n\r\n") + 4;
    std::string body = head.substr(end);
    head.resize(end - 2);
    long long length = -1;
    std::size_t at = 0;
    std::string kept;
    while (at < head.size()) {
        std::size_t next = head.find("\r\n", at);
        std::string line = head.substr(at, next - at);
        at = next + 2;
        std::string lower = line;
        std::transform(lower.begin(), lower.end(), lower.begin(),
                       [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
        if (lower.rfind("connection:", 0) == 0)
            continue;
        if (lower.rfind("content-length:", 0) == 0)
            length = std::atoll(line.c_str() + 15);
        kept += line + "\r\n";
    }
    kept += "Connection: close\r\n\r\n";
    if (!SendAll(client, kept.data(), kept.size()) || !SendAll(client, body.data(), body.size()))
        return;
    long long left = length < 0 ? -1 : length - static_cast<long long>(body.size());
    while (left != 0) {
        long got = ReceiveUnlessWoken(
            server, waker_, chunk,
            left < 0 ? sizeof chunk
                     : std::min<std::size_t>(sizeof chunk, static_cast<std::size_t>(left)));
        if (got <= 0 || !SendAll(client, chunk, static_cast<std::size_t>(got)))
            return;
        if (left > 0)
            left -= got;
    }
}

void TestProxy::Relay(SocketHandle client, SocketHandle server) {
    char chunk[16384];
    SocketHandle ends[3] = {client, server, waker_.Handle()};
    for (;;) {
        bool ready[3] = {};
        if (WaitReadable(ends, ready, 3, 10000) <= 0 || ready[2])
            return;
        for (int i = 0; i < 2; ++i) {
            if (!ready[i])
                continue;
            long got = ReceiveSome(ends[i], chunk, sizeof chunk);
            if (got <= 0 || !SendAll(ends[1 - i], chunk, static_cast<std::size_t>(got)))
                return;
        }
    }
}

} // namespace testsupport
