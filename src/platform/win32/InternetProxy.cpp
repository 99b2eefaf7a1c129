#include "platform/win32/InternetProxy.h"

#include "platform/TextCase.h"

#include <algorithm>
#include <cstdlib>
#include <vector>

namespace plat::win {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::vector<std::string_view> Split(std::string_view text, std::string_view separators) {
    std::vector<std::string_view> pieces;
    while (!text.empty()) {
        std::size_t end = text.find_first_of(separators);
        if (end == std::string_view::npos)
            end = text.size();
        if (end > 0)
            pieces.push_back(text.substr(0, end));
        text.remove_prefix(std::min(end + 1, text.size()));
    }
    return pieces;
}

// "http://host:port/" becomes "host:port": WinINet names the proxy's scheme
// by the list entry, not by the address. Other schemes (socks) are not
// proxies WinINet speaks HTTP through: empty.
std::string Address(std::string_view value) {
    std::size_t scheme = value.find("://");
    if (scheme != std::string_view::npos) {
        std::string name = ToLowerAscii(value.substr(0, scheme));
        if (name != "http" && name != "https")
            return {};
        value.remove_prefix(scheme + 3);
    }
    std::size_t slash = value.find('/');
    if (slash != std::string_view::npos)
        value = value.substr(0, slash);
    std::size_t at = value.rfind('@');
    if (at != std::string_view::npos)
        value.remove_prefix(at + 1);
    return std::string(value);
}

// A pattern with "*" for any run of characters, against a lower-case text.
bool Matches(std::string_view pattern, std::string_view text) {
    std::size_t p = 0;
    std::size_t t = 0;
    std::size_t star = std::string_view::npos;
    std::size_t resume = 0;
    while (t < text.size()) {
        if (p < pattern.size() && pattern[p] == '*') {
            star = p++;
            resume = t;
        } else if (p < pattern.size() && pattern[p] == text[t]) {
            ++p;
            ++t;
        } else if (star != std::string_view::npos) {
            p = star + 1;
            t = ++resume;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

} // namespace

bool BypassesProxy(std::string_view bypass, std::string_view host) {
    std::string name = ToLowerAscii(host);
    if (name.size() >= 2 && name.front() == '[' && name.back() == ']')
        name = name.substr(1, name.size() - 2);
    for (std::string_view entry : Split(bypass, " ;\t")) {
        std::string pattern = ToLowerAscii(entry);
        if (pattern == "<local>") {
            if (name.find('.') == std::string::npos && name.find(':') == std::string::npos)
                return true;
            continue;
        }
        if (pattern.front() == '<')
            continue; // other WinINet keywords (<-loopback>) name no host
        if (Matches(pattern, name))
            return true;
    }
    return false;
}

bool ProxyFromValues(std::string_view http, std::string_view https, std::string_view all,
                     std::string_view noProxy, std::string* proxy, std::string* bypass) {
    std::string forHttp = Address(!http.empty() ? http : all);
    std::string forHttps = Address(!https.empty() ? https : all);
    proxy->clear();
    bypass->clear();
    if (forHttp.empty() && forHttps.empty())
        return false;
    if (forHttp == forHttps) {
        *proxy = forHttp;
    } else {
        if (!forHttp.empty())
            *proxy = "http=" + forHttp;
        if (!forHttps.empty())
            *proxy += (proxy->empty() ? "https=" : " https=") + forHttps;
    }
    // no_proxy names hosts and the domains under them; WinINet's list takes
    // patterns, so each name stands for itself and for "*.name".
    for (std::string_view entry : Split(noProxy, ", \t")) {
        if (entry == "*") {
            *bypass = "*";
            break;
        }
        while (!entry.empty() && entry.front() == '.')
            entry.remove_prefix(1);
        if (entry.empty())
            continue;
        if (!bypass->empty())
            *bypass += ';';
        *bypass += std::string(entry) + ";*." + std::string(entry);
    }
    return true;
}

bool EnvironmentProxy(std::string* proxy, std::string* bypass) {
    std::string https = Env("https_proxy");
    if (https.empty())
        https = Env("HTTPS_PROXY");
    std::string all = Env("all_proxy");
    if (all.empty())
        all = Env("ALL_PROXY");
    std::string noProxy = Env("no_proxy");
    if (noProxy.empty())
        noProxy = Env("NO_PROXY");
    return ProxyFromValues(Env("http_proxy"), https, all, noProxy, proxy, bypass);
}

bool NamesAProxy(std::string_view proxy) {
    for (std::string_view entry : Split(proxy, " ;\t")) {
        std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos)
            return true;
        std::string scheme = ToLowerAscii(entry.substr(0, equals));
        if ((scheme == "http" || scheme == "https") && equals + 1 < entry.size())
            return true;
    }
    return false;
}

} // namespace plat::win
