#pragma once
// Shared pieces of the network layer's tests: a client that records what the
// transport calls back on its thread and wakes the test's window (the way
// the launcher's downloader re-posts to its own), and a fixture with a
// running transport, a test server and the window test's watchdog. The test
// thread plays the client's thread.

#include "net/BodySink.h"
#include "net/ContextHttx.h"
#include "net/NetClient.h"
#include "net/NetTransport.h"
#include "net/RequestHttx.h"
#include "platform/WindowTestSupport.h"
#include "support/TestHttpServer.h"

#include <algorithm>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>
#include <zlib.h>

namespace nettest {

constexpr std::uint32_t kClientWake = plat::WM_APP + 0x100;
constexpr char kAgent[] = "Mozilla/5.0 (Trident/7.0; rv:11.0)";
constexpr std::uint32_t kDownloaderFlags = 0x80283000;
constexpr std::uint32_t kBgs = 0x400000;

// Printable bytes that differ from their neighbours, for bodies and files.
inline std::string Pattern(std::size_t size) {
    std::string text(size, '\0');
    for (std::size_t i = 0; i < size; ++i)
        text[i] = static_cast<char>('0' + (i * 7) % 75);
    return text;
}

// `size` zero bytes as a gzip member: a few kilobytes that decode to many
// megabytes.
inline std::string GzipOfZeros(std::size_t size) {
    z_stream stream{};
    deflateInit2(&stream, 9, Z_DEFLATED, 15 + 16, 9, Z_DEFAULT_STRATEGY);
    std::string zeros(1 << 20, '\0');
    std::string out;
    char chunk[1 << 16];
    for (std::size_t left = size; left > 0 || stream.avail_in > 0;) {
        if (stream.avail_in == 0 && left > 0) {
            std::size_t piece = std::min(left, zeros.size());
            stream.next_in = reinterpret_cast<Bytef*>(zeros.data());
            stream.avail_in = static_cast<uInt>(piece);
            left -= piece;
        }
        do {
            stream.next_out = reinterpret_cast<Bytef*>(chunk);
            stream.avail_out = sizeof chunk;
            deflate(&stream, left == 0 ? Z_FINISH : Z_NO_FLUSH);
            out.append(chunk, sizeof chunk - stream.avail_out);
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return out;
}

// A file in memory standing in for a package's temporary file: it takes
// the bytes that come next (or, from offset 0, everything again), and
// refuses other offsets as the package sink does. Any thread, one at a time.
class MemorySink : public NetEx::IBodySink {
public:
    explicit MemorySink(std::uint64_t fileSize = 0, std::string present = {})
        : fileSize_(fileSize), content(std::move(present)) {}

    std::uint64_t FileSize() const override { return fileSize_; }
    bool BeginBody(std::uint64_t offset, std::uint32_t* error) override {
        *error = 0;
        ++begun;
        if (offset == 0)
            content.clear();
        if (offset != content.size())
            return false;
        if (failWrites != 0) {
            *error = failWrites;
            return false;
        }
        open = true;
        return true;
    }
    bool WriteBody(const void* data, std::size_t size, std::uint32_t* error) override {
        if (!open) {
            *error = 6;
            return false;
        }
        content.append(static_cast<const char*>(data), size);
        largestWrite = std::max(largestWrite, size);
        return true;
    }
    void EndBody() override {
        open = false;
        ++ended;
    }

    std::uint64_t fileSize_;
    std::string content;
    std::uint32_t failWrites = 0; // BeginBody fails with this number
    bool open = false;
    int begun = 0;
    int ended = 0;
    std::size_t largestWrite = 0;
};

// Holds the transport thread inside its statistics callback until released,
// so that messages posted meanwhile are handled in a known order.
class BlockingClient : public NetEx::CNetClient {
public:
    ~BlockingClient() override {
        Release();
        if (Transport())
            Detach(-1);
        SetTransport(nullptr);
    }
    void OnStatistics(std::unique_ptr<NetEx::NetStatistics>) override {
        std::unique_lock<std::mutex> lock(mutex_);
        entered_ = true;
        changed_.notify_all();
        changed_.wait(lock, [this] { return released_; });
    }
    void WaitEntered() {
        std::unique_lock<std::mutex> lock(mutex_);
        changed_.wait(lock, [this] { return entered_; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        released_ = true;
        changed_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool entered_ = false;
    bool released_ = false;
};

// Records the callbacks (transport thread) for the test's thread.
class RecordingClient : public NetEx::CNetClient {
public:
    explicit RecordingClient(plat::HWND wake) : wake_(wake) {}
    ~RecordingClient() override {
        if (Transport())
            Detach(-1);
        SetTransport(nullptr);
    }

    void OnContextCreated(std::uint32_t id) override { Record(&created_, id); }
    void OnContextModified(std::uint32_t id) override { Record(&modified_, id); }
    void OnContextDestroyed(std::uint32_t id) override { Record(&destroyed_, id); }
    void OnRequestProgress(NetEx::CRequestHttx& request) override {
        std::lock_guard<std::mutex> lock(mutex_);
        passes_.push_back(request.GetPassSize());
        progressBlocks_.push_back(request.GetReadBlock());
    }
    void OnRequestCompleted(std::unique_ptr<NetEx::CRequestHttx> request) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            completed_.push_back(std::move(request));
            threads_.push_back(std::this_thread::get_id());
        }
        plat::PostMessage(wake_, kClientWake, 0, 0);
    }
    void OnError(std::unique_ptr<NetEx::NetErrorInfo> error) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            errors_.push_back(*error);
        }
        plat::PostMessage(wake_, kClientWake, 0, 0);
    }
    void OnStatistics(std::unique_ptr<NetEx::NetStatistics> statistics) override {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            statistics_.push_back(*statistics);
        }
        plat::PostMessage(wake_, kClientWake, 0, 0);
    }

    // Test thread: copies of what arrived so far.
    std::vector<std::uint32_t> Created() const { return Copy(created_); }
    std::vector<std::uint32_t> Modified() const { return Copy(modified_); }
    std::vector<std::uint32_t> Destroyed() const { return Copy(destroyed_); }
    std::vector<NetEx::NetErrorInfo> Errors() const { return Copy(errors_); }
    std::vector<NetEx::NetStatistics> Statistics() const { return Copy(statistics_); }
    std::vector<std::uint32_t> Passes() const { return Copy(passes_); }
    std::vector<std::uint32_t> ProgressBlocks() const { return Copy(progressBlocks_); }
    std::vector<std::thread::id> CallbackThreads() const { return Copy(threads_); }
    std::size_t CompletedCount() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return completed_.size();
    }
    std::unique_ptr<NetEx::CRequestHttx> TakeCompleted() {
        std::lock_guard<std::mutex> lock(mutex_);
        if (completed_.empty())
            return nullptr;
        auto request = std::move(completed_.front());
        completed_.erase(completed_.begin());
        return request;
    }

private:
    void Record(std::vector<std::uint32_t>* list, std::uint32_t id) {
        {
            std::lock_guard<std::mutex> lock(mutex_);
            list->push_back(id);
        }
        plat::PostMessage(wake_, kClientWake, 0, 0);
    }
    template <typename T> std::vector<T> Copy(const std::vector<T>& list) const {
        std::lock_guard<std::mutex> lock(mutex_);
        return list;
    }

    plat::HWND wake_;
    mutable std::mutex mutex_;
    std::vector<std::uint32_t> created_, modified_, destroyed_, passes_, progressBlocks_;
    std::vector<NetEx::NetErrorInfo> errors_;
    std::vector<NetEx::NetStatistics> statistics_;
    std::vector<std::unique_ptr<NetEx::CRequestHttx>> completed_;
    std::vector<std::thread::id> threads_;
};

// A running transport with an open internet handle, a test server and one
// client; every wait is bounded by the watchdog.
class TransportTest : public windowtest::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(server_.Start());
        ASSERT_TRUE(transport_.Start(5000));
        NetEx::InternetParams params;
        params.userAgent = kAgent;
        params.accessType = plat::INTERNET_OPEN_TYPE_DIRECT;
        ASSERT_TRUE(transport_.OpenInternet(params));
        client_ = NewClient();
    }
    void TearDown() override {
        clients_.clear();
        transport_.Stop(5000);
        WindowTest::TearDown();
        server_.Stop();
    }

    RecordingClient* NewClient() {
        auto client = std::make_unique<RecordingClient>(main_);
        client->SetTransport(&transport_);
        return clients_.emplace_back(std::move(client)).get();
    }

    // Posts a context and waits for its answer; true when it was created.
    bool MakeContext(RecordingClient* client, std::uint32_t id, const std::string& url,
                     const std::string& name = {}, std::uint32_t timeout = 15000,
                     std::uint32_t bgs = kBgs) {
        std::unique_ptr<NetEx::CContextHttx> context;
        if (!client->CreateContext(context) || !context->Setup(id, name, url, timeout, bgs))
            return false;
        std::size_t created = client->Created().size();
        std::size_t errors = client->Errors().size();
        if (!client->PostCreateContext(std::move(context)))
            return false;
        windowtest::PumpUntil(
            [&] { return client->Created().size() > created || client->Errors().size() > errors; });
        return client->Created().size() > created;
    }

    std::unique_ptr<NetEx::CRequestHttx> NewRequest(std::uint32_t contextId, std::uint32_t id,
                                                    const std::string& url, std::uint32_t block = 0,
                                                    std::uint32_t timeout = 0) {
        auto request = std::make_unique<NetEx::CRequestHttx>();
        request->Init({.contextId = contextId,
                       .requestId = id,
                       .url = url,
                       .timeout = timeout,
                       .openFlags = kDownloaderFlags,
                       .securityFlags = 0x180,
                       .readBlock = block,
                       .wantSentHeaders = true,
                       .wantResponseHeaders = true});
        return request;
    }

    // Sends and waits for the request to come back.
    std::unique_ptr<NetEx::CRequestHttx> Run(std::unique_ptr<NetEx::CRequestHttx> request,
                                             RecordingClient* client = nullptr) {
        client = client ? client : client_;
        if (!client->SendRequest(std::move(request)))
            return nullptr;
        windowtest::PumpUntil([&] { return client->CompletedCount() > 0; });
        return client->TakeCompleted();
    }

    // Waits until the client has seen this many errors.
    bool AwaitErrors(RecordingClient* client, std::size_t count) {
        return windowtest::PumpUntil([&] { return client->Errors().size() >= count; });
    }

    testsupport::TestHttpServer server_;
    NetEx::CNetTransport transport_;
    std::vector<std::unique_ptr<RecordingClient>> clients_;
    RecordingClient* client_ = nullptr;
};

} // namespace nettest
