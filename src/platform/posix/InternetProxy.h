#pragma once
// The proxy an internet handle sends its requests through: the one the
// environment names (the preconfigured proxy) or the one given to
// OpenInternet, each with its list of hosts reached directly. Private to the
// POSIX backend; made on the owner thread, then only read.

#include <string>
#include <string_view>
#include <vector>

namespace plat::posix {

class ProxySettings {
public:
    // No proxy: every request goes out directly.
    ProxySettings() = default;

    // http_proxy (lower case only, as curl and wget read it), https_proxy or
    // HTTPS_PROXY, all_proxy or ALL_PROXY for what the first two leave open,
    // and no_proxy or NO_PROXY: host names and domain suffixes separated by
    // commas or blanks, "*" for every host.
    static ProxySettings FromEnvironment();
    // WinINet's forms: "host:port" (or a URL) for every scheme, or
    // "http=host:port https=host:port" with blanks or ";" between; the
    // bypass list holds host patterns with "*" wildcards and "<local>" for
    // names without a dot. False when the text names no proxy at all.
    static bool FromText(std::string_view proxy, std::string_view bypass, ProxySettings* out);

    // The proxy for a request to `host`, as libcurl takes it; empty for a
    // direct connection.
    std::string For(bool secure, std::string_view host) const;
    bool Bypassed(std::string_view host) const;

private:
    struct BypassEntry {
        std::string pattern; // lower case
        bool domainSuffix;   // environment style: the host or any name under it
    };

    std::string http_;
    std::string https_;
    std::vector<BypassEntry> bypass_;
    bool bypassAll_ = false;
    bool bypassLocal_ = false; // names without a dot
};

} // namespace plat::posix
