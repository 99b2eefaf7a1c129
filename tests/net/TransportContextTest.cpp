#include "NetTestSupport.h"

#include "platform/Error.h"

#include <chrono>
#include <condition_variable>
#include <thread>

namespace {

using NetEx::NetErrorInfo;
using nettest::RecordingClient;
using nettest::TransportTest;
using testsupport::Reply;

using TransportContextTest = TransportTest;

TEST_F(TransportContextTest, DuplicateIdIsRefusedPerClient) {
    server_.On("/x", Reply::Text(200, "x"));
    ASSERT_TRUE(MakeContext(client_, 7, server_.Url("")));
    EXPECT_FALSE(MakeContext(client_, 7, server_.Url("")));
    auto errors = client_->Errors();
    ASSERT_EQ(errors.size(), 1u);
    EXPECT_EQ(errors[0].kind, NetErrorInfo::kFailed);
    EXPECT_EQ(errors[0].code, plat::kErrInternetHandleExists);
    EXPECT_EQ(errors[0].contextId, 7u);
    EXPECT_EQ(errors[0].requestId, NetErrorInfo::kNoRequest);

    // The first stays usable, and another client may use the same id.
    auto done = Run(NewRequest(7, 1, "/x", 4096));
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetStatusCode(), 200u);
    RecordingClient* other = NewClient();
    ASSERT_TRUE(MakeContext(other, 7, server_.Url("")));
    done = Run(NewRequest(7, 2, "/x", 4096), other);
    ASSERT_NE(done, nullptr);
    EXPECT_EQ(done->GetStatusCode(), 200u);
}

TEST_F(TransportContextTest, UnknownContextsAnswerWithKindThree) {
    ASSERT_TRUE(client_->SendRequest(NewRequest(99, 5, "/x")));
    ASSERT_TRUE(AwaitErrors(client_, 1));
    auto error = client_->Errors()[0];
    EXPECT_EQ(error.kind, NetErrorInfo::kNoContext);
    EXPECT_EQ(error.contextId, 99u);
    EXPECT_EQ(error.requestId, 5u);
    EXPECT_EQ(client_->CompletedCount(), 0u);

    auto changes = std::make_unique<NetEx::CContextHttx>();
    changes->Setup(98, {}, {}, 0, 0);
    ASSERT_TRUE(client_->PostModifyContext(std::move(changes)));
    ASSERT_TRUE(client_->PostDestroyContext(97));
    ASSERT_TRUE(AwaitErrors(client_, 3));
    EXPECT_EQ(client_->Errors()[1].contextId, 98u);
    EXPECT_EQ(client_->Errors()[2].kind, NetErrorInfo::kNoContext);
    EXPECT_EQ(client_->Errors()[2].contextId, 97u);
}

TEST_F(TransportContextTest, ModifiedArgumentsReachTheNextRequest) {
    server_.On("/p", Reply::Text(200, "p"));
    ASSERT_TRUE(MakeContext(client_, 1, server_.Url("?a=1")));
    auto changes = std::make_unique<NetEx::CContextHttx>();
    changes->Setup(1, {}, {}, 0, 0);
    changes->SetArgs("?b=2");
    ASSERT_TRUE(client_->PostModifyContext(std::move(changes)));
    ASSERT_TRUE(windowtest::PumpUntil([&] { return !client_->Modified().empty(); }));
    ASSERT_NE(Run(NewRequest(1, 1, "/p")), nullptr);
    EXPECT_EQ(server_.Requests().back().target, "/p?b=2");
}

TEST_F(TransportContextTest, DestroyAndDetachCloseTheContexts) {
    server_.On("/x", Reply::Text(200, "x"));
    ASSERT_TRUE(MakeContext(client_, 1, server_.Url("")));
    ASSERT_TRUE(MakeContext(client_, 2, server_.Url("")));
    ASSERT_TRUE(client_->PostDestroyContext(1));
    ASSERT_TRUE(windowtest::PumpUntil([&] { return !client_->Destroyed().empty(); }));
    EXPECT_EQ(client_->Destroyed()[0], 1u);

    EXPECT_TRUE(client_->Detach(windowtest::kWatchdogMs));
    ASSERT_TRUE(client_->SendRequest(NewRequest(2, 1, "/x")));
    ASSERT_TRUE(AwaitErrors(client_, 1));
    EXPECT_EQ(client_->Errors()[0].kind, NetErrorInfo::kNoContext);
    // The id is free again.
    EXPECT_TRUE(MakeContext(client_, 2, server_.Url("")));
}

// Holds the transport thread inside a callback until released.
class BlockingClient : public RecordingClient {
public:
    using RecordingClient::RecordingClient;
    void OnContextCreated(std::uint32_t id) override {
        RecordingClient::OnContextCreated(id);
        std::unique_lock<std::mutex> lock(mutex_);
        released_.wait(lock, [this] { return release_; });
    }
    void Release() {
        std::lock_guard<std::mutex> lock(mutex_);
        release_ = true;
        released_.notify_all();
    }

private:
    std::mutex mutex_;
    std::condition_variable released_;
    bool release_ = false;
};

TEST_F(TransportContextTest, DetachGivesUpWhenTheTransportDoesNotAnswer) {
    auto blocking = std::make_unique<BlockingClient>(main_);
    BlockingClient* client = blocking.get();
    client->SetTransport(&transport_);
    std::unique_ptr<NetEx::CContextHttx> context;
    ASSERT_TRUE(client->CreateContext(context));
    context->Setup(1, {}, server_.Url(""), 1000, nettest::kBgs);
    ASSERT_TRUE(client->PostCreateContext(std::move(context)));
    ASSERT_TRUE(windowtest::PumpUntil([&] { return !client->Created().empty(); }));
    EXPECT_FALSE(client->Detach(200));
    client->Release();
    EXPECT_TRUE(client->Detach(windowtest::kWatchdogMs));
    clients_.push_back(std::move(blocking));

    // Once the thread is gone nothing can answer at all.
    ASSERT_TRUE(transport_.Stop(windowtest::kWatchdogMs));
    EXPECT_FALSE(client_->Detach(200));
    EXPECT_FALSE(transport_.IsRunning());
}

TEST_F(TransportContextTest, ClosedInternetRefusesContexts) {
    ASSERT_TRUE(transport_.CloseInternet());
    EXPECT_FALSE(transport_.IsInternetOpen());
    std::unique_ptr<NetEx::CContextHttx> context;
    EXPECT_FALSE(client_->CreateContext(context));
    EXPECT_FALSE(client_->SendRequest(NewRequest(0, 1, "/x")));

    // A context posted anyway is answered with kind 1 and dropped.
    context = std::make_unique<NetEx::CContextHttx>();
    context->Setup(4, {}, server_.Url(""), 0, nettest::kBgs);
    ASSERT_TRUE(client_->PostCreateContext(std::move(context)));
    ASSERT_TRUE(AwaitErrors(client_, 1));
    EXPECT_EQ(client_->Errors()[0].kind, NetErrorInfo::kNotOpen);
    EXPECT_EQ(client_->Errors()[0].contextId, 4u);

    NetEx::InternetParams params;
    params.userAgent = nettest::kAgent;
    params.accessType = plat::INTERNET_OPEN_TYPE_DIRECT;
    EXPECT_TRUE(transport_.OpenInternet(params));
    EXPECT_FALSE(transport_.OpenInternet(params)); // already open
    EXPECT_TRUE(transport_.IsInternetOpen());
}

TEST_F(TransportContextTest, TransportWindowIsPublishedWhileRunning) {
    EXPECT_EQ(NetEx::CNetTransportBase::ProcessWindow(), transport_.Window());
    std::wstring className;
    ASSERT_TRUE(plat::GetWindowClassName(transport_.Window(), &className));
    EXPECT_EQ(className, L"NetTransportWndClass");
    ASSERT_TRUE(transport_.Stop(windowtest::kWatchdogMs));
    EXPECT_EQ(NetEx::CNetTransportBase::ProcessWindow(), 0u);
}

// A transport thread that does not end within the stop's time is never
// freed under: the transport is kept, and a client whose detach timed out
// waits until the transport has handled it before it goes.
TEST(TransportLifetimeTest, ATransportWhoseThreadOverstaysItsStopIsKept) {
    auto transport = std::make_unique<NetEx::CNetTransport>();
    ASSERT_TRUE(transport->Start(5000));
    NetEx::InternetParams params;
    params.accessType = plat::INTERNET_OPEN_TYPE_DIRECT;
    ASSERT_TRUE(transport->OpenInternet(params));
    NetEx::CNetTransport* kept = transport.get();
    auto client = std::make_unique<nettest::BlockingClient>();
    client->SetTransport(kept);
    ASSERT_TRUE(client->QueryStatistics());
    client->WaitEntered();

    EXPECT_FALSE(client->Detach(50));
    EXPECT_FALSE(NetEx::ShutDownTransport(std::move(transport), 50));
    std::thread release([&client] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        client->Release();
    });
    client->AwaitDetach();
    release.join();
    client->SetTransport(nullptr);
    client.reset();
    // The thread ends on its own, on an object that is still there.
    for (int i = 0; i < 500 && !kept->ThreadEnded(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    EXPECT_TRUE(kept->ThreadEnded());
    EXPECT_FALSE(kept->IsInternetOpen());

    // A transport that did stop in time is simply freed.
    auto quick = std::make_unique<NetEx::CNetTransport>();
    ASSERT_TRUE(quick->Start(5000));
    EXPECT_TRUE(NetEx::ShutDownTransport(std::move(quick), 5000));
    EXPECT_TRUE(NetEx::ShutDownTransport(nullptr, 0));
}

} // namespace
