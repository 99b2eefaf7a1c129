#include "platform/win32/InternetHead.h"

#include "platform/Internet.h"
#include "platform/TextCase.h"

#include <cctype>

namespace plat::win {

namespace {

bool Fail(ErrorCode code) {
    SetLastError(code);
    return false;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r'))
        text.remove_suffix(1);
    return text;
}

} // namespace

void InternetHead::Clear() {
    *this = InternetHead();
}

void InternetHead::Parse(std::string_view raw) {
    std::string sent = std::move(sent_);
    Clear();
    sent_ = std::move(sent);
    while (!raw.empty()) {
        std::size_t end = raw.find('\n');
        std::string_view line = raw.substr(0, end);
        raw.remove_prefix(end == std::string_view::npos ? raw.size() : end + 1);
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
        std::string_view text = Trim(line);
        if (line.substr(0, 5) == "HTTP/") {
            // A new head: an interim answer's lines are forgotten.
            fields_.clear();
            known_ = false;
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
            raw_.assign(text);
            raw_ += "\r\n";
            continue;
        }
        if (text.empty()) {
            if (version_.empty())
                continue;
            raw_ += "\r\n";
            if (status_ >= 200 || status_ == 101 || status_ < 100) {
                known_ = true;
                return;
            }
            continue;
        }
        raw_.append(text);
        raw_ += "\r\n";
        if ((line[0] == ' ' || line[0] == '\t') && !fields_.empty()) {
            fields_.back().second += ' ';
            fields_.back().second += text;
            continue;
        }
        std::size_t colon = text.find(':');
        if (colon == std::string_view::npos)
            continue;
        fields_.emplace_back(std::string(Trim(text.substr(0, colon))),
                             std::string(Trim(text.substr(colon + 1))));
    }
    // A head without its closing empty line still counts once it has a status.
    if (!version_.empty()) {
        raw_ += "\r\n";
        known_ = true;
    }
}

bool InternetHead::Field(std::string_view name, std::string* value) const {
    if (!known_)
        return Fail(kErrInternetIncorrectHandleState);
    for (const auto& [fieldName, fieldValue] : fields_) {
        if (EqualsNoCase(fieldName, name)) {
            *value = fieldValue;
            return true;
        }
    }
    return Fail(kErrHttpHeaderNotFound);
}

bool InternetHead::Query(std::uint32_t level, std::string* text) const {
    if (!known_)
        return Fail(kErrInternetIncorrectHandleState);
    bool ofRequest = (level & HTTP_QUERY_FLAG_REQUEST_HEADERS) != 0;
    level &= ~(HTTP_QUERY_FLAG_REQUEST_HEADERS | HTTP_QUERY_FLAG_NUMBER);
    if (ofRequest) {
        if (level != HTTP_QUERY_RAW_HEADERS_CRLF)
            return Fail(kErrHttpInvalidQueryRequest);
        if (sent_.empty())
            return Fail(kErrHttpHeaderNotFound);
        *text = sent_;
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
        *text = raw_;
        return true;
    case HTTP_QUERY_CONTENT_TYPE:
        return Field("Content-Type", text);
    case HTTP_QUERY_CONTENT_LENGTH:
        return Field("Content-Length", text);
    case HTTP_QUERY_CONTENT_ENCODING:
        return Field("Content-Encoding", text);
    case HTTP_QUERY_LOCATION:
        return Field("Location", text);
    case HTTP_QUERY_CONTENT_RANGE:
        return Field("Content-Range", text);
    default:
        return Fail(kErrHttpInvalidQueryRequest);
    }
}

} // namespace plat::win
