#include "net/RangeAnswer.h"

#include "platform/TextCase.h"

#include <charconv>

namespace NetEx {

namespace {

void SkipBlanks(std::string_view* text) {
    while (!text->empty() && (text->front() == ' ' || text->front() == '\t'))
        text->remove_prefix(1);
}

// A decimal number of digits only (no sign, no blanks), at most 2^64 - 1.
bool TakeNumber(std::string_view* text, std::uint64_t* value) {
    std::size_t digits = 0;
    while (digits < text->size() && (*text)[digits] >= '0' && (*text)[digits] <= '9')
        ++digits;
    if (digits == 0)
        return false;
    auto [end, problem] = std::from_chars(text->data(), text->data() + digits, *value);
    if (problem != std::errc() || end != text->data() + digits)
        return false;
    text->remove_prefix(digits);
    return true;
}

bool Take(std::string_view* text, char c) {
    if (text->empty() || text->front() != c)
        return false;
    text->remove_prefix(1);
    return true;
}

} // namespace

bool ParseContentRange(std::string_view text, ContentRange* range) {
    SkipBlanks(&text);
    constexpr std::string_view kUnit = "bytes";
    if (text.size() < kUnit.size() || !plat::EqualsNoCase(text.substr(0, kUnit.size()), kUnit))
        return false;
    text.remove_prefix(kUnit.size());
    if (text.empty() || (text.front() != ' ' && text.front() != '\t'))
        return false;
    SkipBlanks(&text);
    ContentRange parsed;
    if (!TakeNumber(&text, &parsed.first) || !Take(&text, '-') ||
        !TakeNumber(&text, &parsed.last) || !Take(&text, '/'))
        return false;
    if (Take(&text, '*')) {
        parsed.totalKnown = false;
    } else {
        if (!TakeNumber(&text, &parsed.total))
            return false;
        parsed.totalKnown = true;
    }
    SkipBlanks(&text);
    if (!text.empty() || parsed.last < parsed.first ||
        (parsed.totalKnown && parsed.last >= parsed.total))
        return false;
    *range = parsed;
    return true;
}

RangeAnswer JudgeRangeAnswer(std::uint32_t status, std::string_view contentRange,
                             const RangeAsked& asked, std::uint64_t fileSize) {
    RangeAnswer answer;
    if (status == 200) {
        // The whole file: the asked bytes when the range starts at 0,
        // otherwise a server that cannot resume.
        answer.verdict = asked.offset == 0 ? RangeVerdict::Accept : RangeVerdict::Restart;
        answer.start = 0;
        answer.limit = fileSize;
        return answer;
    }
    ContentRange range;
    if (status != 206 || !ParseContentRange(contentRange, &range) || range.first != asked.offset)
        return answer;
    const std::uint64_t count = range.last - range.first + 1;
    if (count == 0) // the whole 64-bit range: no file is that long
        return answer;
    if (asked.length != 0 && count > asked.length)
        return answer;
    if (fileSize != 0 && (range.last >= fileSize || (range.totalKnown && range.total != fileSize)))
        return answer;
    answer.verdict = RangeVerdict::Accept;
    answer.start = range.first;
    answer.limit = count;
    return answer;
}

} // namespace NetEx
