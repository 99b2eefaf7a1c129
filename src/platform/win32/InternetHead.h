#pragma once
// The head of an HTTP answer as the layer keeps it: the status line, the
// header fields in order and the raw text, taken from WinINet once the
// answer's head is in, and the queries the transport asks of it. Also the
// request's head as it went out. Pure text; the owner thread of the request.

#include "platform/Error.h"

#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plat::win {

class InternetHead {
public:
    // Takes the raw head: a status line and header lines each ending
    // "\r\n" (or "\n"), and the empty line. Interim 1xx heads before the
    // final one are skipped.
    void Parse(std::string_view raw);
    void SetRequestHead(std::string raw) { sent_ = std::move(raw); }
    void Clear();

    bool Known() const { return known_; }
    std::uint32_t Status() const { return status_; }
    std::size_t FieldCount() const { return fields_.size(); }
    // The first line of the request's head as it went out.
    std::string RequestLine() const { return sent_.substr(0, sent_.find("\r\n")); }
    // A query level (HTTP_QUERY_*, with its modifier flags) as text.
    bool Query(std::uint32_t level, std::string* text) const;
    // The first field of that name (names ignore case).
    bool Field(std::string_view name, std::string* value) const;

private:
    bool known_ = false;
    std::string version_;
    std::uint32_t status_ = 0;
    std::string statusText_;
    std::vector<std::pair<std::string, std::string>> fields_;
    std::string raw_;
    std::string sent_;
};

} // namespace plat::win
