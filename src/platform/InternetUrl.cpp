// The URL cracker and builder of the HTTP layer: splits and joins URL texts
// the way the transport's URL model expects, without escaping anything.
// Pure text work; any thread.

#include "platform/Internet.h"
#include "platform/TextCase.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace plat {

namespace {

struct SchemeInfo {
    std::string_view name;
    InternetScheme number;
    std::uint16_t port;
    bool hasServer; // "//" user, password, host and port follow the colon
};

constexpr std::array<SchemeInfo, 11> kSchemes = {{
    {"ftp", INTERNET_SCHEME_FTP, 21, true},
    {"gopher", INTERNET_SCHEME_GOPHER, 70, true},
    {"http", INTERNET_SCHEME_HTTP, INTERNET_DEFAULT_HTTP_PORT, true},
    {"https", INTERNET_SCHEME_HTTPS, INTERNET_DEFAULT_HTTPS_PORT, true},
    {"file", INTERNET_SCHEME_FILE, 0, true},
    {"news", INTERNET_SCHEME_NEWS, 0, false},
    {"mailto", INTERNET_SCHEME_MAILTO, 0, false},
    {"socks", INTERNET_SCHEME_SOCKS, 1080, false},
    {"javascript", INTERNET_SCHEME_JAVASCRIPT, 0, false},
    {"vbscript", INTERNET_SCHEME_VBSCRIPT, 0, false},
    {"res", INTERNET_SCHEME_RES, 0, false},
}};

const SchemeInfo* SchemeByName(std::string_view name) {
    for (const SchemeInfo& scheme : kSchemes) {
        if (EqualsNoCase(scheme.name, name))
            return &scheme;
    }
    return nullptr;
}

const SchemeInfo* SchemeByNumber(std::int32_t number) {
    if (number == INTERNET_SCHEME_UNKNOWN || number == INTERNET_SCHEME_DEFAULT)
        number = INTERNET_SCHEME_HTTP;
    for (const SchemeInfo& scheme : kSchemes) {
        if (scheme.number == number)
            return &scheme;
    }
    return nullptr;
}

bool Fail(ErrorCode code) {
    SetLastError(code);
    return false;
}

// Length of a leading "name:" scheme (letters first, then letters, digits,
// "+", "-" or "."), or 0 when the text does not start with one.
std::size_t SchemeLength(std::string_view url) {
    if (url.empty() || !std::isalpha(static_cast<unsigned char>(url[0])))
        return 0;
    for (std::size_t i = 1; i < url.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(url[i]);
        if (c == ':')
            return i;
        if (!std::isalnum(c) && c != '+' && c != '-' && c != '.')
            return 0;
    }
    return 0;
}

bool ParsePort(std::string_view text, std::uint16_t* port) {
    if (text.empty() || text.size() > 5)
        return false;
    unsigned value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    if (value > 65535)
        return false;
    *port = static_cast<std::uint16_t>(value);
    return true;
}

// user[:password]@host[:port], the part between "//" and the path.
bool CrackServer(std::string_view authority, const SchemeInfo& scheme, UrlParts* parts) {
    std::size_t at = authority.rfind('@');
    if (at != std::string_view::npos) {
        std::string_view login = authority.substr(0, at);
        std::size_t colon = login.find(':');
        parts->user = std::string(login.substr(0, colon));
        if (colon != std::string_view::npos)
            parts->password = std::string(login.substr(colon + 1));
        authority.remove_prefix(at + 1);
    }
    // A bracketed IPv6 address keeps its brackets and its colons.
    std::size_t hostEnd = 0;
    if (!authority.empty() && authority[0] == '[') {
        hostEnd = authority.find(']');
        if (hostEnd == std::string_view::npos)
            return Fail(kErrInternetInvalidUrl);
        ++hostEnd;
    } else {
        hostEnd = std::min(authority.find(':'), authority.size());
    }
    parts->host = std::string(authority.substr(0, hostEnd));
    std::string_view portText = authority.substr(hostEnd);
    parts->port = scheme.port;
    if (!portText.empty()) {
        if (portText[0] != ':')
            return Fail(kErrInternetInvalidUrl);
        portText.remove_prefix(1);
        std::uint16_t port = 0;
        if (!portText.empty() && !ParsePort(portText, &port))
            return Fail(kErrInternetInvalidUrl);
        if (port != 0)
            parts->port = port;
    }
    if (parts->host.empty() && scheme.number != INTERNET_SCHEME_FILE)
        return Fail(kErrInternetInvalidUrl);
    return true;
}

} // namespace

bool CrackUrl(std::string_view url, UrlParts* parts) {
    *parts = UrlParts{};
    std::size_t schemeLength = SchemeLength(url);
    if (schemeLength == 0)
        return Fail(kErrInternetUnrecognizedScheme);
    const SchemeInfo* scheme = SchemeByName(url.substr(0, schemeLength));
    if (scheme == nullptr)
        return Fail(kErrInternetUnrecognizedScheme);
    parts->schemeText = std::string(url.substr(0, schemeLength));
    parts->scheme = scheme->number;
    parts->port = scheme->port;
    std::string_view rest = url.substr(schemeLength + 1);

    if (scheme->hasServer) {
        if (rest.substr(0, 2) != "//")
            return Fail(kErrInternetInvalidUrl);
        rest.remove_prefix(2);
        std::size_t authorityEnd = std::min(rest.find_first_of("/?#"), rest.size());
        if (!CrackServer(rest.substr(0, authorityEnd), *scheme, parts))
            return false;
        rest.remove_prefix(authorityEnd);
    }
    std::size_t extraStart = std::min(rest.find_first_of("?#"), rest.size());
    parts->path = std::string(rest.substr(0, extraStart));
    parts->extra = std::string(rest.substr(extraStart));
    return true;
}

bool CreateUrl(const UrlParts& parts, std::string* url) {
    const SchemeInfo* scheme =
        parts.schemeText.empty() ? SchemeByNumber(parts.scheme) : SchemeByName(parts.schemeText);
    if (scheme == nullptr)
        return Fail(kErrInternetUnrecognizedScheme);
    std::string text = parts.schemeText.empty() ? std::string(scheme->name) : parts.schemeText;
    text += ':';
    if (scheme->hasServer) {
        if (parts.host.empty() && scheme->number != INTERNET_SCHEME_FILE)
            return Fail(kErrInternetInvalidUrl);
        text += "//";
        if (!parts.user.empty()) {
            text += parts.user;
            if (!parts.password.empty())
                text += ':' + parts.password;
            text += '@';
        }
        text += parts.host;
        if (parts.port != INTERNET_DEFAULT_PORT && parts.port != scheme->port)
            text += ':' + std::to_string(parts.port);
        if (!parts.path.empty() && parts.path[0] != '/')
            text += '/';
    }
    text += parts.path;
    text += parts.extra;
    *url = std::move(text);
    return true;
}

} // namespace plat
