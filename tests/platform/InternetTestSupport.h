#pragma once
// Shared pieces of the HTTP layer's tests: a fixture that runs an internet
// handle on the test's thread the way the transport does (the status
// callback posts each notice to the thread's window, the layer wakes the
// loop with a pump message), a test server, and an exchange driver that
// sends one request and reads its answer block by block as the transport's
// request does. Everything runs on the test's thread; the watchdog of the
// window fixture bounds every wait.

#include "WindowTestSupport.h"
#include "platform/Internet.h"
#include "support/TestHttpServer.h"

#include <cstring>
#include <deque>
#include <memory>
#include <string>
#include <vector>

namespace inettest {

constexpr std::uint32_t kPumpMessage = plat::WM_USER + 0x200;
constexpr std::uint32_t kNoticeMessage = plat::WM_USER + 0x201;
constexpr std::uint64_t kTickTimer = 7;
constexpr char kAgent[] = "Mozilla/5.0 (Trident/7.0; rv:11.0)";
// The open flags the launcher's downloader uses.
constexpr std::uint32_t kDownloaderFlags = 0x80283000;

// A status notice as the callback copied it.
struct Notice {
    plat::HINTERNET handle = 0;
    std::uintptr_t context = 0;
    std::uint32_t status = 0;
    std::string info;
};

// One request driven to its end: send, then data queries and reads of
// `block` bytes until the body ends or fails. Owner thread only.
class Exchange {
public:
    Exchange(plat::HINTERNET connection, const std::string& verb, const std::string& object,
             std::uint32_t flags, std::uint32_t block)
        : block_(block) {
        handle_ = plat::OpenRequest(connection, verb, object, "*/*", flags,
                                    reinterpret_cast<std::uintptr_t>(this));
    }
    ~Exchange() { Close(); }
    Exchange(const Exchange&) = delete;
    Exchange& operator=(const Exchange&) = delete;

    plat::HINTERNET Handle() const { return handle_; }
    void Close() {
        if (handle_ != 0)
            plat::CloseInternetHandle(handle_);
        handle_ = 0;
    }
    // Sets every transfer time-out of the request.
    void SetTimeouts(std::uint32_t ms) {
        for (std::uint32_t option : {2u, 5u, 6u, 7u, 8u})
            plat::SetInternetOption(handle_, option, ms);
    }
    // True when the send went out and waits for its notice, as it must.
    bool Send(std::string_view headers = {}, std::string_view body = {}) {
        if (plat::SendRequest(handle_, headers, body))
            return false;
        sendError = plat::GetLastError();
        return sendError == plat::kErrIoPending;
    }

    void OnNotice(const Notice& notice) {
        if (notice.status == plat::INTERNET_STATUS_CONNECTION_CLOSED) {
            connectionClosed = true;
            return;
        }
        if (notice.status != plat::INTERNET_STATUS_REQUEST_COMPLETE || done)
            return;
        plat::InternetAsyncResult result;
        if (notice.info.size() != sizeof result) {
            Finish(0xFFFFFFFF);
            return;
        }
        std::memcpy(&result, notice.info.data(), sizeof result);
        if (!sent_) {
            sent_ = true;
            if (result.result == 0) {
                Finish(result.error);
                return;
            }
            if (hold)
                return;
        } else if (readPending_) {
            readPending_ = false;
            body.append(buffer_.data(), readDone_);
        }
        Read();
    }

    // Holds the reads back after the send until Release.
    bool hold = false;
    bool Sent() const { return sent_; }
    void Release() {
        hold = false;
        Read();
    }

    // Filled as the exchange goes.
    plat::ErrorCode sendError = 0;
    bool done = false;
    plat::ErrorCode error = 0;
    std::uint32_t status = 0;
    std::string body;
    std::string location;
    int pendingReads = 0;
    int pendingQueries = 0;
    bool connectionClosed = false;

private:
    void Read() {
        for (;;) {
            std::uint32_t available = 0;
            if (!plat::QueryDataAvailable(handle_, &available)) {
                if (plat::GetLastError() == plat::kErrIoPending) {
                    ++pendingQueries;
                    return;
                }
                Finish(plat::GetLastError());
                return;
            }
            if (available == 0) {
                Finish(0);
                return;
            }
            buffer_.assign(block_, '\0');
            if (plat::ReadResponse(handle_, buffer_.data(), block_, &readDone_)) {
                body.append(buffer_.data(), readDone_);
                continue;
            }
            if (plat::GetLastError() != plat::kErrIoPending) {
                Finish(plat::GetLastError());
                return;
            }
            ++pendingReads;
            readPending_ = true;
            return;
        }
    }
    void Finish(plat::ErrorCode code) {
        error = code;
        plat::QueryResponseNumber(handle_, plat::HTTP_QUERY_STATUS_CODE, &status);
        plat::QueryResponseInfo(handle_, plat::HTTP_QUERY_LOCATION, &location);
        done = true;
    }

    plat::HINTERNET handle_ = 0;
    std::uint32_t block_;
    std::string buffer_;
    std::uint32_t readDone_ = 0;
    bool sent_ = false;
    bool readPending_ = false;
};

// Runs an internet handle on the test's thread with a connection to the
// test server; notices come through the thread's window.
class InternetTest : public windowtest::WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(server_.Start());
        mainHandler_.reply = [this](const windowtest::Received& got) { return OnMessage(got); };
        // Conditions that other threads change are looked at again on each tick.
        plat::SetTimer(main_, kTickTimer, 20);
        // Directly: a proxy the machine's environment names stays out of it.
        ASSERT_TRUE(Reopen(plat::INTERNET_OPEN_TYPE_DIRECT));
    }

    // Opens the internet handle (again) with this access type and proxy,
    // and connects to the test server.
    bool Reopen(std::uint32_t accessType, const std::string& proxy = {},
                const std::string& bypass = {}) {
        exchanges_.clear();
        if (internet_ != 0)
            plat::CloseInternetHandle(internet_);
        internet_ =
            plat::OpenInternet(kAgent, accessType, proxy, bypass, plat::INTERNET_FLAG_ASYNC);
        if (internet_ == 0)
            return false;
        OpenCallbacks();
        connection_ = Connect("127.0.0.1", server_.Port());
        return connection_ != 0;
    }

    void OpenCallbacks() {
        ASSERT_TRUE(plat::SetInternetOption(internet_, plat::INTERNET_OPTION_HTTP_DECODING, 1));
        // As the transport does: the callback only copies and posts.
        plat::HWND window = main_;
        ASSERT_TRUE(plat::SetStatusCallback(
            internet_,
            [this, window](plat::HINTERNET handle, std::uintptr_t context, std::uint32_t status,
                           const void* info, std::uint32_t length) {
                std::string copy;
                if (info != nullptr && length != 0)
                    copy.assign(static_cast<const char*>(info), length);
                posted_.push_back(Notice{handle, context, status, std::move(copy)});
                plat::PostMessage(window, kNoticeMessage, 0,
                                  static_cast<plat::LPARAM>(posted_.size() - 1));
            }));
        ASSERT_TRUE(plat::SetPumpWindow(internet_, main_, kPumpMessage));
    }

    void TearDown() override {
        exchanges_.clear();
        if (internet_ != 0)
            plat::CloseInternetHandle(internet_);
        WindowTest::TearDown();
        server_.Stop();
    }

    plat::HINTERNET Connect(const std::string& server, std::uint16_t port) {
        return plat::ConnectServer(internet_, server, port, "", "", 0, 0);
    }

    Exchange& NewExchange(const std::string& object, std::uint32_t block = 4096,
                          const std::string& verb = "GET", std::uint32_t flags = kDownloaderFlags,
                          plat::HINTERNET connection = 0) {
        return *exchanges_.emplace_back(std::make_unique<Exchange>(
            connection != 0 ? connection : connection_, verb, object, flags, block));
    }

    // Pumps until the exchange is over; false when the watchdog fired.
    bool Finish(const Exchange& exchange) {
        return windowtest::PumpUntil([&] { return exchange.done; });
    }

    plat::LRESULT OnMessage(const windowtest::Received& got) {
        if (got.message == plat::WM_TIMER) {
            ++ticks_;
        } else if (got.message == kPumpMessage) {
            ++pumps_;
            plat::PumpInternet(internet_, 0);
        } else if (got.message == kNoticeMessage) {
            const Notice& notice = posted_.at(static_cast<std::size_t>(got.lParam));
            Route(notice);
        }
        return 0;
    }

    // A notice goes to the live exchange it names, as the transport routes
    // it to its request; any other is a stray.
    void Route(const Notice& notice) {
        for (const auto& exchange : exchanges_) {
            if (reinterpret_cast<std::uintptr_t>(exchange.get()) == notice.context &&
                exchange->Handle() == notice.handle && notice.handle != 0) {
                exchange->OnNotice(notice);
                return;
            }
        }
        strays_.push_back(notice);
    }

    testsupport::TestHttpServer server_;
    plat::HINTERNET internet_ = 0;
    plat::HINTERNET connection_ = 0;
    std::deque<std::unique_ptr<Exchange>> exchanges_;
    std::vector<Notice> posted_;
    std::vector<Notice> strays_;
    int pumps_ = 0;
    int ticks_ = 0;
};

} // namespace inettest
