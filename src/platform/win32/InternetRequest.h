#pragma once
// One request handle of the HTTP layer over WinINet: each send opens a fresh
// WinINet request under the server's connection handle and drives it
// asynchronously (send, then "how much is there" and reads of what is
// there) into a buffer of the layer's own, from which the owner's data
// queries and reads are served, and the notices the owner hears. Also the
// response head, the time-outs and the slow-transfer floor. Lives inside its
// internet session and runs on the session's owner thread only; WinINet's
// threads reach it only through the session's inbox.

#include "platform/Internet.h"
#include "platform/win32/InternetDecoder.h"
#include "platform/win32/InternetHead.h"
#include "platform/win32/InternetInbox.h"

#include <chrono>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <string_view>

namespace plat::win {

using Clock = std::chrono::steady_clock;

// A status notice waiting for delivery.
struct InternetNotice {
    HINTERNET handle = 0;
    std::uintptr_t context = 0;
    std::uint32_t status = 0;
    std::string info;
};

// What a send needs besides the request's own fields, resolved by the
// session from the connection and the handles' options.
struct SendSetup {
    ::HINTERNET connect = nullptr; // WinINet's connection handle
    std::shared_ptr<InternetInbox> inbox;
    std::uint32_t extraFlags = 0; // the connection's INTERNET_FLAG_SECURE
    std::uint32_t connectTimeoutMs = 0;
    std::uint32_t sendTimeoutMs = 0;
    std::uint32_t receiveTimeoutMs = 0;
    std::uint32_t securityFlags = 0;
    bool decode = false;
    std::uint32_t slowFloorBytesPerSecond = 0;
    std::uint32_t slowWindowMs = 0;
};

// One request handle and its exchange; the session's owner thread only.
class InternetRequest {
public:
    InternetRequest(HINTERNET handle, HINTERNET connection, std::uintptr_t context,
                    std::string verb, std::string object, std::string acceptTypes,
                    std::uint32_t flags);
    ~InternetRequest();
    InternetRequest(const InternetRequest&) = delete;
    InternetRequest& operator=(const InternetRequest&) = delete;

    HINTERNET Handle() const { return handle_; }
    HINTERNET Connection() const { return connection_; }
    std::uint32_t Flags() const { return flags_; }

    // True while an exchange runs: sent and not yet over, or bytes still
    // wait to be read.
    bool Busy() const;
    // Starts a new exchange; false with last error set when WinINet refused
    // it at once (997 is the normal answer and is not a failure here).
    bool Start(const SendSetup& setup, std::string_view headers, std::string_view body);
    // Ends the exchange before anything went out (a name that never resolves).
    void FailAtOnce(ErrorCode error);
    // An event WinINet reported for this request.
    void OnEvent(const InternetEvent& event, Clock::time_point now);
    // Fails a transfer whose time-out passed or that stays below the floor.
    void CheckTimers(Clock::time_point now);
    // When CheckTimers is next due; false when nothing is timed.
    bool NextCheck(Clock::time_point* due) const;

    // Owner's calls. Each fails with last error set, 997 when it must wait.
    bool QueryAvailable(std::uint32_t* available);
    bool Read(void* buffer, std::uint32_t size, std::uint32_t* read);
    bool QueryInfo(std::uint32_t level, std::string* text) const {
        return head_.Query(level, text);
    }
    bool QueryHeader(std::string_view name, std::string* value) const {
        return head_.Field(name, value);
    }

    bool HasNotices() const { return !notices_.empty(); }
    // The owner has heard that the connection closed; a failure it causes
    // may now be reported at once.
    void CloseNoticeDelivered() { closeNoticePending_ = false; }
    // Moves out the notices the request's progress produced.
    void TakeNotices(std::deque<InternetNotice>* notices);

private:
    enum class Op { None, Send, Query, Read };
    enum class Waiting { Nothing, Available, Read };

    void CloseWinInet();
    void OnSendDone(bool ok, ErrorCode error);
    void OnQueryDone(DWORD available, ErrorCode error);
    void OnReadDone(bool ok, DWORD read, ErrorCode error);
    // Asks WinINet for more of the body while the buffer has room.
    void Pull();
    // Reads what WinINet said is there; true when it came at once and more
    // may be asked for.
    bool ReadSome(DWORD available);
    void Absorb(DWORD size);
    void EndBody();
    void Fail(ErrorCode error);
    void TakeHead();
    void Progress(Clock::time_point now) { lastProgress_ = now; }
    void RestartFloor(Clock::time_point now);
    std::size_t Buffered() const { return body_.size() - bodyRead_; }
    std::uint32_t Take(void* buffer, std::uint32_t size);
    // Completes the owner's waiting operation when it can be.
    void Serve();
    void Complete(std::uint32_t result, ErrorCode error);
    void Notify(std::uint32_t status, std::string info);

    const HINTERNET handle_;
    const HINTERNET connection_;
    const std::uintptr_t context_;
    const std::string verb_;
    const std::string object_;
    const std::string acceptTypes_;
    const std::uint32_t flags_;

    // WinINet's side of the exchange.
    ::HINTERNET request_ = nullptr;
    InternetSlot* slot_ = nullptr; // owned by WinINet's callback once the handle exists
    Op op_ = Op::None;
    std::uint32_t generation_ = 0;
    bool sendPending_ = false; // the send's notice is still due
    bool sent_ = false;        // the head of the answer is in
    bool wireSent_ = false;    // the request went out (the connection stands)
    bool over_ = true;         // nothing more comes from WinINet
    bool paused_ = false;      // held back: the buffer is full
    bool decoded_ = false;     // encoded bodies are to be decoded
    std::unique_ptr<InternetDecoder> decoder_;
    ErrorCode failure_ = kErrSuccess;
    std::uint64_t expectedLength_ = 0;
    bool lengthKnown_ = false;
    std::uint64_t received_ = 0;

    std::uint32_t connectTimeoutMs_ = 0;
    std::uint32_t receiveTimeoutMs_ = 0;
    Clock::time_point lastProgress_{};
    std::uint32_t floorBytesPerSecond_ = 0;
    std::uint32_t floorWindowMs_ = 0;
    struct Sample {
        Clock::time_point time;
        std::uint64_t received = 0;
    };
    std::deque<Sample> samples_;

    InternetHead head_;
    std::string body_;
    std::size_t bodyRead_ = 0;

    Waiting waiting_ = Waiting::Nothing;
    void* readBuffer_ = nullptr;
    std::uint32_t readSize_ = 0;
    std::uint32_t readFilled_ = 0;
    std::uint32_t* readDone_ = nullptr;

    std::deque<InternetNotice> notices_;
    bool closedNoticeSent_ = false;
    bool closeNoticePending_ = false; // told, not yet delivered
};

} // namespace plat::win
