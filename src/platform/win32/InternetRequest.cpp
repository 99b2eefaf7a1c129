#include "platform/win32/InternetRequest.h"

#include "platform/win32/WinApi.h"

#include <algorithm>
#include <charconv>
#include <cstring>
#include <limits>

namespace plat::win {

namespace {

// One WinINet read at most; the owner's reads are served from the buffer.
constexpr DWORD kChunk = 64 << 10;
// One read of an encoded body: what it decodes to stays bounded.
constexpr DWORD kEncodedChunk = 16 << 10;
// The body kept for the owner before the transfer is held back.
constexpr std::size_t kHighWater = std::size_t{1} << 20;
// A head larger than this is not an answer this layer takes.
constexpr DWORD kLongestHead = 256 << 10;

// The open flags handed on to WinINet; the certificate ones become
// security flags instead, and redirects are never followed.
constexpr DWORD kPassedFlags = INTERNET_FLAG_SECURE | INTERNET_FLAG_KEEP_CONNECTION |
                               INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_CACHE_WRITE |
                               INTERNET_FLAG_RELOAD;
constexpr DWORD kWaivers = SECURITY_FLAG_IGNORE_REVOCATION | SECURITY_FLAG_IGNORE_UNKNOWN_CA |
                           SECURITY_FLAG_IGNORE_WRONG_USAGE | SECURITY_FLAG_IGNORE_CERT_CN_INVALID |
                           SECURITY_FLAG_IGNORE_CERT_DATE_INVALID;

// WinINet passes some socket failures on as Winsock numbers; the layer
// reports WinINet's own for them.
ErrorCode WinInetError(ErrorCode error) {
    switch (error) {
    case 0:
        return kErrInternetInternalError;
    case WSAETIMEDOUT:
        return kErrInternetTimeout;
    case WSAECONNRESET:
        return kErrInternetConnectionReset;
    case WSAECONNABORTED:
        return kErrInternetConnectionAborted;
    case WSAECONNREFUSED:
    case WSAEHOSTUNREACH:
    case WSAENETUNREACH:
        return kErrInternetCannotConnect;
    default:
        return error;
    }
}

// WinINet's own transfer time-outs stay well behind the layer's, which end
// a silent transfer first and with the layer's number.
DWORD Behind(std::uint32_t timeoutMs) {
    std::uint64_t later = std::uint64_t{timeoutMs} * 2 + 5000;
    return static_cast<DWORD>(std::min<std::uint64_t>(later, 0x7FFFFFFF));
}

std::string Result(std::uint32_t result, ErrorCode error) {
    InternetAsyncResult info{result, error};
    return std::string(reinterpret_cast<const char*>(&info), sizeof info);
}

bool FailWithCode(ErrorCode code) {
    SetLastError(code);
    return false;
}

void SetNumber(::HINTERNET handle, DWORD option, DWORD value) {
    ::InternetSetOptionW(handle, option, &value, sizeof value);
}

// A head WinINet keeps, as text; empty when there is none.
std::string HeadText(::HINTERNET request, DWORD level) {
    DWORD size = 0;
    if (::HttpQueryInfoW(request, level, nullptr, &size, nullptr) ||
        ::GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0 || size > kLongestHead)
        return {};
    std::wstring text(size / sizeof(wchar_t) + 1, L'\0');
    if (!::HttpQueryInfoW(request, level, text.data(), &size, nullptr))
        return {};
    text.resize(size / sizeof(wchar_t));
    return WideToUtf8(text);
}

} // namespace

InternetRequest::InternetRequest(HINTERNET handle, HINTERNET connection, std::uintptr_t context,
                                 std::string verb, std::string object, std::string acceptTypes,
                                 std::uint32_t flags)
    : handle_(handle), connection_(connection), context_(context), verb_(std::move(verb)),
      object_(std::move(object)), acceptTypes_(std::move(acceptTypes)), flags_(flags) {}

InternetRequest::~InternetRequest() {
    CloseWinInet();
}

void InternetRequest::CloseWinInet() {
    if (request_ == nullptr)
        return;
    // From here on the slot belongs to WinINet's callback, which frees it
    // with the handle's last notice, after any read still running has ended.
    ::HINTERNET request = request_;
    request_ = nullptr;
    slot_ = nullptr;
    op_ = Op::None;
    ::InternetCloseHandle(request);
}

bool InternetRequest::Busy() const {
    return sendPending_ || !over_ || Buffered() > 0;
}

bool InternetRequest::Start(const SendSetup& setup, std::string_view headers,
                            std::string_view body) {
    CloseWinInet();
    ++generation_;
    head_.Clear();
    body_.clear();
    bodyRead_ = 0;
    failure_ = kErrSuccess;
    over_ = false;
    sent_ = false;
    wireSent_ = false;
    paused_ = false;
    lengthKnown_ = false;
    expectedLength_ = 0;
    received_ = 0;
    samples_.clear();
    closedNoticeSent_ = false;
    closeNoticePending_ = false;
    waiting_ = Waiting::Nothing;
    connectTimeoutMs_ = setup.connectTimeoutMs;
    receiveTimeoutMs_ = setup.receiveTimeoutMs;
    floorBytesPerSecond_ = setup.slowFloorBytesPerSecond;
    floorWindowMs_ = setup.slowWindowMs;
    decoded_ = false;

    auto slot = std::make_unique<InternetSlot>();
    slot->inbox = setup.inbox;
    slot->request = handle_;
    slot->generation = generation_;
    slot->upload.assign(body);
    slot->chunk = std::make_unique<char[]>(kChunk);
    slot->chunkSize = kChunk;

    std::wstring verb = Utf8ToWide(verb_);
    std::wstring object = Utf8ToWide(object_);
    std::wstring accept = Utf8ToWide(acceptTypes_);
    LPCWSTR acceptList[2] = {accept.c_str(), nullptr};
    DWORD flags = ((flags_ | setup.extraFlags) & kPassedFlags) | INTERNET_FLAG_NO_AUTO_REDIRECT |
                  INTERNET_FLAG_NO_UI;
    ::HINTERNET request = ::HttpOpenRequestW(
        setup.connect, verb.c_str(), object.c_str(), L"HTTP/1.1", nullptr,
        accept.empty() ? nullptr : acceptList, flags, reinterpret_cast<DWORD_PTR>(slot.get()));
    if (request == nullptr) {
        ErrorCode error = ::GetLastError();
        over_ = true;
        return FailWithCode(error != 0 ? error : kErrInternetInternalError);
    }
    request_ = request;
    slot_ = slot.release();

    SetNumber(request_, INTERNET_OPTION_CONNECT_TIMEOUT, setup.connectTimeoutMs);
    SetNumber(request_, INTERNET_OPTION_SEND_TIMEOUT, Behind(setup.sendTimeoutMs));
    SetNumber(request_, INTERNET_OPTION_RECEIVE_TIMEOUT, Behind(setup.receiveTimeoutMs));
    // The layer decodes bodies itself (see InternetDecoder).
    BOOL decode = FALSE;
    ::InternetSetOptionW(request_, INTERNET_OPTION_HTTP_DECODING, &decode, sizeof decode);
    decoded_ = setup.decode;
    decoder_.reset();
    DWORD waivers = (setup.securityFlags | (flags_ & (INTERNET_FLAG_IGNORE_CERT_CN_INVALID |
                                                      INTERNET_FLAG_IGNORE_CERT_DATE_INVALID))) &
                    kWaivers;
    if (waivers != 0) {
        DWORD current = 0;
        DWORD size = sizeof current;
        ::InternetQueryOptionW(request_, INTERNET_OPTION_SECURITY_FLAGS, &current, &size);
        SetNumber(request_, INTERNET_OPTION_SECURITY_FLAGS, current | waivers);
    }

    std::wstring extra = Utf8ToWide(headers);
    sendPending_ = true;
    op_ = Op::Send;
    lastProgress_ = Clock::now();
    InternetSlot* sending = slot_;
    BOOL done = ::HttpSendRequestW(request_, extra.empty() ? nullptr : extra.c_str(),
                                   static_cast<DWORD>(extra.size()),
                                   sending->upload.empty() ? nullptr : sending->upload.data(),
                                   static_cast<DWORD>(sending->upload.size()));
    if (!done) {
        ErrorCode error = ::GetLastError();
        if (error != ERROR_IO_PENDING)
            sending->inbox->Push({handle_, generation_, INTERNET_STATUS_REQUEST_COMPLETE, 0,
                                  error != 0 ? error : kErrInternetInternalError});
    } else {
        // Finished inside the call; the owner still hears of it from its pump.
        sending->inbox->Push({handle_, generation_, INTERNET_STATUS_REQUEST_COMPLETE, 1, 0});
    }
    return true;
}

void InternetRequest::FailAtOnce(ErrorCode error) {
    CloseWinInet();
    ++generation_;
    head_.Clear();
    body_.clear();
    bodyRead_ = 0;
    sent_ = false;
    over_ = false;
    sendPending_ = true;
    Fail(error);
}

void InternetRequest::OnEvent(const InternetEvent& event, Clock::time_point now) {
    if (event.generation != generation_ || request_ == nullptr)
        return;
    switch (event.status) {
    case INTERNET_STATUS_REQUEST_SENT:
        if (!wireSent_) {
            wireSent_ = true;
            RestartFloor(now);
        }
        Progress(now);
        return;
    case INTERNET_STATUS_RESPONSE_RECEIVED:
    case INTERNET_STATUS_CONNECTED_TO_SERVER:
        Progress(now);
        return;
    case INTERNET_STATUS_REQUEST_COMPLETE:
        break;
    default:
        return;
    }
    Progress(now);
    Op op = op_;
    op_ = Op::None;
    switch (op) {
    case Op::Send:
        OnSendDone(event.result != 0 && event.error == 0, event.error);
        break;
    // A successful query or read leaves its count where the call pointed
    // (in the slot); WinINet versions differ in what else the completion
    // carries, so only a zero result counts as a failure.
    case Op::Query:
        if (event.result != 0)
            OnQueryDone(slot_->available, kErrSuccess);
        else
            OnQueryDone(0, event.error);
        break;
    case Op::Read:
        OnReadDone(event.result != 0, event.result != 0 ? slot_->chunkRead : 0, event.error);
        break;
    case Op::None:
        break;
    }
}

void InternetRequest::OnSendDone(bool ok, ErrorCode error) {
    if (!ok) {
        Fail(error != 0 ? error : kErrInternetInternalError);
        return;
    }
    TakeHead();
    // An answer without a status line is taken by WinINet for one of HTTP
    // 0.9: it makes up "HTTP/1.0 200 OK" without fields and notes the
    // request as HTTP/1.0. The layer sends HTTP/1.1 only; such a peer does
    // not speak HTTP.
    std::string line = head_.RequestLine();
    bool madeUp = head_.Known() && head_.FieldCount() == 0 && !line.empty() && line.size() >= 8 &&
                  line.compare(line.size() - 8, 8, "HTTP/1.1") != 0;
    if (!head_.Known() || madeUp) {
        Fail(kErrHttpInvalidServerResponse);
        return;
    }
    if (!wireSent_) {
        wireSent_ = true;
        RestartFloor(Clock::now());
    }
    sent_ = true;
    sendPending_ = false;
    Notify(INTERNET_STATUS_REQUEST_COMPLETE, Result(1, kErrSuccess));
    Pull();
}

void InternetRequest::TakeHead() {
    head_.SetRequestHead(
        HeadText(request_, HTTP_QUERY_RAW_HEADERS_CRLF | HTTP_QUERY_FLAG_REQUEST_HEADERS));
    head_.Parse(HeadText(request_, HTTP_QUERY_RAW_HEADERS_CRLF));
    std::string length;
    std::uint32_t status = head_.Status();
    bool bodiless = verb_ == "HEAD" || status == 204 || status == 304 || status < 200;
    if (!bodiless && head_.Field("Content-Length", &length)) {
        const char* end = length.data() + length.size();
        auto [stop, problem] = std::from_chars(length.data(), end, expectedLength_);
        lengthKnown_ = problem == std::errc() && stop == end;
    }
    std::string encoding;
    if (decoded_ && !bodiless && head_.Field("Content-Encoding", &encoding))
        decoder_ = InternetDecoder::For(encoding);
}

void InternetRequest::Pull() {
    while (request_ != nullptr && !over_ && op_ == Op::None && sent_) {
        if (Buffered() >= kHighWater) {
            if (!paused_) {
                paused_ = true;
                samples_.clear();
            }
            return;
        }
        if (paused_) {
            paused_ = false;
            RestartFloor(Clock::now());
            Progress(Clock::now());
        }
        op_ = Op::Query;
        slot_->available = 0;
        if (!::InternetQueryDataAvailable(request_, &slot_->available, 0, 0)) {
            ErrorCode error = ::GetLastError();
            if (error == ERROR_IO_PENDING)
                return;
            op_ = Op::None;
            Fail(error != 0 ? error : kErrInternetInternalError);
            return;
        }
        op_ = Op::None;
        if (slot_->available == 0) {
            EndBody();
            return;
        }
        if (!ReadSome(slot_->available))
            return;
    }
}

bool InternetRequest::ReadSome(DWORD available) {
    op_ = Op::Read;
    slot_->chunkRead = 0;
    DWORD size = std::min(available, decoder_ ? kEncodedChunk : slot_->chunkSize);
    if (!::InternetReadFile(request_, slot_->chunk.get(), size, &slot_->chunkRead)) {
        ErrorCode error = ::GetLastError();
        if (error == ERROR_IO_PENDING)
            return false;
        op_ = Op::None;
        Fail(error != 0 ? error : kErrInternetInternalError);
        return false;
    }
    op_ = Op::None;
    if (slot_->chunkRead == 0) {
        EndBody();
        return false;
    }
    Absorb(slot_->chunkRead);
    return true;
}

void InternetRequest::Absorb(DWORD size) {
    received_ += size;
    if (!decoder_) {
        body_.append(slot_->chunk.get(), size);
    } else if (!decoder_->Add(std::string_view(slot_->chunk.get(), size), &body_)) {
        Fail(kErrInternetDecodingFailed);
        return;
    }
    Progress(Clock::now());
    Serve();
}

void InternetRequest::OnQueryDone(DWORD available, ErrorCode error) {
    if (error != 0) {
        Fail(error);
        return;
    }
    if (available == 0) {
        EndBody();
        return;
    }
    if (ReadSome(available))
        Pull();
}

void InternetRequest::OnReadDone(bool ok, DWORD read, ErrorCode error) {
    if (!ok) {
        Fail(error != 0 ? error : kErrInternetInternalError);
        return;
    }
    if (read == 0) {
        EndBody();
        return;
    }
    Absorb(read);
    Pull();
}

void InternetRequest::EndBody() {
    if (lengthKnown_ && received_ < expectedLength_) {
        // WinINet ends a body whose connection closed early as if it were
        // whole; the length the head gave says otherwise.
        Fail(kErrInternetConnectionAborted);
        return;
    }
    if (decoder_ && !decoder_->Finished()) {
        Fail(kErrInternetDecodingFailed);
        return;
    }
    over_ = true;
    CloseWinInet();
    Serve();
}

void InternetRequest::Fail(ErrorCode error) {
    if (over_ && !sendPending_)
        return;
    error = WinInetError(error);
    failure_ = error;
    over_ = true;
    CloseWinInet();
    if ((error == kErrInternetConnectionAborted || error == kErrInternetConnectionReset) &&
        !closedNoticeSent_) {
        closedNoticeSent_ = true;
        closeNoticePending_ = true;
        // The connection's end is told before anything else still waiting
        // to be told about this exchange.
        notices_.push_front(
            InternetNotice{handle_, context_, INTERNET_STATUS_CONNECTION_CLOSED, {}});
    }
    if (sendPending_) {
        sendPending_ = false;
        Notify(INTERNET_STATUS_REQUEST_COMPLETE, Result(0, error));
        return;
    }
    Serve();
}

void InternetRequest::RestartFloor(Clock::time_point now) {
    samples_.clear();
    samples_.push_back({now, received_});
}

void InternetRequest::CheckTimers(Clock::time_point now) {
    if (over_ || request_ == nullptr || paused_)
        return;
    if (op_ != Op::None) {
        std::uint64_t limit =
            wireSent_ ? receiveTimeoutMs_ : std::uint64_t{connectTimeoutMs_} + receiveTimeoutMs_;
        if (limit > 0 && now - lastProgress_ >= std::chrono::milliseconds(limit)) {
            Fail(kErrInternetTimeout);
            return;
        }
    }
    if (floorBytesPerSecond_ == 0 || floorWindowMs_ == 0 || !wireSent_ || samples_.empty())
        return;
    auto window = std::chrono::milliseconds(floorWindowMs_);
    if (now - samples_.back().time >= window / 4)
        samples_.push_back({now, received_});
    while (samples_.size() > 1 && now - samples_[1].time >= window)
        samples_.pop_front();
    if (now - samples_.front().time < window)
        return;
    std::uint64_t got = received_ - samples_.front().received;
    auto span = std::chrono::duration_cast<std::chrono::milliseconds>(now - samples_.front().time);
    if (got * 1000 < std::uint64_t{floorBytesPerSecond_} * static_cast<std::uint64_t>(span.count()))
        Fail(kErrInternetTimeout);
}

bool InternetRequest::NextCheck(Clock::time_point* due) const {
    if (over_ || request_ == nullptr || paused_)
        return false;
    bool any = false;
    if (op_ != Op::None) {
        std::uint64_t limit =
            wireSent_ ? receiveTimeoutMs_ : std::uint64_t{connectTimeoutMs_} + receiveTimeoutMs_;
        if (limit > 0) {
            *due = lastProgress_ + std::chrono::milliseconds(limit);
            any = true;
        }
    }
    if (floorBytesPerSecond_ != 0 && floorWindowMs_ != 0 && wireSent_ && !samples_.empty()) {
        Clock::time_point next =
            samples_.back().time + std::chrono::milliseconds(std::max(floorWindowMs_ / 4, 1u));
        if (!any || next < *due)
            *due = next;
        any = true;
    }
    return any;
}

std::uint32_t InternetRequest::Take(void* buffer, std::uint32_t size) {
    std::size_t count = std::min<std::size_t>(size, Buffered());
    if (count > 0)
        std::memcpy(buffer, body_.data() + bodyRead_, count);
    bodyRead_ += count;
    if (bodyRead_ == body_.size()) {
        body_.clear();
        bodyRead_ = 0;
    } else if (bodyRead_ >= kHighWater) {
        body_.erase(0, bodyRead_);
        bodyRead_ = 0;
    }
    return static_cast<std::uint32_t>(count);
}

bool InternetRequest::QueryAvailable(std::uint32_t* available) {
    if ((!sent_ && failure_ == kErrSuccess) || waiting_ != Waiting::Nothing)
        return FailWithCode(kErrInternetIncorrectHandleState);
    Pull();
    if (Buffered() > 0) {
        *available = static_cast<std::uint32_t>(
            std::min<std::size_t>(Buffered(), std::numeric_limits<std::uint32_t>::max()));
        return true;
    }
    if (over_ && !(failure_ != kErrSuccess && closeNoticePending_)) {
        if (failure_ != kErrSuccess)
            return FailWithCode(failure_);
        *available = 0;
        return true;
    }
    // A failure that just happened is told through the notices, after the
    // ones it produced (the connection closed).
    waiting_ = Waiting::Available;
    Serve();
    return FailWithCode(kErrIoPending);
}

bool InternetRequest::Read(void* buffer, std::uint32_t size, std::uint32_t* read) {
    if (read == nullptr || (buffer == nullptr && size > 0))
        return FailWithCode(kErrInvalidParameter);
    if ((!sent_ && failure_ == kErrSuccess) || waiting_ != Waiting::Nothing)
        return FailWithCode(kErrInternetIncorrectHandleState);
    Pull();
    if (Buffered() > 0 || size == 0) {
        *read = Take(buffer, size);
        Pull();
        return true;
    }
    if (over_ && !(failure_ != kErrSuccess && closeNoticePending_)) {
        if (failure_ != kErrSuccess)
            return FailWithCode(failure_);
        *read = 0;
        return true;
    }
    waiting_ = Waiting::Read;
    readBuffer_ = buffer;
    readSize_ = size;
    readFilled_ = 0;
    readDone_ = read;
    Serve();
    return FailWithCode(kErrIoPending);
}

void InternetRequest::Serve() {
    if (waiting_ == Waiting::Available) {
        if (Buffered() > 0)
            Complete(static_cast<std::uint32_t>(std::min<std::size_t>(
                         Buffered(), std::numeric_limits<std::uint32_t>::max())),
                     kErrSuccess);
        else if (over_)
            Complete(0, failure_);
    } else if (waiting_ == Waiting::Read) {
        readFilled_ += Take(static_cast<char*>(readBuffer_) + readFilled_, readSize_ - readFilled_);
        if (readFilled_ == readSize_ || over_) {
            *readDone_ = readFilled_;
            if (readFilled_ == 0 && failure_ != kErrSuccess)
                Complete(0, failure_);
            else
                Complete(1, kErrSuccess);
        }
    }
}

void InternetRequest::Complete(std::uint32_t result, ErrorCode error) {
    waiting_ = Waiting::Nothing;
    readBuffer_ = nullptr;
    readDone_ = nullptr;
    Notify(INTERNET_STATUS_REQUEST_COMPLETE, Result(result, error));
}

void InternetRequest::Notify(std::uint32_t status, std::string info) {
    notices_.push_back(InternetNotice{handle_, context_, status, std::move(info)});
}

void InternetRequest::TakeNotices(std::deque<InternetNotice>* notices) {
    while (!notices_.empty()) {
        notices->push_back(std::move(notices_.front()));
        notices_.pop_front();
    }
}

} // namespace plat::win
