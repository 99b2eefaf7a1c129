// The request's part of an exchange on the wire: open, send, block-wise
// reads straight into the response body, and the response information.
// Transport thread only; the context decides what follows each step.

#include "net/ContextHttx.h"
#include "net/HttpLogRecord.h"
#include "net/RequestHttx.h"
#include "platform/Error.h"
#include "platform/Time.h"

#include <iterator>
#include <limits>

namespace NetEx {

namespace {

// Time-out options set on every request handle, in this order.
constexpr std::uint32_t kTimeoutOptions[] = {
    plat::INTERNET_OPTION_CONNECT_TIMEOUT,   plat::INTERNET_OPTION_RECEIVE_TIMEOUT,
    plat::INTERNET_OPTION_SEND_TIMEOUT,      plat::INTERNET_OPTION_DATA_RECEIVE_TIMEOUT,
    plat::INTERNET_OPTION_DATA_SEND_TIMEOUT, plat::INTERNET_OPTION_RECEIVE_TIMEOUT,
    plat::INTERNET_OPTION_SEND_TIMEOUT,      plat::INTERNET_OPTION_DISCONNECTED_TIMEOUT,
    plat::INTERNET_OPTION_LISTEN_TIMEOUT,
};

// An available count no data query can give: the mark of an unset value.
constexpr std::uint32_t kImpossibleAvailable = 0xCCCCCCCCu;

// Response texts end with two zero bytes that count in their size.
void StoreText(CBuffer* buffer, const std::string& text) {
    buffer->Clear();
    buffer->Append(text);
    buffer->Append("\0\0", 2);
}

} // namespace

void CRequestHttx::Attach(CContextHttx* context) {
    context_ = context;
    if (readBlock_ != 0 && readBlock_ > context->GetBgs())
        readBlock_ = context->GetBgs();
    url_.Merge(context->GetUrl(), mergeArgs_);
}

const char* CRequestHttx::StateName(std::uint32_t state) {
    static constexpr const char* kNames[] = {"created", "opened", "sent", "receiving", "finished"};
    return state < std::size(kNames) ? kNames[state] : "unknown";
}

void CRequestHttx::SetState(RequestState state) {
    if (state == state_)
        return;
    if (context_ && context_->DebugRecords()) {
        CHttpLogRecord record(context_->Log(), "Request state");
        record.Number("Id:   ", requestId_);
        record.Line("State: ", std::string(StateName(state_)) + " -> " + StateName(state));
    }
    state_ = state;
}

void CRequestHttx::Fail(std::uint32_t code) {
    errorCode_ = code;
    errorKind_ = kErrorKindFailed;
}

void CRequestHttx::SetFailure(std::uint32_t code) {
    Fail(code);
}

bool CRequestHttx::TakeResend() {
    if (resends_ >= CContextHttx::kMaxInvalidCaResends)
        return false;
    ++resends_;
    return true;
}

void CRequestHttx::CloseHandle() {
    if (handle_ != 0)
        plat::CloseInternetHandle(handle_);
    handle_ = 0;
}

bool CRequestHttx::Open() {
    if (state_ != kCreated)
        return false;
    std::uint32_t flags = openFlags_;
    // The request keeps its flags as they were given; the certificate
    // checks they waive are waived only where the transport allows it.
    if (!context_->CertificateWaiversAllowed())
        flags &= ~static_cast<std::uint32_t>(plat::INTERNET_FLAG_IGNORE_CERT_CN_INVALID |
                                             plat::INTERNET_FLAG_IGNORE_CERT_DATE_INVALID);
    if (context_->GetUrl().Scheme() == plat::INTERNET_SCHEME_HTTPS)
        flags |= plat::INTERNET_FLAG_SECURE;
    else
        flags &= ~static_cast<std::uint32_t>(plat::INTERNET_FLAG_SECURE);
    handle_ = plat::OpenRequest(context_->Connection(), VerbOf(method_), url_.GetObjectText(),
                                "*/*", flags, reinterpret_cast<std::uintptr_t>(context_));
    errorCode_ = plat::GetLastError();
    if (handle_ == 0) {
        Fail(errorCode_);
        return false;
    }
    SetState(kOpened);
    return true;
}

bool CRequestHttx::Send() {
    if (state_ != kOpened && state_ != kSent)
        return false;
    std::uint32_t timeout = timeout_ != 0 ? timeout_ : context_->GetTimeout();
    for (std::uint32_t option : kTimeoutOptions)
        plat::SetInternetOption(handle_, option, timeout);
    if (securityFlags_ != 0 && context_->CertificateWaiversAllowed()) {
        std::uint32_t flags = 0;
        plat::QueryInternetOption(handle_, plat::INTERNET_OPTION_SECURITY_FLAGS, &flags);
        plat::SetInternetOption(handle_, plat::INTERNET_OPTION_SECURITY_FLAGS,
                                flags | securityFlags_);
    }
    std::string headers(headers_.View());
    headers += extraHeader_;
    if (plat::SendRequest(handle_, headers, body_.View())) {
        errorCode_ = 0;
        SetState(kSent);
        return true;
    }
    errorCode_ = plat::GetLastError();
    if (errorCode_ == plat::kErrIoPending) {
        SetState(kSent);
        return true;
    }
    Fail(errorCode_);
    return false;
}

bool CRequestHttx::MakeRoom(std::uint32_t room) {
    room = std::max<std::uint32_t>(room, 1);
    // The sink takes every read, so the buffer holds one read at a time;
    // otherwise one byte past the limit is room enough to see that a body is
    // too long, and nothing beyond it is ever allocated.
    const std::uint64_t most =
        streaming_ ? std::uint64_t{bodyUsed_} + room
                   : std::uint64_t{bodyLimit_ != 0 ? bodyLimit_
                                                   : std::numeric_limits<std::uint32_t>::max()} +
                         1;
    if (bodyUsed_ >= most)
        return false;
    const auto needed = static_cast<std::size_t>(std::min<std::uint64_t>(bodyUsed_ + room, most));
    if (responseBody_.Capacity() < needed) {
        // When the server said how long the body is, room for all of it (and
        // one more read) is made at once, within the bound: growing step by
        // step would hold the old and the new copy at every step. Otherwise
        // growth follows the bytes that arrive, by half again each time.
        std::uint64_t target = responseBody_.Capacity() + responseBody_.Capacity() / 2;
        std::uint32_t length = 0;
        if (!streaming_ &&
            plat::QueryResponseNumber(handle_, plat::HTTP_QUERY_CONTENT_LENGTH, &length) &&
            length > bodyUsed_)
            target = std::uint64_t{length} +
                     std::max<std::uint64_t>(room, context_ ? context_->GetBgs() : 0);
        target = std::min(std::max<std::uint64_t>(target, needed), most);
        if (!responseBody_.TryReserve(static_cast<std::size_t>(target)) &&
            !responseBody_.TryReserve(needed))
            return false;
        const std::size_t reserved = std::min<std::size_t>(length, responseBody_.Capacity());
        if (reserved > bodyUsed_)
            plat::PrepareBodyBuffer(responseBody_.Data() + bodyUsed_, reserved - bodyUsed_);
    }
    // Reads write the new room before anyone looks at it.
    return responseBody_.Size() >= needed || responseBody_.TryResizeForWrite(needed);
}

void CRequestHttx::Finish() {
    read_ = ReadDescriptor{};
    QueryResponse();
    SetState(kFinished);
}

bool CRequestHttx::TakeHead() {
    headTaken_ = true;
    std::uint32_t status = 0;
    plat::QueryResponseNumber(handle_, plat::HTTP_QUERY_STATUS_CODE | plat::HTTP_QUERY_FLAG_NUMBER,
                              &status);
    std::uint32_t length = 0;
    const bool lengthKnown =
        plat::QueryResponseNumber(handle_, plat::HTTP_QUERY_CONTENT_LENGTH, &length);
    const bool success = status >= 200 && status <= 299;
    std::uint64_t start = 0;
    if (success && hasRange_) {
        std::string contentRange;
        plat::QueryResponseInfo(handle_, plat::HTTP_QUERY_CONTENT_RANGE, &contentRange);
        RangeAnswer answer =
            JudgeRangeAnswer(status, contentRange, range_, sink_ ? sink_->FileSize() : 0);
        if (answer.verdict == RangeVerdict::Unexpected ||
            (answer.limit != 0 && lengthKnown && length > answer.limit)) {
            unexpected_ = true;
            Finish();
            return false;
        }
        restarted_ = answer.verdict == RangeVerdict::Restart;
        answerLimit_ = answer.limit;
        start = answer.start;
    }
    if (success && sink_) {
        std::uint32_t error = 0;
        if (!sink_->BeginBody(start, &error)) {
            if (error == 0)
                unexpected_ = true;
            else
                Fail(error);
            Finish();
            return false;
        }
        bodyBegun_ = true;
        streaming_ = true;
        return true;
    }
    // A body kept in memory that the server says is longer than the limit
    // is refused before any of it is kept.
    if (lengthKnown && bodyLimit_ != 0 && length > bodyLimit_) {
        Fail(plat::kErrInsufficientBuffer);
        Finish();
        return false;
    }
    return true;
}

bool CRequestHttx::TakeBytes() {
    if (!streaming_) {
        if (bodyLimit_ == 0 || bodyUsed_ <= bodyLimit_)
            return true;
        Fail(plat::kErrInsufficientBuffer);
        Finish();
        return false;
    }
    if (bodyUsed_ == 0)
        return true;
    std::uint64_t take = bodyUsed_;
    const bool over = answerLimit_ != 0 && sunk_ + take > answerLimit_;
    if (over)
        take = answerLimit_ - sunk_;
    std::uint32_t error = 0;
    if (take != 0 &&
        !sink_->WriteBody(responseBody_.Data(), static_cast<std::size_t>(take), &error)) {
        Fail(error != 0 ? error : plat::kErrInvalidFunction);
        Finish();
        return false;
    }
    sunk_ += take;
    bodyUsed_ = 0;
    if (over) {
        // More than the range holds: what belongs to it is kept, the rest is
        // no answer to this request.
        unexpected_ = true;
        Finish();
        return false;
    }
    return true;
}

void CRequestHttx::Commit() {
    if (read_.buffer != nullptr) {
        bodyUsed_ += read_.length;
        passSize_ += read_.length;
        read_ = ReadDescriptor{};
    }
    if (adaptive_ && passSize_ != 0 && readStartMs_ != 0) {
        std::int64_t elapsed = plat::GetUtcMs() - readStartMs_;
        readBlock_ = NextAdaptiveBlock(
            passSize_, elapsed > 0 ? static_cast<std::uint64_t>(elapsed) : 0, context_->GetBgs());
    }
}

bool CRequestHttx::ReadOnAfter() const {
    return readBlock_ != 0 && read_.buffer != nullptr && read_.length != 0;
}

void CRequestHttx::Read() {
    if (state_ == kSent)
        SetState(kReceiving);
    if (state_ != kReceiving) {
        Fail(plat::kErrInvalidHandle);
        return;
    }
    errorCode_ = 0;
    passSize_ = 0;
    if (!headTaken_ && !TakeHead())
        return;
    // With a read block the room is known without asking what is there, so
    // a read that brought bytes is followed by another read: when nothing
    // more has come, that one waits, and the next bytes land in the body
    // directly instead of waiting in the HTTP layer to be copied.
    bool readOn = ReadOnAfter();
    Commit();
    const bool taken = TakeBytes();
    while (taken) {
        if (!readOn) {
            available_ = 0;
            if (!plat::QueryDataAvailable(handle_, &available_)) {
                errorCode_ = plat::GetLastError();
                if (errorCode_ != plat::kErrIoPending)
                    errorKind_ = kErrorKindFailed;
                break;
            }
            if (available_ == kImpossibleAvailable) {
                Fail(plat::kErrNotEnoughMemory);
                break;
            }
            if (available_ == 0) {
                QueryResponse();
                SetState(kFinished);
                if (IsRedirect())
                    ++redirectCount_;
                break;
            }
        }
        if (!MakeRoom(readOn ? readBlock_ : std::max(available_, readBlock_))) {
            Fail(plat::kErrInsufficientBuffer);
            Finish();
            break;
        }
        if (adaptive_)
            readStartMs_ = plat::GetUtcMs();
        const auto room = static_cast<std::uint32_t>(responseBody_.Size() - bodyUsed_);
        std::uint32_t length = readBlock_ != 0 ? std::min(readBlock_, room) : room;
        if (streaming_)
            length = std::min(length, kStreamSlice);
        read_.buffer = responseBody_.Data() + bodyUsed_;
        read_.length = 0;
        if (plat::ReadResponse(handle_, read_.buffer, length, &read_.length)) {
            // An empty read is the body's end: the next query says so.
            readOn = ReadOnAfter();
            Commit();
            if (!TakeBytes())
                break;
            continue;
        }
        errorCode_ = plat::GetLastError();
        if (errorCode_ != plat::kErrIoPending) {
            read_ = ReadDescriptor{};
            errorKind_ = kErrorKindFailed;
        }
        break;
    }
    if (connectionClosed_ && state_ == kReceiving && errorCode_ == plat::kErrIoPending) {
        read_ = ReadDescriptor{};
        Fail(plat::kErrInternetConnectionReset);
        SetState(kFinished);
    }
    if (state_ != kReceiving || errorCode_ != plat::kErrIoPending)
        responseBody_.Resize(bodyUsed_);
}

void CRequestHttx::QueryResponse() {
    plat::QueryResponseNumber(handle_, plat::HTTP_QUERY_STATUS_CODE | plat::HTTP_QUERY_FLAG_NUMBER,
                              &statusCode_);
    std::string text;
    if (IsRedirect()) {
        location_.Clear();
        if (plat::QueryResponseInfo(handle_, plat::HTTP_QUERY_LOCATION, &text))
            location_.Append(text);
    }
    if (wantSentHeaders_ && plat::QueryResponseInfo(handle_,
                                                    plat::HTTP_QUERY_RAW_HEADERS_CRLF |
                                                        plat::HTTP_QUERY_FLAG_REQUEST_HEADERS,
                                                    &text))
        StoreText(&sentHeaders_, text);
    if (wantResponseHeaders_ &&
        plat::QueryResponseInfo(handle_, plat::HTTP_QUERY_RAW_HEADERS_CRLF, &text))
        StoreText(&responseHeaders_, text);
}

} // namespace NetEx
