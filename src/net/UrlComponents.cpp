#include "net/UrlComponents.h"

#include "platform/Error.h"
#include "platform/Internet.h"

namespace {

constexpr std::string_view kHttpPrefix = "http://";

bool IsQueryMark(char c) {
    return c == '?' || c == '#' || c == '&';
}

} // namespace

void CUrlComponents::Clear() {
    *this = CUrlComponents();
}

bool CUrlComponents::Crack(std::string_view url) {
    Clear();
    if (url.empty())
        return true;
    if (url.size() > kMaxUrlLength) {
        plat::SetLastError(plat::kErrInternetInvalidUrl);
        return false;
    }
    plat::UrlParts parts;
    bool cracked = plat::CrackUrl(url, &parts);
    if (!cracked || parts.host.empty()) {
        if (cracked || plat::GetLastError() == plat::kErrInternetUnrecognizedScheme) {
            std::string withScheme = std::string(kHttpPrefix) + std::string(url);
            if (plat::CrackUrl(withScheme, &parts)) {
                parts.schemeText.clear();
                parts.scheme = plat::INTERNET_SCHEME_UNKNOWN;
            } else if (plat::GetLastError() == plat::kErrInternetInvalidUrl) {
                // A path alone: a stand-in host lets the cracker split it.
                std::string withHost = std::string(kHttpPrefix);
                withHost += '\0';
                withHost += url;
                if (!plat::CrackUrl(withHost, &parts))
                    return false;
                parts.schemeText.clear();
                parts.host.clear();
                parts.port = 0;
                parts.scheme = plat::INTERNET_SCHEME_PARTIAL;
            } else {
                return false;
            }
        } else {
            return false;
        }
    }
    schemeText_ = parts.schemeText;
    scheme_ = parts.scheme;
    host_ = parts.host;
    port_ = parts.port;
    user_ = parts.user;
    password_ = parts.password;
    path_ = parts.path;
    if (!path_.empty() && path_.back() == '/')
        path_.pop_back();
    SetQuery(parts.extra);
    fullUrlStale_ = true;
    return true;
}

void CUrlComponents::SetQuery(std::string_view query) {
    std::size_t start = 0;
    while (start < query.size() && !IsQueryMark(query[start]))
        ++start;
    query.remove_prefix(start);
    if (!query.empty() && args_.empty())
        separator_ = query[0] == '#' ? '#' : '?';
    args_.clear();
    while (!query.empty()) {
        std::size_t end = 1;
        while (end < query.size() && !IsQueryMark(query[end]))
            ++end;
        std::string_view piece = query.substr(1, end - 1);
        query.remove_prefix(end);
        if (piece.empty())
            continue;
        std::size_t equals = piece.find('=');
        std::string name(piece.substr(0, equals));
        std::string value = equals == std::string_view::npos
                                ? std::string()
                                : std::string(piece.substr(equals + 1));
        args_[name] = value;
    }
    queryStale_ = true;
}

void CUrlComponents::SetArgs(const Args& args) {
    if (args == args_)
        return;
    args_ = args;
    queryStale_ = !args_.empty();
    if (args_.empty())
        queryText_.clear();
    fullUrlStale_ = true;
}

const std::string& CUrlComponents::GetQueryText() {
    if (!queryStale_)
        return queryText_;
    std::string text;
    bool first = true;
    for (const auto& [name, value] : args_) {
        text += first ? separator_ : '&';
        text += name;
        if (!value.empty())
            text += "=" + value;
        first = false;
    }
    if (text.size() >= kMaxBuiltLength)
        text.resize(kMaxBuiltLength - 1);
    queryText_ = std::move(text);
    queryStale_ = false;
    fullUrlStale_ = true;
    return queryText_;
}

std::string CUrlComponents::BuildUrl(bool withObject) const {
    plat::UrlParts parts;
    parts.schemeText = schemeText_;
    parts.scheme = scheme_;
    parts.host = host_;
    parts.port = port_;
    parts.user = user_;
    parts.password = password_;
    if (withObject) {
        parts.path = path_;
        parts.extra = queryText_;
    }
    std::string url;
    if (!plat::CreateUrl(parts, &url) || url.size() >= kMaxBuiltLength)
        return {};
    if (scheme_ == plat::INTERNET_SCHEME_UNKNOWN && schemeText_.empty())
        url.erase(0, kHttpPrefix.size());
    return url;
}

std::string CUrlComponents::GetServerText() const {
    if (schemeText_.empty() && host_.empty())
        return {};
    return BuildUrl(false);
}

std::string CUrlComponents::GetObjectText() {
    return path_ + GetQueryText();
}

const std::string& CUrlComponents::GetFullUrl() {
    if (!queryStale_ && !fullUrlStale_)
        return fullUrl_;
    GetQueryText();
    if (scheme_ != plat::INTERNET_SCHEME_PARTIAL && !host_.empty())
        fullUrl_ = BuildUrl(true);
    else
        fullUrl_ = path_ + queryText_;
    fullUrlStale_ = false;
    return fullUrl_;
}

bool CUrlComponents::Merge(const CUrlComponents& context, bool mergeArgs) {
    if (context.host_.empty())
        return false;
    schemeText_ = context.schemeText_;
    scheme_ = context.scheme_;
    host_ = context.host_;
    port_ = context.port_;
    user_ = context.user_;
    password_ = context.password_;
    path_ = context.path_ + path_;
    if (mergeArgs && !context.args_.empty()) {
        for (const auto& [name, value] : context.args_)
            args_.emplace(name, value);
        queryStale_ = true;
    }
    fullUrlStale_ = true;
    return true;
}
