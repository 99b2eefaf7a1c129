#pragma once
// The proxy texts WinINet takes, made from the environment's proxy
// variables (what the layer calls the preconfigured proxy), and the check
// that a given proxy text names a proxy at all. Private to the Windows
// backend; pure text work on the owner thread of the handle being opened.

#include <string>
#include <string_view>

namespace plat::win {

// WinINet's proxy list ("http=host:port https=host:port") and bypass list
// for the environment's http_proxy (lower case only), https_proxy or
// HTTPS_PROXY, all_proxy or ALL_PROXY (for the schemes the first two leave
// open) and no_proxy or NO_PROXY. False when the environment names no proxy.
bool EnvironmentProxy(std::string* proxy, std::string* bypass);
// The same from the variables' values (empty: not set); any thread.
bool ProxyFromValues(std::string_view http, std::string_view https, std::string_view all,
                     std::string_view noProxy, std::string* proxy, std::string* bypass);
// True when a proxy text given to OpenInternet names a proxy for HTTP or
// HTTPS: "host:port" or a URL for every scheme, or "http=" / "https="
// entries separated by blanks or ";".
bool NamesAProxy(std::string_view proxy);
// True when a bypass list (patterns with "*" wildcards, blanks or ";"
// between, "<local>" for names without a dot) names `host`; case is
// ignored. The layer decides this itself: WinINet versions differ in the
// patterns they understand.
bool BypassesProxy(std::string_view bypass, std::string_view host);

} // namespace plat::win
