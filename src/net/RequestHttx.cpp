#include "net/RequestHttx.h"

#include "base/Strings.h"

#include <algorithm>
#include <cstdlib>
#include <ctime>

namespace NetEx {

namespace {

constexpr const char* kVerbs[] = {"GET", "POST", "DELETE", "HEAD"};

std::uint32_t MixBoundaryValue(std::uint32_t x) {
    x *= 1025u;
    x ^= x >> 6;
    x *= 9u;
    x ^= x >> 11;
    x *= 32769u;
    return x;
}

} // namespace

const char* VerbOf(std::uint32_t method) {
    return method < std::size(kVerbs) ? kVerbs[method] : kVerbs[kGet];
}

std::uint32_t NextAdaptiveBlock(std::uint32_t passSize, std::uint64_t elapsedMs,
                                std::uint32_t bgs) {
    double factor = 2.0;
    if (elapsedMs != 0)
        factor = std::min(1000.0 / static_cast<double>(elapsedMs), 2.0);
    double next = static_cast<double>(passSize) * factor;
    std::uint32_t block = next >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<std::uint32_t>(next);
    if (block > bgs)
        block = bgs;
    if (block < kMinAdaptiveBlock)
        block = kMinAdaptiveBlock;
    return block;
}

CRequestHttx::CRequestHttx(const CRequestHttx& other)
    : contextId_(other.contextId_), requestId_(other.requestId_), firstUrl_(other.firstUrl_),
      url_(other.url_), mergeArgs_(other.mergeArgs_), method_(other.method_),
      timeout_(other.timeout_), openFlags_(other.openFlags_), securityFlags_(other.securityFlags_),
      headers_(other.headers_), body_(other.body_), extraHeader_(other.extraHeader_),
      wantSentHeaders_(other.wantSentHeaders_), wantResponseHeaders_(other.wantResponseHeaders_),
      redirectCount_(other.redirectCount_), tag_(other.tag_),
      logMaskPattern_(other.logMaskPattern_), logMaskReplacement_(other.logMaskReplacement_),
      readBlock_(other.readBlock_), adaptive_(other.adaptive_), bodyLimit_(other.bodyLimit_),
      hasRange_(other.hasRange_), range_(other.range_), sink_(other.sink_) {}

CRequestHttx::~CRequestHttx() {
    CloseHandle();
    EndBody();
}

void CRequestHttx::EndBody() {
    if (bodyBegun_ && sink_)
        sink_->EndBody();
    bodyBegun_ = false;
}

void CRequestHttx::SetIds(std::uint32_t contextId, std::uint32_t requestId) {
    contextId_ = contextId;
    requestId_ = requestId;
}

bool CRequestHttx::SetFirstUrl(std::string_view url) {
    return firstUrl_.SetUrl(url);
}

bool CRequestHttx::SetUrl(std::string_view url) {
    if (!url_.SetUrl(url))
        return false;
    if (firstUrl_.GetFullUrl().empty())
        firstUrl_.SetUrl(url);
    return true;
}

bool CRequestHttx::Init(const RequestSetup& setup) {
    SetIds(setup.contextId, setup.requestId);
    bool parsed = SetUrl(setup.url);
    mergeArgs_ = setup.mergeArgs;
    method_ = setup.method;
    timeout_ = setup.timeout;
    openFlags_ = setup.openFlags;
    securityFlags_ = setup.securityFlags;
    adaptive_ = setup.readBlock == kAdaptiveBlock;
    readBlock_ = adaptive_ ? kMinAdaptiveBlock : setup.readBlock;
    wantSentHeaders_ = setup.wantSentHeaders;
    wantResponseHeaders_ = setup.wantResponseHeaders;
    if (!setup.logMaskPattern.empty())
        logMaskPattern_ = setup.logMaskPattern;
    if (setup.logMaskReplacement)
        logMaskReplacement_ = setup.logMaskReplacement;
    bodyLimit_ = setup.bodyLimit;
    return parsed;
}

void CRequestHttx::SetArgs(std::string_view query) {
    url_.SetQuery(query);
    url_.MarkFullUrlStale();
}

void CRequestHttx::SetExtraHeader(std::string_view text) {
    if (!text.empty())
        extraHeader_ = text;
}

void CRequestHttx::AddHeader(std::string_view text) {
    if (!text.empty())
        headers_.Append(text);
}

void CRequestHttx::AddRange(std::uint32_t offset, std::uint32_t length) {
    // The last byte of the range is offset + length - 1: a range names its
    // last byte, not the one after it.
    if (length != 0)
        headers_.Append(base::Format("Range: bytes=%u-%llu\r\n", offset,
                                     static_cast<unsigned long long>(offset) + length - 1));
    else
        headers_.Append(base::Format("Range: bytes=%u-\r\n", offset));
    hasRange_ = true;
    range_ = RangeAsked{offset, length};
}

void CRequestHttx::AddContentLength(std::uint32_t length) {
    headers_.Append(base::Format("Content-Length: %u\r\n", length));
}

void CRequestHttx::BeginMultipart(const char* boundary) {
    if (boundary && *boundary) {
        boundary_ = boundary;
    } else {
        std::srand(static_cast<unsigned>(std::time(nullptr) & 0xFFFFFFFF));
        std::uint32_t first = MixBoundaryValue(static_cast<std::uint32_t>(std::rand()));
        std::uint32_t second = MixBoundaryValue(static_cast<std::uint32_t>(std::rand()));
        boundary_ = base::Format("block%u%u", first, second).substr(0, 64);
    }
    headers_.Append(
        base::Format("Content-Type: multipart/form-data; boundary=%s\r\n", boundary_.c_str()));
}

void CRequestHttx::AppendBody(const void* data, std::size_t length) {
    if (data && length)
        body_.Append(data, length);
}

void CRequestHttx::TakeBody(CBuffer& body) {
    body_ = std::move(body);
    body.Clear();
}

bool CRequestHttx::AddFormPart(std::string_view name, const char* fileName,
                               std::string_view contentType) {
    if (boundary_.empty() || name.empty() || contentType.empty())
        return false;
    std::string part = "--" + boundary_ + "\r\nContent-Disposition: form-data; name=\"";
    part += name;
    part += "\"";
    if (fileName) {
        part += "; filename=\"";
        part += fileName;
        part += "\"";
    }
    part += "\r\nContent-Type: ";
    part += contentType;
    part += "\r\n\r\n";
    if (part.size() > 1024)
        part.resize(1024);
    body_.Append(part);
    return true;
}

bool CRequestHttx::EndMultipart() {
    if (boundary_.empty())
        return false;
    body_.Append("--" + boundary_ + "--\r\n\r\n");
    return true;
}

std::string CRequestHttx::BodyForLog() const {
    std::string text(body_.View());
    if (logMaskPattern_.empty())
        return text;
    // The mask pattern is matched as literal text: what it hides are fixed
    // values such as a password field, and a literal match cannot fail.
    std::string masked;
    std::size_t from = 0;
    for (std::size_t at = text.find(logMaskPattern_); at != std::string::npos;
         at = text.find(logMaskPattern_, from)) {
        masked.append(text, from, at - from);
        masked += logMaskReplacement_;
        from = at + logMaskPattern_.size();
    }
    masked.append(text, from, std::string::npos);
    return masked;
}

} // namespace NetEx
