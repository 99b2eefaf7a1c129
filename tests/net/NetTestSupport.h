#pragma once
// Shared pieces of the network layer's tests: a client that records what the
// transport calls back on its thread and wakes the test's window (the way
// the launcher's downloader re-posts to its own), and a fixture with a
// running transport, a test server and the window test's watchdog. The test
// thread plays the client's thread.

#include "net/ContextHttx.h"
#include "net/NetClient.h"
#include "net/NetTransport.h"
#include "net/RequestHttx.h"
#include "platform/WindowTestSupport.h"
#include "support/TestHttpServer.h"

#include <memory>
#include <mutex>
#include <thread>
#include <vector>

namespace nettest {

constexpr std::uint32_t kClientWake = plat::WM_APP + 0x100;
constexpr char kAgent[] = "Mozilla/5.0 (Trident/7.0; rv:11.0)";
constexpr std::uint32_t kDownloaderFlags = 0x80283000;
constexpr std::uint32_t kBgs = 0x400000;

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
