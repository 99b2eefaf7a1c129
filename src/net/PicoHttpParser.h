#pragma once
// Parser of a raw HTTP response head (status line and header lines) into a
// fixed table of header entries that point into the parsed bytes. Used on
// whichever thread holds the bytes; the bytes must outlive the lookups.

#include <cstddef>
#include <optional>
#include <string_view>

namespace NetEx {

class CPicoHttpParser {
public:
    static constexpr std::size_t kMaxHeaders = 32;

    // 0 on success, -1 for a malformed head, -2 when the bytes end before
    // the empty line.
    enum : int { kComplete = 0, kMalformed = -1, kIncomplete = -2 };

    struct Header {
        const char* name = nullptr; // null for a continuation line
        std::size_t nameLength = 0;
        const char* value = nullptr;
        std::size_t valueLength = 0;

        std::string_view Name() const { return {name ? name : "", nameLength}; }
        std::string_view Value() const { return {value ? value : "", valueLength}; }
    };

    int Parse(const char* data, std::size_t length);

    // The first header named Content-Length, compared without regard to case.
    std::optional<std::string_view> ContentLength() const;

    int MinorVersion() const { return minorVersion_; }
    int Status() const { return status_; }
    std::string_view Reason() const { return reason_; }
    std::size_t HeaderCount() const { return headerCount_; }
    const Header& HeaderAt(std::size_t index) const { return headers_[index]; }
    int Result() const { return result_; }

private:
    int ParseHead(const char* data, std::size_t length);

    Header headers_[kMaxHeaders];
    int minorVersion_ = -1;
    int status_ = 0;
    std::string_view reason_;
    std::size_t headerCount_ = 0;
    int result_ = kIncomplete;
};

} // namespace NetEx
