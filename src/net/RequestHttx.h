#pragma once
// One HTTP exchange: filled by its owner on the owner's thread (URL, method,
// headers, body, options), handed to the transport with SendRequest, driven
// there by its context (open, send, block-wise reads, response information)
// and handed back with OnRequestCompleted. Between the two only the
// transport thread touches it.

#include "base/Buffer.h"
#include "net/UrlComponents.h"
#include "platform/Internet.h"

#include <cstdint>
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

// The error kind of a failed exchange.
constexpr std::uint32_t kErrorKindFailed = 4;

// The read block after a pass of passSize bytes that took elapsedMs: aims at
// one second of transfer, at most doubling, between 8192 bytes and bgs.
std::uint32_t NextAdaptiveBlock(std::uint32_t passSize, std::uint64_t elapsedMs, std::uint32_t bgs);

// The verb of a method index; "GET" for an unknown one.
const char* VerbOf(std::uint32_t method);

class IRequestHttx {
public:
    virtual ~IRequestHttx() = default;
    virtual std::uint32_t GetContextId() const = 0;
    virtual std::uint32_t GetRequestId() const = 0;
    virtual CUrlComponents& GetUrl() = 0;
    virtual CUrlComponents& GetFirstUrl() = 0;
    virtual std::uint32_t GetMethod() const = 0;
    virtual std::uint32_t GetTimeout() const = 0;
    virtual std::uint32_t GetOpenFlags() const = 0;
    virtual std::uint32_t GetSecurityFlags() const = 0;
    virtual std::uint32_t GetPassSize() const = 0;
    virtual std::size_t GetBodySize() const = 0;
    virtual const CBuffer& GetHeaders() const = 0;
    virtual const CBuffer& GetBody() const = 0;
    virtual const CBuffer& GetLocation() const = 0;
    virtual const CBuffer& GetSentHeaders() const = 0;
    virtual const CBuffer& GetResponseHeaders() const = 0;
    virtual const CBuffer& GetResponseBody() const = 0;
    virtual const std::string& GetExtraHeader() const = 0;
    virtual std::uint32_t GetErrorKind() const = 0;
    virtual std::uint32_t GetStatusCode() const = 0;
    virtual std::uint32_t GetErrorCode() const = 0;
    virtual bool IsRedirect() const = 0;
    virtual std::uint32_t GetRedirectCount() const = 0;
    virtual std::uint32_t GetReadBlock() const = 0;
    virtual bool IsAdaptive() const = 0;
    virtual std::uint32_t GetTag() const = 0;
    virtual void SetIds(std::uint32_t contextId, std::uint32_t requestId) = 0;
    virtual bool SetFirstUrl(std::string_view url) = 0;
    virtual bool SetUrl(std::string_view url) = 0;
    virtual bool Init(std::uint32_t contextId, std::uint32_t requestId, std::string_view url,
                      bool mergeArgs, std::uint32_t method, std::uint32_t timeout,
                      std::uint32_t openFlags, std::uint32_t securityFlags, std::uint32_t readBlock,
                      bool wantSentHeaders, bool wantResponseHeaders,
                      std::string_view logMaskPattern, const char* logMaskReplacement) = 0;
    virtual void SetArgs(std::string_view query) = 0;
    virtual void SetTag(std::uint32_t tag) = 0;
    virtual void SetExtraHeader(std::string_view text) = 0;
    virtual void AddHeader(std::string_view text) = 0;
    virtual void AddRange(std::uint32_t offset, std::uint32_t length) = 0;
    virtual void AddContentLength(std::uint32_t length) = 0;
    virtual void BeginMultipart(const char* boundary) = 0;
    virtual void AppendBody(const void* data, std::size_t length) = 0;
    virtual void TakeBody(CBuffer& body) = 0;
    virtual bool AddFormPart(std::string_view name, const char* fileName,
                             std::string_view contentType) = 0;
    virtual bool EndMultipart() = 0;
};

class CRequestHttx : public IRequestHttx {
public:
    CRequestHttx() = default;
    // A copy for a new exchange: the settings and the redirect count, none
    // of the previous exchange's results.
    CRequestHttx(const CRequestHttx& other);
    CRequestHttx& operator=(const CRequestHttx&) = delete;
    ~CRequestHttx() override;

    std::uint32_t GetContextId() const override { return contextId_; }
    std::uint32_t GetRequestId() const override { return requestId_; }
    CUrlComponents& GetUrl() override { return url_; }
    CUrlComponents& GetFirstUrl() override { return firstUrl_; }
    std::uint32_t GetMethod() const override { return method_; }
    std::uint32_t GetTimeout() const override { return timeout_; }
    std::uint32_t GetOpenFlags() const override { return openFlags_; }
    std::uint32_t GetSecurityFlags() const override { return securityFlags_; }
    std::uint32_t GetPassSize() const override { return passSize_; }
    std::size_t GetBodySize() const override { return bodyUsed_; }
    const CBuffer& GetHeaders() const override { return headers_; }
    const CBuffer& GetBody() const override { return body_; }
    const CBuffer& GetLocation() const override { return location_; }
    const CBuffer& GetSentHeaders() const override { return sentHeaders_; }
    const CBuffer& GetResponseHeaders() const override { return responseHeaders_; }
    // While reads go on, only the first GetBodySize bytes are data.
    const CBuffer& GetResponseBody() const override { return responseBody_; }
    const std::string& GetExtraHeader() const override { return extraHeader_; }
    std::uint32_t GetErrorKind() const override { return errorKind_; }
    std::uint32_t GetStatusCode() const override { return statusCode_; }
    std::uint32_t GetErrorCode() const override { return errorCode_; }
    bool IsRedirect() const override { return statusCode_ >= 300 && statusCode_ <= 399; }
    std::uint32_t GetRedirectCount() const override { return redirectCount_; }
    std::uint32_t GetReadBlock() const override { return readBlock_; }
    bool IsAdaptive() const override { return adaptive_; }
    std::uint32_t GetTag() const override { return tag_; }
    void SetIds(std::uint32_t contextId, std::uint32_t requestId) override;
    bool SetFirstUrl(std::string_view url) override;
    bool SetUrl(std::string_view url) override;
    bool Init(std::uint32_t contextId, std::uint32_t requestId, std::string_view url,
              bool mergeArgs, std::uint32_t method, std::uint32_t timeout, std::uint32_t openFlags,
              std::uint32_t securityFlags, std::uint32_t readBlock, bool wantSentHeaders,
              bool wantResponseHeaders, std::string_view logMaskPattern,
              const char* logMaskReplacement) override;
    void SetArgs(std::string_view query) override;
    void SetTag(std::uint32_t tag) override { tag_ = tag; }
    void SetExtraHeader(std::string_view text) override;
    void AddHeader(std::string_view text) override;
    void AddRange(std::uint32_t offset, std::uint32_t length) override;
    void AddContentLength(std::uint32_t length) override;
    void BeginMultipart(const char* boundary) override;
    void AppendBody(const void* data, std::size_t length) override;
    void TakeBody(CBuffer& body) override;
    bool AddFormPart(std::string_view name, const char* fileName,
                     std::string_view contentType) override;
    bool EndMultipart() override;

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
    bool MakeRoom(std::uint32_t room);
    void Fail(std::uint32_t code);

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
};

} // namespace NetEx
