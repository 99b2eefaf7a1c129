#include "support/TestHttpServer.h"

#include <algorithm>
#include <cctype>
#include <chrono>

namespace testsupport {

namespace {

bool SameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string ReasonOf(int status) {
    switch (status) {
    case 200:
        return "OK";
    case 204:
        return "No Content";
    case 206:
        return "Partial Content";
    case 301:
        return "Moved Permanently";
    case 302:
        return "Found";
    case 307:
        return "Temporary Redirect";
    case 404:
        return "Not Found";
    case 416:
        return "Range Not Satisfiable";
    case 500:
        return "Internal Server Error";
    case 502:
        return "Bad Gateway";
    case 503:
        return "Service Unavailable";
    default:
        return "Status";
    }
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

bool ParseHead(std::string_view head, ReceivedRequest* request) {
    std::size_t lineEnd = head.find("\r\n");
    request->requestLine = std::string(head.substr(0, lineEnd));
    std::size_t space = request->requestLine.find(' ');
    std::size_t space2 = request->requestLine.find(' ', space + 1);
    if (space == std::string::npos || space2 == std::string::npos)
        return false;
    request->method = request->requestLine.substr(0, space);
    request->target = request->requestLine.substr(space + 1, space2 - space - 1);
    head.remove_prefix(lineEnd + 2);
    while (!head.empty()) {
        lineEnd = head.find("\r\n");
        std::string_view line = head.substr(0, lineEnd);
        head.remove_prefix(std::min(lineEnd + 2, head.size()));
        std::size_t colon = line.find(':');
        if (colon != std::string_view::npos)
            request->headers.emplace_back(std::string(Trim(line.substr(0, colon))),
                                          std::string(Trim(line.substr(colon + 1))));
    }
    return true;
}

std::uint32_t Crc32(std::string_view data) {
    std::uint32_t crc = 0xFFFFFFFFu;
    for (unsigned char byte : data) {
        crc ^= byte;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

std::uint32_t Adler32(std::string_view data) {
    std::uint32_t a = 1;
    std::uint32_t b = 0;
    for (unsigned char byte : data) {
        a = (a + byte) % 65521;
        b = (b + a) % 65521;
    }
    return (b << 16) | a;
}

void PutLittle(std::string* out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

std::string StoredBlocks(std::string_view data) {
    std::string out;
    do {
        std::size_t size = std::min<std::size_t>(data.size(), 65535);
        bool last = size == data.size();
        out.push_back(last ? '\x01' : '\x00');
        PutLittle(&out, static_cast<std::uint32_t>(size), 2);
        PutLittle(&out, static_cast<std::uint32_t>(~size & 0xFFFF), 2);
        out.append(data.substr(0, size));
        data.remove_prefix(size);
    } while (!data.empty());
    return out;
}

} // namespace

bool ReceivedRequest::HasHeader(std::string_view name) const {
    return std::any_of(headers.begin(), headers.end(),
                       [name](const auto& header) { return SameName(header.first, name); });
}

std::string ReceivedRequest::Header(std::string_view name) const {
    for (const auto& [headerName, value] : headers) {
        if (SameName(headerName, name))
            return value;
    }
    return {};
}

Reply Reply::Text(int status, std::string body) {
    Reply reply;
    reply.status = status;
    reply.headers.emplace_back("Content-Type", "text/plain");
    reply.body = std::move(body);
    return reply;
}

Reply Reply::Redirect(int status, std::string location) {
    Reply reply;
    reply.status = status;
    reply.headers.emplace_back("Location", std::move(location));
    return reply;
}

TestHttpServer::TestHttpServer() = default;

TestHttpServer::~TestHttpServer() {
    Stop();
}

bool OpenLoopbackListener(SocketHandle* listenFd, SocketWaker* waker, std::uint16_t* port) {
    *listenFd = ListenOnLoopback(16, port);
    return *listenFd != kNoSocket && waker->Open();
}

bool TestHttpServer::Start() {
    if (!OpenLoopbackListener(&listenFd_, &waker_, &port_))
        return false;
    acceptor_ = std::thread([this] { Accept(); });
    return true;
}

void TestHttpServer::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (stopped_)
            return;
        stopped_ = true;
        for (SocketHandle fd : openFds_)
            ShutdownSocket(fd, false);
    }
    stopping_.notify_all();
    waker_.Wake();
    if (acceptor_.joinable())
        acceptor_.join();
    // The acceptor has ended: no worker is added any more.
    for (std::thread& worker : workers_)
        worker.join();
    workers_.clear();
    CloseSocket(listenFd_);
    waker_.Close();
    listenFd_ = kNoSocket;
}

std::string TestHttpServer::Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

void TestHttpServer::On(const std::string& path, Reply reply) {
    On(path, [reply](const ReceivedRequest&) { return reply; });
}

void TestHttpServer::On(const std::string& path, Handler handler) {
    std::lock_guard<std::mutex> lock(mutex_);
    handlers_[path] = std::move(handler);
}

void TestHttpServer::ServeFile(const std::string& path, std::string content) {
    On(path, [content](const ReceivedRequest& request) {
        Reply reply;
        reply.headers.emplace_back("Accept-Ranges", "bytes");
        std::string range = request.Header("Range");
        constexpr std::string_view kUnit = "bytes=";
        if (range.compare(0, kUnit.size(), kUnit) != 0) {
            reply.body = content;
            return reply;
        }
        std::string rangeText = range.substr(kUnit.size());
        std::size_t dash = rangeText.find('-');
        std::size_t first = std::stoul(rangeText.substr(0, dash));
        std::size_t last = content.size() - 1;
        if (dash + 1 < rangeText.size())
            last = std::min(last, static_cast<std::size_t>(std::stoul(rangeText.substr(dash + 1))));
        std::string total = std::to_string(content.size());
        if (first >= content.size() || first > last) {
            reply.status = 416;
            reply.headers.emplace_back("Content-Range", "bytes */" + total);
            return reply;
        }
        reply.status = 206;
        reply.headers.emplace_back("Content-Range", "bytes " + std::to_string(first) + "-" +
                                                        std::to_string(last) + "/" + total);
        reply.body = content.substr(first, last - first + 1);
        return reply;
    });
}

std::vector<ReceivedRequest> TestHttpServer::Requests() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_;
}

std::size_t TestHttpServer::RequestCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return requests_.size();
}

std::size_t TestHttpServer::ConnectionCount() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return static_cast<std::size_t>(connections_);
}

void TestHttpServer::Accept() {
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
        int connection = ++connections_;
        workers_.emplace_back([this, fd, connection] { Serve(fd, connection); });
    }
}

void TestHttpServer::GreetWith(std::string bytes) {
    std::lock_guard<std::mutex> lock(mutex_);
    greeting_ = std::move(bytes);
}

void TestHttpServer::Serve(SocketHandle fd, int connection) {
    std::string pending;
    std::optional<std::string> greeting;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        greeting = greeting_;
    }
    if (greeting)
        SendAll(fd, *greeting);
    while (!greeting) {
        ReceivedRequest request;
        request.connection = connection;
        if (!ReadRequest(fd, &pending, &request))
            break;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            requests_.push_back(request);
        }
        Handler handler = HandlerFor(request.target);
        Reply reply = handler ? handler(request) : Reply::Text(404, "not found");
        if (!SendReply(fd, request, reply))
            break;
    }
    std::lock_guard<std::mutex> lock(mutex_);
    openFds_.erase(std::remove(openFds_.begin(), openFds_.end(), fd), openFds_.end());
    CloseSocket(fd);
}

TestHttpServer::Handler TestHttpServer::HandlerFor(const std::string& target) const {
    std::string path = target.substr(0, target.find('?'));
    std::lock_guard<std::mutex> lock(mutex_);
    auto it = handlers_.find(path);
    return it == handlers_.end() ? Handler() : it->second;
}

bool TestHttpServer::ReadRequest(SocketHandle fd, std::string* pending, ReceivedRequest* request) {
    char chunk[4096];
    std::size_t headEnd;
    while ((headEnd = pending->find("\r\n\r\n")) == std::string::npos) {
        long got = ReceiveUnlessWoken(fd, waker_, chunk, sizeof chunk);
        if (got <= 0)
            return false;
        pending->append(chunk, static_cast<std::size_t>(got));
    }
    request->head = pending->substr(0, headEnd + 4);
    pending->erase(0, headEnd + 4);
    if (!ParseHead(request->head, request))
        return false;
    std::string lengthText = request->Header("Content-Length");
    std::size_t length = lengthText.empty() ? 0 : std::stoul(lengthText);
    while (pending->size() < length) {
        long got = ReceiveUnlessWoken(fd, waker_, chunk, sizeof chunk);
        if (got <= 0)
            return false;
        pending->append(chunk, static_cast<std::size_t>(got));
    }
    request->body = pending->substr(0, length);
    pending->erase(0, length);
    return true;
}

bool TestHttpServer::SendAll(SocketHandle fd, std::string_view bytes) {
    return SendEvery(fd, bytes.data(), bytes.size());
}

bool TestHttpServer::Pause(int ms) {
    std::unique_lock<std::mutex> lock(mutex_);
    return !stopping_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return stopped_; });
}

bool TestHttpServer::SendReply(SocketHandle fd, const ReceivedRequest& request,
                               const Reply& reply) {
    bool closeAfter = reply.close || !reply.contentLength;
    std::string head = "HTTP/1.1 " + std::to_string(reply.status) + " " +
                       (reply.reason.empty() ? ReasonOf(reply.status) : reply.reason) + "\r\n";
    for (const auto& [name, value] : reply.headers)
        head += name + ": " + value + "\r\n";
    if (reply.contentLength)
        head += "Content-Length: " + std::to_string(reply.body.size()) + "\r\n";
    if (closeAfter)
        head += "Connection: close\r\n";
    head += "\r\n";
    std::string_view body = request.method == "HEAD" ? std::string_view() : reply.body;

    if (reply.delayMs > 0 && !Pause(reply.delayMs))
        return false;
    if (reply.raw) {
        SendAll(fd, *reply.raw);
        return false;
    }
    std::size_t budget = reply.cutAfter;
    bool cut = false;
    // Sends what the budget allows; false when sending must stop.
    auto emit = [&](std::string_view bytes) {
        std::size_t size = std::min(bytes.size(), budget);
        if (!SendAll(fd, bytes.substr(0, size)))
            return false;
        if (budget != Reply::kWhole)
            budget -= size;
        cut = size < bytes.size();
        return !cut;
    };
    bool sent = SendAll(fd, head);
    std::size_t piece = reply.trickleBytes == 0 ? body.size() : reply.trickleBytes;
    for (std::size_t at = 0; sent && at < body.size(); at += piece) {
        if (at > 0 && reply.trickleMs > 0 && !Pause(reply.trickleMs))
            return false;
        sent = emit(body.substr(at, piece));
    }
    if (cut) {
        if (reply.resetOnCut)
            ResetOnClose(fd);
        else
            ShutdownSocket(fd, true);
        return false;
    }
    return sent && !closeAfter;
}

std::uint16_t UnusedPort() {
    std::uint16_t port = 0;
    CloseSocket(ListenOnLoopback(1, &port));
    return port;
}

std::string GzipStored(std::string_view data) {
    std::string out("\x1f\x8b\x08\x00\x00\x00\x00\x00\x00\xff", 10);
    out += StoredBlocks(data);
    PutLittle(&out, Crc32(data), 4);
    PutLittle(&out, static_cast<std::uint32_t>(data.size()), 4);
    return out;
}

std::string ZlibStored(std::string_view data) {
    std::string out("\x78\x01", 2);
    out += StoredBlocks(data);
    std::uint32_t adler = Adler32(data);
    for (int shift = 24; shift >= 0; shift -= 8)
        out.push_back(static_cast<char>((adler >> shift) & 0xFF));
    return out;
}

} // namespace testsupport
