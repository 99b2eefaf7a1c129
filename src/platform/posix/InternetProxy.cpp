#include "platform/posix/InternetProxy.h"

#include "platform/FileSystem.h"
#include "platform/TextCase.h"
#include "platform/Unicode.h"

#include <cstdlib>

namespace plat::posix {

namespace {

std::string Env(const char* name) {
    const char* value = std::getenv(name);
    return value != nullptr ? value : "";
}

std::string EnvEitherCase(const char* lower, const char* upper) {
    std::string value = Env(lower);
    return value.empty() ? Env(upper) : value;
}

// Splits at every separator character, dropping empty pieces.
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

// A host without brackets, port or trailing dot, in lower case.
std::string NormalHost(std::string_view host) {
    if (host.size() >= 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    while (!host.empty() && host.back() == '.')
        host.remove_suffix(1);
    return ToLowerAscii(host);
}

} // namespace

ProxySettings ProxySettings::FromEnvironment() {
    ProxySettings settings;
    std::string all = EnvEitherCase("all_proxy", "ALL_PROXY");
    // An upper-case HTTP_PROXY may come from a web request's "Proxy:" header
    // in a CGI environment, so only the lower-case name counts.
    settings.http_ = Env("http_proxy");
    if (settings.http_.empty())
        settings.http_ = all;
    settings.https_ = EnvEitherCase("https_proxy", "HTTPS_PROXY");
    if (settings.https_.empty())
        settings.https_ = all;
    const std::string noProxy = EnvEitherCase("no_proxy", "NO_PROXY");
    for (std::string_view entry : Split(noProxy, ", \t")) {
        if (entry == "*") {
            settings.bypassAll_ = true;
            continue;
        }
        // ".example.com" and "example.com" both mean the domain and its hosts.
        while (!entry.empty() && entry.front() == '.')
            entry.remove_prefix(1);
        std::string host = NormalHost(entry);
        if (!host.empty())
            settings.bypass_.push_back({std::move(host), true});
    }
    return settings;
}

bool ProxySettings::FromText(std::string_view proxy, std::string_view bypass, ProxySettings* out) {
    ProxySettings settings;
    for (std::string_view entry : Split(proxy, "; \t")) {
        std::size_t equals = entry.find('=');
        if (equals == std::string_view::npos) {
            settings.http_ = settings.https_ = std::string(entry);
            continue;
        }
        std::string scheme = ToLowerAscii(entry.substr(0, equals));
        std::string server(entry.substr(equals + 1));
        if (scheme == "http")
            settings.http_ = server;
        else if (scheme == "https")
            settings.https_ = server;
    }
    if (settings.http_.empty() && settings.https_.empty())
        return false;
    for (std::string_view entry : Split(bypass, "; \t,")) {
        if (EqualsNoCase(entry, "<local>"))
            settings.bypassLocal_ = true;
        else if (entry == "*")
            settings.bypassAll_ = true;
        else
            settings.bypass_.push_back({NormalHost(entry), false});
    }
    *out = std::move(settings);
    return true;
}

bool ProxySettings::Bypassed(std::string_view host) const {
    if (bypassAll_)
        return true;
    std::string name = NormalHost(host);
    if (bypassLocal_ && name.find('.') == std::string::npos && name.find(':') == std::string::npos)
        return true;
    for (const BypassEntry& entry : bypass_) {
        if (entry.domainSuffix) {
            if (name == entry.pattern || (name.size() > entry.pattern.size() &&
                                          name.compare(name.size() - entry.pattern.size(),
                                                       entry.pattern.size(), entry.pattern) == 0 &&
                                          name[name.size() - entry.pattern.size() - 1] == '.'))
                return true;
        } else if (MatchWildcard(Utf8ToWide(entry.pattern), Utf8ToWide(name))) {
            return true;
        }
    }
    return false;
}

std::string ProxySettings::For(bool secure, std::string_view host) const {
    const std::string& proxy = secure ? https_ : http_;
    if (proxy.empty() || Bypassed(host))
        return {};
    return proxy;
}

} // namespace plat::posix
