#pragma once
// A URL in parts as the network layer keeps it: scheme, server, login, path
// and an ordered map of query arguments, with the query text and the full
// URL rebuilt on demand. A request's URL is completed from its context's by
// Merge. Plain data: it belongs to whichever thread holds its owner.

#include <cstdint>
#include <map>
#include <string>
#include <string_view>

class CUrlComponents {
public:
    using Args = std::map<std::string, std::string>;

    // Longest URL text Crack accepts.
    static constexpr std::size_t kMaxUrlLength = 2076;
    // Longest query text, server text and full URL built (with the zero).
    static constexpr std::size_t kMaxBuiltLength = 2084;

    CUrlComponents() = default;
    explicit CUrlComponents(std::string_view url) { Crack(url); }
    virtual ~CUrlComponents() = default;
    CUrlComponents(const CUrlComponents&) = default;
    CUrlComponents& operator=(const CUrlComponents&) = default;

    // Replaces everything by the parts of the text. A text without a scheme
    // is taken as "http://" + text (scheme -1); a bare path keeps no server
    // (scheme -2). False for a text that cannot be split or is too long
    // (last error 12005 or 12006).
    virtual bool Crack(std::string_view url);
    bool SetUrl(std::string_view url) { return Crack(url); }
    void Clear();

    // Replaces the arguments by those of a query text ("?a=1&b", "#x").
    void SetQuery(std::string_view query);
    void SetArgs(const Args& args);

    // "?a=1&b" in name order; empty without arguments.
    const std::string& GetQueryText();
    // Scheme, login, host and port only; no "http://" when the URL had no
    // scheme. Empty when there is neither scheme nor host.
    std::string GetServerText() const;
    // Path and query: what goes on the request line.
    std::string GetObjectText();
    const std::string& GetFullUrl();

    // Completes this (a request's) URL from the context's: server and login
    // from it, its path in front of ours and, when mergeArgs is set, its
    // arguments we do not have. False when the context's URL has no host.
    bool Merge(const CUrlComponents& context, bool mergeArgs);

    const std::string& SchemeText() const { return schemeText_; }
    std::int32_t Scheme() const { return scheme_; }
    const std::string& Host() const { return host_; }
    std::uint16_t Port() const { return port_; }
    const std::string& User() const { return user_; }
    const std::string& Password() const { return password_; }
    const std::string& Path() const { return path_; }
    const Args& Arguments() const { return args_; }
    char Separator() const { return separator_; }

    void MarkFullUrlStale() { fullUrlStale_ = true; }

private:
    std::string BuildUrl(bool withObject) const;

    std::string fullUrl_;
    std::string schemeText_;
    std::int32_t scheme_ = -1;
    std::string host_;
    std::uint16_t port_ = 0;
    std::string user_;
    std::string password_;
    std::string path_;
    Args args_;
    std::string queryText_;
    char separator_ = '?';
    bool queryStale_ = false;
    bool fullUrlStale_ = false;
};
