#include "platform/posix/InternetRequest.h"

#include "platform/TextCase.h"
#include "platform/posix/InternetErrors.h"
#include "platform/posix/InternetTls.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <limits>
#include <new>

namespace plat::posix {

namespace {

// Body bytes kept for the reader, while no read waits for them, before
// libcurl is asked to hold back. A waiting read takes the bytes straight
// into its own buffer, so this only bridges the time between two reads.
constexpr std::size_t kHighWater = 256 << 10;
// The most one socket read hands over: libcurl's default of 16 KiB costs a
// socket read per 16 KiB, which bounds a fast download; much more than this
// only adds to what libcurl copies aside when the reader holds it back.
constexpr long kReceiveChunk = 256L << 10;
// Below this the transfer resumes.
constexpr std::size_t kLowWater = kHighWater / 2;

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

// The header lines of a block the caller wrote ("Name: value\r\n"...).
std::vector<std::string> HeaderLines(std::string_view block) {
    std::vector<std::string> lines;
    while (!block.empty()) {
        std::size_t end = std::min(block.find('\n'), block.size());
        std::string_view line = Trim(block.substr(0, end));
        if (!line.empty())
            lines.emplace_back(line);
        block.remove_prefix(std::min(end + 1, block.size()));
    }
    return lines;
}

// The value of a caller's header, or nothing when it is not among the lines.
bool FindLine(const std::vector<std::string>& lines, std::string_view name, std::string* value) {
    for (const std::string& line : lines) {
        std::size_t colon = line.find(':');
        if (colon != std::string::npos && EqualsNoCase(Trim(line.substr(0, colon)), name)) {
            if (value != nullptr)
                *value = std::string(Trim(std::string_view(line).substr(colon + 1)));
            return true;
        }
    }
    return false;
}

bool Fail(ErrorCode code) {
    SetLastError(code);
    return false;
}

} // namespace

InternetRequest::InternetRequest(HINTERNET handle, HINTERNET connection, std::uintptr_t context,
                                 std::string verb, std::string object, std::string acceptTypes,
                                 std::uint32_t flags)
    : handle_(handle), connection_(connection), context_(context), verb_(std::move(verb)),
      object_(std::move(object)), acceptTypes_(std::move(acceptTypes)), flags_(flags) {}

InternetRequest::~InternetRequest() {
    ReleaseTransfer();
}

void InternetRequest::ReleaseTransfer() {
    if (easy_ != nullptr)
        curl_easy_cleanup(easy_);
    easy_ = nullptr;
    curl_slist_free_all(headerList_);
    headerList_ = nullptr;
}

void InternetRequest::ResetResponse() {
    sendPending_ = false;
    transferring_ = false;
    over_ = true;
    failure_ = kErrSuccess;
    connectionLost_ = false;
    closedNoticeDue_ = false;
    paused_ = false;
    uploading_ = false;
    progressSeen_ = false;
    lastDown_ = 0;
    lastUp_ = 0;
    outOfMemory_ = false;
    received_ = 0;
    samples_.clear();
    headersDone_ = false;
    version_.clear();
    status_ = 0;
    statusText_.clear();
    fields_.clear();
    rawHeaders_.clear();
    sentHeaders_.clear();
    body_.clear();
    bodyRead_ = 0;
    waiting_ = Waiting::Nothing;
    readBuffer_ = nullptr;
    readSize_ = 0;
    readFilled_ = 0;
    readDone_ = nullptr;
}

bool InternetRequest::Readable() const {
    // Before the head is in, only a failed exchange has something to say.
    return !sendPending_ && waiting_ == Waiting::Nothing &&
           (headersDone_ || (over_ && failure_ != kErrSuccess));
}

bool InternetRequest::HasNews() const {
    return closedNoticeDue_ || (sendPending_ && (headersDone_ || over_)) ||
           (waiting_ == Waiting::Available && (Buffered() > 0 || over_)) ||
           (waiting_ == Waiting::Read && (readFilled_ == readSize_ || over_));
}

bool InternetRequest::Busy() const {
    return sendPending_ || transferring_ || waiting_ != Waiting::Nothing;
}

bool InternetRequest::Prepare(const SendSetup& setup, std::string_view headers,
                              std::string_view body) {
    ReleaseTransfer();
    ResetResponse();
    easy_ = curl_easy_init();
    if (easy_ == nullptr)
        return Fail(kErrInternetOutOfHandles);
    url_ = setup.url;
    uploadBody_.assign(body);
    sendTimeoutMs_ = setup.sendTimeoutMs;
    receiveTimeoutMs_ = setup.receiveTimeoutMs;
    floorBytesPerSecond_ = setup.slowFloorBytesPerSecond;
    floorWindowMs_ = setup.slowWindowMs;
    proxy_ = setup.proxy;

    curl_easy_setopt(easy_, CURLOPT_URL, url_.c_str());
    curl_easy_setopt(easy_, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(easy_, CURLOPT_NOSIGNAL, 1L);
    // The proxy decision is made here for every request; libcurl's own look
    // at the environment (and its no_proxy) stays out of it.
    curl_easy_setopt(easy_, CURLOPT_PROXY, proxy_.c_str());
    curl_easy_setopt(easy_, CURLOPT_NOPROXY, "");
    curl_easy_setopt(easy_, CURLOPT_FOLLOWLOCATION, 0L);
    curl_easy_setopt(easy_, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(easy_, CURLOPT_PATH_AS_IS, 1L);
    curl_easy_setopt(easy_, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(setup.connectTimeoutMs));
    if (!setup.userAgent.empty())
        curl_easy_setopt(easy_, CURLOPT_USERAGENT, setup.userAgent.c_str());
    if (!setup.user.empty()) {
        curl_easy_setopt(easy_, CURLOPT_USERNAME, setup.user.c_str());
        curl_easy_setopt(easy_, CURLOPT_PASSWORD, setup.password.c_str());
    }
    curl_easy_setopt(easy_, CURLOPT_HEADERFUNCTION, &InternetRequest::OnHeader);
    curl_easy_setopt(easy_, CURLOPT_HEADERDATA, this);
    curl_easy_setopt(easy_, CURLOPT_WRITEFUNCTION, &InternetRequest::OnBody);
    curl_easy_setopt(easy_, CURLOPT_WRITEDATA, this);
    curl_easy_setopt(easy_, CURLOPT_BUFFERSIZE, kReceiveChunk);
    curl_easy_setopt(easy_, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(easy_, CURLOPT_XFERINFOFUNCTION, &InternetRequest::OnProgress);
    curl_easy_setopt(easy_, CURLOPT_XFERINFODATA, this);
    // The debug hook is how the request head comes back as it was sent.
    curl_easy_setopt(easy_, CURLOPT_VERBOSE, 1L);
    curl_easy_setopt(easy_, CURLOPT_DEBUGFUNCTION, &InternetRequest::OnDebug);
    curl_easy_setopt(easy_, CURLOPT_DEBUGDATA, this);
    ApplyCertificateChecks(easy_, setup.certificateWaivers);

    if (verb_ == "HEAD") {
        curl_easy_setopt(easy_, CURLOPT_NOBODY, 1L);
    } else if (verb_ == "GET" && uploadBody_.empty()) {
        curl_easy_setopt(easy_, CURLOPT_HTTPGET, 1L);
    } else {
        if (verb_ != "POST")
            curl_easy_setopt(easy_, CURLOPT_CUSTOMREQUEST, verb_.c_str());
        if (verb_ == "POST" || !uploadBody_.empty()) {
            curl_easy_setopt(easy_, CURLOPT_POSTFIELDS, uploadBody_.data());
            curl_easy_setopt(easy_, CURLOPT_POSTFIELDSIZE_LARGE,
                             static_cast<curl_off_t>(uploadBody_.size()));
        }
    }

    // The caller's lines go out as written; libcurl's own defaults that the
    // caller did not ask for are taken out.
    std::vector<std::string> lines = HeaderLines(headers);
    std::string acceptEncoding;
    bool wantsEncoding = FindLine(lines, "Accept-Encoding", &acceptEncoding);
    if (!FindLine(lines, "Accept", nullptr))
        lines.push_back(acceptTypes_.empty() ? "Accept:" : "Accept: " + acceptTypes_);
    if (!uploadBody_.empty() && !FindLine(lines, "Content-Type", nullptr))
        lines.emplace_back("Content-Type:");
    if (!FindLine(lines, "Expect", nullptr))
        lines.emplace_back("Expect:");
    for (const std::string& line : lines)
        headerList_ = curl_slist_append(headerList_, line.c_str());
    curl_easy_setopt(easy_, CURLOPT_HTTPHEADER, headerList_);
    // Bodies are decoded when the handle asks for it and the request offered
    // an encoding; the caller's header stays the one that is sent.
    if (setup.decode && wantsEncoding)
        curl_easy_setopt(easy_, CURLOPT_ACCEPT_ENCODING, acceptEncoding.c_str());
    else
        curl_easy_setopt(easy_, CURLOPT_HTTP_CONTENT_DECODING, 0L);

    sendPending_ = true;
    transferring_ = true;
    over_ = false;
    lastProgress_ = Clock::now();
    return true;
}

void InternetRequest::FailAtOnce(ErrorCode error) {
    ReleaseTransfer();
    ResetResponse();
    sendPending_ = true;
    failure_ = error;
}

void InternetRequest::OnTransferDone(CURLcode code) {
    transferring_ = false;
    over_ = true;
    paused_ = false;
    if (outOfMemory_) {
        failure_ = kErrInsufficientBuffer;
    } else if (code != CURLE_OK) {
        TransferFacts facts;
        curl_easy_getinfo(easy_, CURLINFO_OS_ERRNO, &facts.osErrno);
        curl_easy_getinfo(easy_, CURLINFO_SSL_VERIFYRESULT, &facts.verifyResult);
        failure_ = CurlResultToError(code, facts);
        connectionLost_ = IsConnectionLoss(code);
        closedNoticeDue_ = connectionLost_;
    } else if (!headersDone_) {
        failure_ = kErrHttpInvalidServerResponse;
    }
}

void InternetRequest::Abandon(ErrorCode error) {
    transferring_ = false;
    over_ = true;
    paused_ = false;
    failure_ = error;
}

bool InternetRequest::Connected() {
    if (progressSeen_)
        return true;
    // Until the connection stands, libcurl's connect time-out rules.
    curl_off_t connected = 0;
    curl_easy_getinfo(easy_, CURLINFO_PRETRANSFER_TIME_T, &connected);
    if (connected <= 0)
        return false;
    progressSeen_ = true;
    lastProgress_ = Clock::now();
    return true;
}

bool InternetRequest::Deadline(Clock::time_point* deadline) {
    if (!transferring_ || paused_ || !Connected())
        return false;
    std::uint32_t limit = uploading_ ? sendTimeoutMs_ : receiveTimeoutMs_;
    if (limit == 0)
        return false;
    *deadline = lastProgress_ + std::chrono::milliseconds(limit);
    return true;
}

bool InternetRequest::FloorApplies() const {
    return transferring_ && !paused_ && progressSeen_ && floorBytesPerSecond_ != 0 &&
           floorWindowMs_ != 0;
}

void InternetRequest::TakeSample(Clock::time_point now) {
    auto interval = std::chrono::milliseconds(std::max<std::uint32_t>(floorWindowMs_ / 4, 1));
    if (samples_.empty() || now - samples_.back().time >= interval)
        samples_.push_back(Sample{now, received_});
}

bool InternetRequest::BelowFloor(Clock::time_point now) {
    if (!transferring_ || paused_ || !Connected() || !FloorApplies())
        return false;
    TakeSample(now);
    auto window = std::chrono::milliseconds(floorWindowMs_);
    // The oldest sample kept is the newest one at least a window old.
    while (samples_.size() >= 2 && samples_[1].time <= now - window)
        samples_.pop_front();
    if (samples_.front().time > now - window)
        return false; // not a whole window yet
    std::uint64_t arrived = received_ - samples_.front().received;
    auto elapsedMs = static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now - samples_.front().time).count());
    return arrived * 1000 < std::uint64_t{floorBytesPerSecond_} * elapsedMs;
}

bool InternetRequest::NextFloorCheck(Clock::time_point* due) {
    if (!FloorApplies() || samples_.empty())
        return false;
    auto interval = std::chrono::milliseconds(std::max<std::uint32_t>(floorWindowMs_ / 4, 1));
    *due = std::min(samples_.back().time + interval,
                    samples_.front().time + std::chrono::milliseconds(floorWindowMs_));
    return true;
}

size_t InternetRequest::OnHeader(char* data, size_t size, size_t count, void* self) {
    auto* request = static_cast<InternetRequest*>(self);
    request->lastProgress_ = Clock::now();
    request->received_ += size * count;
    // An exception must not cross libcurl: without memory the transfer ends.
    try {
        request->HeaderLine(std::string_view(data, size * count));
    } catch (const std::bad_alloc&) {
        request->outOfMemory_ = true;
        return 0;
    }
    return size * count;
}

void InternetRequest::HeaderLine(std::string_view line) {
    std::string_view text = Trim(line);
    if (line.substr(0, 5) == "HTTP/") {
        // A new head: an interim answer's lines are forgotten.
        fields_.clear();
        headersDone_ = false;
        std::size_t space = text.find(' ');
        version_ = std::string(text.substr(0, space));
        std::string_view rest = space == std::string_view::npos ? "" : text.substr(space + 1);
        status_ = 0;
        std::size_t digits = 0;
        for (; digits < rest.size() && digits < 3 &&
               std::isdigit(static_cast<unsigned char>(rest[digits]));
             ++digits)
            status_ = status_ * 10 + static_cast<std::uint32_t>(rest[digits] - '0');
        statusText_ = std::string(Trim(rest.substr(digits)));
        rawHeaders_.assign(text);
        rawHeaders_ += "\r\n";
        return;
    }
    if (text.empty()) {
        rawHeaders_ += "\r\n";
        // 1xx heads are followed by the real one.
        if (status_ >= 200 || status_ == 101 || status_ < 100)
            headersDone_ = true;
        return;
    }
    rawHeaders_.append(text);
    rawHeaders_ += "\r\n";
    if ((line[0] == ' ' || line[0] == '\t') && !fields_.empty()) {
        fields_.back().second += ' ';
        fields_.back().second += text;
        return;
    }
    std::size_t colon = text.find(':');
    if (colon == std::string_view::npos)
        return;
    fields_.emplace_back(std::string(Trim(text.substr(0, colon))),
                         std::string(Trim(text.substr(colon + 1))));
}

size_t InternetRequest::OnBody(char* data, size_t size, size_t count, void* self) {
    auto* request = static_cast<InternetRequest*>(self);
    std::size_t length = size * count;
    try {
        if (request->waiting_ == Waiting::Read && request->readFilled_ < request->readSize_) {
            // The waiting read's buffer is where the bytes go, with no stop
            // in between; what does not fit waits for the next read (a chunk
            // is taken whole or not at all).
            std::size_t fits =
                std::min<std::size_t>(length, request->readSize_ - request->readFilled_);
            std::memcpy(static_cast<char*>(request->readBuffer_) + request->readFilled_, data,
                        fits);
            request->readFilled_ += static_cast<std::uint32_t>(fits);
            request->body_.append(data + fits, length - fits);
        } else if (request->Buffered() >= kHighWater) {
            request->paused_ = true;
            // The reader holds the transfer back: its speed is not the
            // server's, so the floor starts afresh once it resumes.
            request->samples_.clear();
            return CURL_WRITEFUNC_PAUSE;
        } else {
            request->body_.append(data, length);
        }
    } catch (const std::bad_alloc&) {
        // An exception must not cross libcurl: without memory the transfer
        // ends.
        request->outOfMemory_ = true;
        return 0;
    }
    request->received_ += length;
    request->lastProgress_ = Clock::now();
    return length;
}

int InternetRequest::OnProgress(void* self, curl_off_t, curl_off_t downNow, curl_off_t upTotal,
                                curl_off_t upNow) {
    auto* request = static_cast<InternetRequest*>(self);
    if (downNow != request->lastDown_ || upNow != request->lastUp_) {
        request->lastDown_ = downNow;
        request->lastUp_ = upNow;
        request->lastProgress_ = Clock::now();
    }
    request->uploading_ = upTotal > 0 && upNow < upTotal;
    return 0;
}

int InternetRequest::OnDebug(CURL*, curl_infotype type, char* data, size_t size, void* self) {
    if (type == CURLINFO_HEADER_OUT) {
        auto* request = static_cast<InternetRequest*>(self);
        request->sentHeaders_.assign(data, size);
    }
    return 0;
}

std::uint32_t InternetRequest::Take(void* buffer, std::uint32_t size) {
    auto count = static_cast<std::uint32_t>(std::min<std::size_t>(size, Buffered()));
    std::memcpy(buffer, body_.data() + bodyRead_, count);
    bodyRead_ += count;
    if (bodyRead_ == body_.size()) {
        body_.clear();
        bodyRead_ = 0;
    } else if (bodyRead_ >= 65536 && bodyRead_ * 2 >= body_.size()) {
        body_.erase(0, bodyRead_);
        bodyRead_ = 0;
    }
    return count;
}

void InternetRequest::Resume() {
    if (!paused_ || !transferring_ || Buffered() >= kLowWater)
        return;
    paused_ = false;
    lastProgress_ = Clock::now();
    // libcurl may hand the held-back bytes over right here.
    curl_easy_pause(easy_, CURLPAUSE_CONT);
}

bool InternetRequest::QueryAvailable(std::uint32_t* available) {
    if (!Readable())
        return Fail(kErrInternetIncorrectHandleState);
    if (Buffered() > 0) {
        *available = static_cast<std::uint32_t>(
            std::min<std::size_t>(Buffered(), std::numeric_limits<std::uint32_t>::max()));
        return true;
    }
    if (over_) {
        if (failure_ != kErrSuccess)
            return Fail(failure_);
        *available = 0;
        return true;
    }
    waiting_ = Waiting::Available;
    return Fail(kErrIoPending);
}

bool InternetRequest::Read(void* buffer, std::uint32_t size, std::uint32_t* read) {
    if (buffer == nullptr || read == nullptr || size == 0)
        return Fail(kErrInvalidParameter);
    if (!Readable())
        return Fail(kErrInternetIncorrectHandleState);
    if (Buffered() > 0) {
        *read = Take(buffer, size);
        Resume();
        return true;
    }
    if (over_) {
        if (failure_ != kErrSuccess)
            return Fail(failure_);
        *read = 0;
        return true;
    }
    // The body's next bytes go straight into the buffer as they arrive; the
    // read completes once the buffer is full or the body is over.
    waiting_ = Waiting::Read;
    readBuffer_ = buffer;
    readSize_ = size;
    readFilled_ = 0;
    readDone_ = read;
    return Fail(kErrIoPending);
}

void InternetRequest::EndWait() {
    waiting_ = Waiting::Nothing;
    readBuffer_ = nullptr;
    readSize_ = 0;
    readFilled_ = 0;
    readDone_ = nullptr;
}

bool InternetRequest::QueryHeader(std::string_view name, std::string* value) const {
    if (!headersDone_)
        return Fail(kErrInternetIncorrectHandleState);
    for (const auto& [fieldName, fieldValue] : fields_) {
        if (EqualsNoCase(fieldName, name)) {
            *value = fieldValue;
            return true;
        }
    }
    return Fail(kErrHttpHeaderNotFound);
}

bool InternetRequest::QueryInfo(std::uint32_t level, std::string* text) const {
    if (!headersDone_)
        return Fail(kErrInternetIncorrectHandleState);
    bool ofRequest = (level & HTTP_QUERY_FLAG_REQUEST_HEADERS) != 0;
    level &= ~(HTTP_QUERY_FLAG_REQUEST_HEADERS | HTTP_QUERY_FLAG_NUMBER);
    if (ofRequest) {
        if (level != HTTP_QUERY_RAW_HEADERS_CRLF)
            return Fail(kErrHttpInvalidQueryRequest);
        if (sentHeaders_.empty())
            return Fail(kErrHttpHeaderNotFound);
        *text = sentHeaders_;
        return true;
    }
    switch (level) {
    case HTTP_QUERY_STATUS_CODE:
        *text = std::to_string(status_);
        return true;
    case HTTP_QUERY_STATUS_TEXT:
        *text = statusText_;
        return true;
    case HTTP_QUERY_VERSION:
        *text = version_;
        return true;
    case HTTP_QUERY_RAW_HEADERS_CRLF:
        *text = rawHeaders_;
        return true;
    case HTTP_QUERY_CONTENT_TYPE:
        return QueryHeader("Content-Type", text);
    case HTTP_QUERY_CONTENT_LENGTH:
        return QueryHeader("Content-Length", text);
    case HTTP_QUERY_CONTENT_ENCODING:
        return QueryHeader("Content-Encoding", text);
    case HTTP_QUERY_LOCATION:
        return QueryHeader("Location", text);
    case HTTP_QUERY_CONTENT_RANGE:
        return QueryHeader("Content-Range", text);
    default:
        return Fail(kErrHttpInvalidQueryRequest);
    }
}

void InternetRequest::Notify(std::deque<InternetNotice>* notices, std::uint32_t status,
                             std::string info) {
    notices->push_back(InternetNotice{handle_, context_, status, std::move(info)});
}

void InternetRequest::Complete(std::deque<InternetNotice>* notices, std::uint32_t result,
                               ErrorCode error) {
    InternetAsyncResult outcome{result, error};
    std::string info(sizeof outcome, '\0');
    std::memcpy(info.data(), &outcome, sizeof outcome);
    Notify(notices, INTERNET_STATUS_REQUEST_COMPLETE, std::move(info));
}

void InternetRequest::Advance(std::deque<InternetNotice>* notices) {
    if (closedNoticeDue_) {
        closedNoticeDue_ = false;
        Notify(notices, INTERNET_STATUS_CONNECTION_CLOSED, {});
    }
    if (sendPending_ && (headersDone_ || over_)) {
        sendPending_ = false;
        if (headersDone_)
            Complete(notices, 1, kErrSuccess);
        else
            Complete(notices, 0,
                     failure_ != kErrSuccess ? failure_ : kErrHttpInvalidServerResponse);
    }
    if (waiting_ == Waiting::Available && (Buffered() > 0 || over_)) {
        EndWait();
        if (Buffered() > 0)
            Complete(notices,
                     static_cast<std::uint32_t>(std::min<std::size_t>(
                         Buffered(), std::numeric_limits<std::uint32_t>::max())),
                     kErrSuccess);
        else
            Complete(notices, 0, failure_);
    } else if (waiting_ == Waiting::Read && (readFilled_ == readSize_ || over_)) {
        // A read that got bytes succeeds with them; a failure comes with the
        // next call.
        std::uint32_t filled = readFilled_;
        std::uint32_t* done = readDone_;
        EndWait();
        if (filled > 0 || failure_ == kErrSuccess) {
            *done = filled;
            Complete(notices, 1, kErrSuccess);
        } else {
            Complete(notices, 0, failure_);
        }
    }
}

} // namespace plat::posix
