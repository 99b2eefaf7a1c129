#pragma once
// One request handle of the HTTP layer: its libcurl transfer, the response
// head and body as they arrive, the one operation (data query or read) that
// may wait for them, and the notices its progress produces. Lives inside its
// internet session and runs on the session's owner thread only; libcurl calls
// back into it from the session's pump.

#include "platform/Internet.h"

#include <chrono>
#include <cstdint>
#include <curl/curl.h>
#include <deque>
#include <string>
#include <utility>
#include <vector>

namespace plat::posix {

using Clock = std::chrono::steady_clock;

// A status notice waiting for delivery.
struct InternetNotice {
    HINTERNET handle = 0;
    std::uintptr_t context = 0;
    std::uint32_t status = 0;
    std::string info;
};

// Everything a send needs besides the request's own fields, resolved by the
// session from the connection and the handles' options.
struct SendSetup {
    std::string url; // scheme, server, port and the request's object
    std::string user;
    std::string password;
    std::string userAgent;
    std::uint32_t connectTimeoutMs = 0;
    std::uint32_t sendTimeoutMs = 0;
    std::uint32_t receiveTimeoutMs = 0;
    std::uint32_t certificateWaivers = 0;
    bool decode = false;
    std::string proxy; // as libcurl takes it; empty: directly
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
    const std::string& Object() const { return object_; }
    CURL* Easy() const { return easy_; }

    // True while an exchange runs: sent and not yet over, or bytes still
    // wait to be read.
    bool Busy() const;
    // Starts a new exchange: a fresh transfer for the session to add to its
    // multi handle. False with last error set when it cannot be made.
    bool Prepare(const SendSetup& setup, std::string_view headers, std::string_view body);
    // Ends the exchange without a transfer (a name that never resolves).
    void FailAtOnce(ErrorCode error);
    // libcurl reports the transfer done (the session has taken it out of the
    // multi handle).
    void OnTransferDone(CURLcode code);
    // The session gave up on the transfer (time-out); same as done.
    void Abandon(ErrorCode error);
    // True when libcurl holds this transfer's data back until the reader
    // makes room.
    bool Paused() const { return paused_; }
    bool Transferring() const { return transferring_; }

    // The time-out that governs the transfer now, and when it runs out
    // (nothing while connecting, paused or done).
    bool Deadline(Clock::time_point* deadline);
    // True when fewer bytes than the slow-transfer floor asks for arrived in
    // the last window (a window only counts once the connection stands and
    // while the reader takes what comes).
    bool BelowFloor(Clock::time_point now);
    // When the floor is to be looked at next; false when it does not apply.
    bool NextFloorCheck(Clock::time_point* due);

    // Owner's calls. Each fails with last error set, 997 when it must wait.
    bool QueryAvailable(std::uint32_t* available);
    bool Read(void* buffer, std::uint32_t size, std::uint32_t* read);
    bool QueryInfo(std::uint32_t level, std::string* text) const;
    bool QueryHeader(std::string_view name, std::string* value) const;

    // True when Advance has notices to give.
    bool HasNews() const;
    // Turns progress into notices (connection closed, send complete, a
    // waiting operation complete), in that order.
    void Advance(std::deque<InternetNotice>* notices);

private:
    enum class Waiting { Nothing, Available, Read };

    static size_t OnHeader(char* data, size_t size, size_t count, void* self);
    static size_t OnBody(char* data, size_t size, size_t count, void* self);
    static int OnProgress(void* self, curl_off_t downTotal, curl_off_t downNow, curl_off_t upTotal,
                          curl_off_t upNow);
    static int OnDebug(CURL* easy, curl_infotype type, char* data, size_t size, void* self);

    bool Readable() const;
    // True once the connection stands (and the request is on its way).
    bool Connected();
    bool FloorApplies() const;
    void TakeSample(Clock::time_point now);
    void ReleaseTransfer();
    void ResetResponse();
    void HeaderLine(std::string_view line);
    std::size_t Buffered() const { return body_.size() - bodyRead_; }
    std::uint32_t Take(void* buffer, std::uint32_t size);
    void Resume();
    void EndWait();
    void Notify(std::deque<InternetNotice>* notices, std::uint32_t status, std::string info);
    void Complete(std::deque<InternetNotice>* notices, std::uint32_t result, ErrorCode error);

    const HINTERNET handle_;
    const HINTERNET connection_;
    const std::uintptr_t context_;
    const std::string verb_;
    const std::string object_;
    const std::string acceptTypes_;
    const std::uint32_t flags_;

    CURL* easy_ = nullptr;
    curl_slist* headerList_ = nullptr;
    std::string uploadBody_;
    std::string url_;
    std::string proxy_;
    std::uint32_t sendTimeoutMs_ = 0;
    std::uint32_t receiveTimeoutMs_ = 0;

    // The exchange.
    bool sendPending_ = false;        // a send waits for its notice
    bool transferring_ = false;       // libcurl still works on it
    bool over_ = true;                // the transfer ended (or none ran)
    ErrorCode failure_ = kErrSuccess; // why it ended, when it failed
    bool connectionLost_ = false;
    bool closedNoticeDue_ = false;
    bool paused_ = false;
    bool uploading_ = false;
    bool progressSeen_ = false;
    Clock::time_point lastProgress_{};
    curl_off_t lastDown_ = 0;
    curl_off_t lastUp_ = 0;
    // A callback could not get memory: the transfer ends with 122.
    bool outOfMemory_ = false;

    // The slow-transfer floor: head and body bytes received, sampled every
    // quarter window while the floor applies.
    struct Sample {
        Clock::time_point time;
        std::uint64_t received = 0;
    };
    std::uint32_t floorBytesPerSecond_ = 0;
    std::uint32_t floorWindowMs_ = 0;
    std::uint64_t received_ = 0;
    std::deque<Sample> samples_;

    // The response.
    bool headersDone_ = false;
    std::string version_;
    std::uint32_t status_ = 0;
    std::string statusText_;
    std::vector<std::pair<std::string, std::string>> fields_;
    std::string rawHeaders_;
    std::string sentHeaders_;
    std::string body_;
    std::size_t bodyRead_ = 0;

    // The operation that waits.
    Waiting waiting_ = Waiting::Nothing;
    void* readBuffer_ = nullptr;
    std::uint32_t readSize_ = 0;
    std::uint32_t readFilled_ = 0; // bytes already in readBuffer_
    std::uint32_t* readDone_ = nullptr;
};

} // namespace plat::posix
