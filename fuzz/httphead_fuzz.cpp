// Fuzz target for what a server's answer head is read by: the response-head
// parser with its Content-Length lookup, and the Content-Range reader with
// the judgement of a range answer. Every header found must lie inside the
// bytes, and an accepted range must start at the asked offset and stay
// within the file.

#include "net/PicoHttpParser.h"
#include "net/RangeAnswer.h"

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

namespace {

bool Inside(const char* begin, std::size_t size, const char* at, std::size_t length) {
    return at >= begin && length <= size &&
           at - begin <= static_cast<std::ptrdiff_t>(size - length);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const char* bytes = reinterpret_cast<const char*>(data);
    NetEx::CPicoHttpParser parser;
    int result = parser.Parse(bytes, size);
    if (result != NetEx::CPicoHttpParser::kComplete &&
        result != NetEx::CPicoHttpParser::kMalformed &&
        result != NetEx::CPicoHttpParser::kIncomplete)
        __builtin_trap();
    if (parser.HeaderCount() > NetEx::CPicoHttpParser::kMaxHeaders)
        __builtin_trap();
    for (std::size_t i = 0; i < parser.HeaderCount(); ++i) {
        const auto& header = parser.HeaderAt(i);
        if ((header.name && !Inside(bytes, size, header.name, header.nameLength)) ||
            (header.value && !Inside(bytes, size, header.value, header.valueLength)))
            __builtin_trap();
    }
    parser.ContentLength();

    // The same bytes as a Content-Range, with an asked range and a file size
    // taken from the first bytes.
    NetEx::ContentRange range;
    const std::string text(bytes, size);
    if (NetEx::ParseContentRange(text, &range) &&
        (range.last < range.first || (range.totalKnown && range.last >= range.total)))
        __builtin_trap();
    std::uint32_t numbers[3] = {};
    std::memcpy(numbers, data, std::min(size, sizeof numbers));
    const NetEx::RangeAsked asked{numbers[0] % 4096, numbers[1] % 4096};
    const std::uint64_t fileSize = numbers[2] % 8192;
    for (std::uint32_t status : {200u, 206u, 204u}) {
        NetEx::RangeAnswer answer = NetEx::JudgeRangeAnswer(status, text, asked, fileSize);
        if (answer.verdict == NetEx::RangeVerdict::Accept && status == 206) {
            if (answer.start != asked.offset || answer.limit == 0 ||
                (fileSize != 0 && answer.start + answer.limit > fileSize) ||
                (asked.length != 0 && answer.limit > asked.length))
                __builtin_trap();
        }
    }
    return 0;
}
