#pragma once
// What a server's answer to a byte-range request may be taken as: the asked
// bytes (206 with a Content-Range that starts at the asked offset and stays
// inside the file, or 200 when the range starts at 0), the whole file again
// (200 to a range further on: the server cannot resume), or not an answer to
// this range at all. Pure functions, any thread.

#include <cstdint>
#include <string_view>

namespace NetEx {

// "bytes first-last/total" of a Content-Range header; the total may be "*".
struct ContentRange {
    std::uint64_t first = 0;
    std::uint64_t last = 0;
    bool totalKnown = false;
    std::uint64_t total = 0;
};

// False for anything but a well-formed satisfied byte range (first <= last,
// and last < total when the total is known).
bool ParseContentRange(std::string_view text, ContentRange* range);

// What a request asked for: from `offset`, `length` bytes (0: to the end).
struct RangeAsked {
    std::uint64_t offset = 0;
    std::uint64_t length = 0;
};

enum class RangeVerdict {
    Accept,     // the body is file bytes from `start` on
    Restart,    // a whole-file answer to a range further on: the file starts again
    Unexpected, // not an answer to this range
};

struct RangeAnswer {
    RangeVerdict verdict = RangeVerdict::Unexpected;
    std::uint64_t start = 0; // the file offset of the body's first byte
    std::uint64_t limit = 0; // the most body bytes that belong to it; 0: no bound known
};

// Judges a successful (2xx) answer to a range request. fileSize is the size
// of the whole file when the asker knows it (0 otherwise); a Content-Range
// whose total names another size is not this file.
RangeAnswer JudgeRangeAnswer(std::uint32_t status, std::string_view contentRange,
                             const RangeAsked& asked, std::uint64_t fileSize);

} // namespace NetEx
