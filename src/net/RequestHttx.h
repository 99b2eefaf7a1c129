#pragma once
// One HTTP exchange: filled by its owner on the owner's thread (URL, method,
// headers, body, options), handed to the transport with SendRequest, driven
// there by its context (open, send, block-wise reads, response information)
// and handed back with OnRequestCompleted. Between the two only the
// transport thread touches it.

#include "base/Buffer.h"
#include "net/BodySink.h"
#include "net/RangeAnswer.h"
#include "net/UrlComponents.h"
#include "platform/Internet.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace NetEx {

class CContextHttx;

// Verbs by method index.
enum RequestMethod : std::uint32_t { kGet = 0, kPost = 1, kDelete = 2, kHead = 3 };

// Life cycle of a request on the wire.
enum RequestState : std::uint32_t {
    kCreated = 0,
    kOpened = 1,
    kSent = 2,
    kReceiving = 3,
    kFinished = 4,
};

// The read block that asks for adaptive reads.
constexpr std::uint32_t kAdaptiveBlock = 0xFFFFFFFFu;
constexpr std::uint32_t kMinAdaptiveBlock = 0x2000;
// A body streamed to a sink is read in slices of at most this size, whatever
// the read block: each slice is copied, checksummed and written while it is
// still in the processor's cache, which a 4 MiB block is not. Against
// `curl -o` a 1 GiB download went from 0.68-0.93 of its rate with 4 MiB
// reads to 1.05-1.07 with these slices (256 KiB: 0.90-1.02, more thread
// hand-overs).
constexpr std::uint32_t kStreamSlice = 512u << 10;

// The error kind of a failed exchange.
constexpr std::uint32_t kErrorKindFailed = 4;

// The read block after a pass of passSize bytes that took elapsedMs: aims at
// one second of transfer, at most doubling, between 8192 bytes and bgs.
std::uint32_t NextAdaptiveBlock(std::uint32_t passSize, std::uint64_t elapsedMs, std::uint32_t bgs);

// The verb of a method index; "GET" for an unknown one.
const char* VerbOf(std::uint32_t method);

// What a request is set up with; callers name the fields they set with
// designated initialisers and leave the rest at these defaults.
struct RequestSetup {
    std::uint32_t contextId = 0xFFFFFFFFu;
    std::uint32_t requestId = 0xFFFFFFFFu;
    // A path (and query) on the context's server, or a full address.
    std::string_view url{};
    // The context's query arguments are merged into the request's.
    bool mergeArgs = true;
    std::uint32_t method = kGet;
    std::uint32_t timeout = 0; // 0: the context's
    std::uint32_t openFlags = 0;
    std::uint32_t securityFlags = 0; // checks the request waives
    // Bytes asked for per read; 0 for what is there, kAdaptiveBlock to aim
    // at one second per read.
    std::uint32_t readBlock = 0;
    bool wantSentHeaders = false;
    bool wantResponseHeaders = false;
    // Text of the body the HTTP log shows replaced (a password field).
    std::string_view logMaskPattern{};
    const char* logMaskReplacement = nullptr;
    // The most body bytes held in memory; a longer body fails the request
    // with 122 before more is allocated. 0: the 32-bit bound.
    std::uint32_t bodyLimit = 0;
};

class CRequestHttx {
public:
    CRequestHttx() = default;
    // A copy for a new exchange: the settings and the redirect count, none
    // of the previous exchange's results.
    CRequestHttx(const CRequestHttx& other);
    CRequestHttx& operator=(const CRequestHttx&) = delete;
    ~CRequestHttx();

    std::uint32_t GetContextId() const { return contextId_; }
    std::uint32_t GetRequestId() const { return requestId_; }
    CUrlComponents& GetUrl() { return url_; }
    CUrlComponents& GetFirstUrl() { return firstUrl_; }
    std::uint32_t GetMethod() const { return method_; }
    std::uint32_t GetTimeout() const { return timeout_; }
    std::uint32_t GetOpenFlags() const { return openFlags_; }
    std::uint32_t GetSecurityFlags() const { return securityFlags_; }
    std::uint32_t GetPassSize() const { return passSize_; }
    std::size_t GetBodySize() const { return bodyUsed_; }
    const CBuffer& GetHeaders() const { return headers_; }
    const CBuffer& GetBody() const { return body_; }
    const CBuffer& GetLocation() const { return location_; }
    const CBuffer& GetSentHeaders() const { return sentHeaders_; }
    const CBuffer& GetResponseHeaders() const { return responseHeaders_; }
    // While reads go on, only the first GetBodySize bytes are data.
    const CBuffer& GetResponseBody() const { return responseBody_; }
    const std::string& GetExtraHeader() const { return extraHeader_; }
    std::uint32_t GetErrorKind() const { return errorKind_; }
    std::uint32_t GetStatusCode() const { return statusCode_; }
    std::uint32_t GetErrorCode() const { return errorCode_; }
    bool IsRedirect() const { return statusCode_ >= 300 && statusCode_ <= 399; }
    std::uint32_t GetRedirectCount() const { return redirectCount_; }
    std::uint32_t GetReadBlock() const { return readBlock_; }
    bool IsAdaptive() const { return adaptive_; }
    std::uint32_t GetTag() const { return tag_; }
    void SetIds(std::uint32_t contextId, std::uint32_t requestId);
    bool SetFirstUrl(std::string_view url);
    bool SetUrl(std::string_view url);
    // Takes the setup; false when the address cannot be parsed (the rest is
    // taken all the same).
    bool Init(const RequestSetup& setup);
    void SetArgs(std::string_view query);
    void SetTag(std::uint32_t tag) { tag_ = tag; }
    void SetExtraHeader(std::string_view text);
    void AddHeader(std::string_view text);
    // Asks for `length` bytes from `offset` (0: to the end) and remembers
    // the range: only an answer to it is taken (see RangeAnswer.h).
    void AddRange(std::uint32_t offset, std::uint32_t length);
    void AddContentLength(std::uint32_t length);
    void BeginMultipart(const char* boundary);
    void AppendBody(const void* data, std::size_t length);
    void TakeBody(CBuffer& body);
    bool AddFormPart(std::string_view name, const char* fileName, std::string_view contentType);
    bool EndMultipart();

    // A successful answer's body goes to the sink, read by read, instead of
    // the response body (which then stays empty); an error answer's body
    // still comes in memory.
    void SetBodySink(std::shared_ptr<IBodySink> sink) { sink_ = std::move(sink); }
    const std::shared_ptr<IBodySink>& GetBodySink() const { return sink_; }
    std::uint32_t GetBodyLimit() const { return bodyLimit_; }
    bool HasRange() const { return hasRange_; }
    const RangeAsked& GetRange() const { return range_; }
    // The answer was no answer to the asked range (or ran past it): the
    // exchange ended without an error and without the rest of the body.
    bool IsUnexpectedAnswer() const { return unexpected_; }
    // A 200 answered a range from further on: the sink took the whole file
    // from byte 0.
    bool IsRestartedFile() const { return restarted_; }
    // Body bytes handed to the sink.
    std::uint64_t GetSunkSize() const { return sunk_; }
    // Body bytes received, in memory or handed to the sink.
    std::uint64_t GetReceivedSize() const { return sunk_ + bodyUsed_; }

    const std::string& GetBoundary() const { return boundary_; }
    std::uint32_t GetState() const { return state_; }
    // "created", "opened", "sent", "receiving", "finished".
    static const char* StateName(std::uint32_t state);
    plat::HINTERNET GetHandle() const { return handle_; }
    bool WantsSentHeaders() const { return wantSentHeaders_; }
    bool WantsResponseHeaders() const { return wantResponseHeaders_; }
    bool MergesArgs() const { return mergeArgs_; }
    // The body as the log shows it: every occurrence of the mask pattern
    // (literal text) replaced.
    std::string BodyForLog() const;

    // --- The exchange, transport thread only (driven by the context) -------

    // Attaches to the context, bounds the read block by its BGS and
    // completes the working URL from the context's.
    void Attach(CContextHttx* context);
    CContextHttx* Context() const { return context_; }
    // HttpOpenRequest in state 0; false (error kind 4) on failure.
    bool Open();
    // HttpSendRequest in state 1 or 2; false (error kind 4) unless it went
    // out or is pending.
    bool Send();
    // Reads what is there; returns with state 3 and error 997 while a query
    // or read is pending, else the exchange is over (state 4 or a failure).
    void Read();
    // The request-complete notice's result for this request.
    void SetFailure(std::uint32_t code);
    void SetConnectionClosed() { connectionClosed_ = true; }
    // Closes the handle when open.
    void CloseHandle();
    // Re-sends after an invalid-CA failure are bounded by this.
    bool TakeResend();
    // Tells the sink its answer is over, when it began one.
    void EndBody();
    std::size_t SentSize() const { return headers_.Size() + body_.Size(); }

private:
    // The one place the state changes; a context that keeps debug records
    // writes each change to its HTTP log.
    void SetState(RequestState state);
    void Commit();
    // True when the read that just ended brought bytes and a read block
    // applies: the next step is another read rather than a data query.
    bool ReadOnAfter() const;
    void QueryResponse();
    // Room for up to `room` more bytes in the response body (less when the
    // body limit is near, never none); false when memory ran out.
    bool MakeRoom(std::uint32_t room);
    void Fail(std::uint32_t code);
    // Ends the exchange here: the state is finished, the response queried.
    void Finish();
    // Once the head is in: whether the body is taken, and where it goes.
    // False when the exchange ended here (unexpected answer or a failure).
    bool TakeHead();
    // Takes the bytes just read: hands them to the sink up to the answer's
    // limit, or keeps them in memory within the body limit; false when
    // the exchange ended here.
    bool TakeBytes();

    CContextHttx* context_ = nullptr;
    plat::HINTERNET handle_ = 0;
    RequestState state_ = kCreated;
    std::uint32_t available_ = 0;
    // The read in progress: where it writes and how much it got.
    struct ReadDescriptor {
        std::uint8_t* buffer = nullptr;
        std::uint32_t length = 0;
    } read_;
    std::uint32_t contextId_ = 0xFFFFFFFFu;
    std::uint32_t requestId_ = 0xFFFFFFFFu;
    CUrlComponents firstUrl_;
    CUrlComponents url_;
    bool mergeArgs_ = true;
    std::uint32_t method_ = kGet;
    std::uint32_t timeout_ = 0;
    std::uint32_t openFlags_ = 0;
    std::uint32_t securityFlags_ = 0;
    std::uint32_t passSize_ = 0;
    CBuffer headers_;
    CBuffer body_;
    CBuffer location_;
    std::string extraHeader_;
    bool wantSentHeaders_ = false;
    bool wantResponseHeaders_ = false;
    CBuffer sentHeaders_;
    CBuffer responseHeaders_;
    CBuffer responseBody_;
    std::size_t bodyUsed_ = 0;
    std::uint32_t redirectCount_ = 0;
    bool connectionClosed_ = false;
    std::uint32_t tag_ = 0;
    std::string boundary_;
    std::string logMaskPattern_;
    std::string logMaskReplacement_;
    std::uint32_t readBlock_ = 0;
    bool adaptive_ = false;
    std::int64_t readStartMs_ = 0;
    std::uint32_t errorKind_ = 0;
    std::uint32_t statusCode_ = 0;
    std::uint32_t errorCode_ = 0;
    std::uint32_t resends_ = 0;
    std::uint32_t bodyLimit_ = 0;
    bool hasRange_ = false;
    RangeAsked range_;
    std::shared_ptr<IBodySink> sink_;
    // The exchange's body handling, decided once the head is in.
    bool headTaken_ = false;
    bool streaming_ = false;        // the body goes to the sink
    bool bodyBegun_ = false;        // the sink was told of this answer
    std::uint64_t answerLimit_ = 0; // body bytes that belong to the range; 0: no bound
    std::uint64_t sunk_ = 0;
    bool unexpected_ = false;
    bool restarted_ = false;
};

} // namespace NetEx
