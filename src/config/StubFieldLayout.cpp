#include "config/StubFieldLayout.h"

namespace config {

namespace {

// The offset after the marker's terminating zero, or the block size when the
// block holds no zero.
std::size_t ValueStart(std::string_view field) {
    std::size_t zero = field.find('\0');
    return zero == std::string_view::npos ? field.size() : zero + 1;
}

// The zero-terminated string at `*pos`, bounded by the block; advances past
// its zero.
std::string TakeString(std::string_view field, std::size_t* pos) {
    std::size_t end = field.find('\0', *pos);
    if (end == std::string_view::npos)
        end = field.size();
    std::string text(field.substr(*pos, end - *pos));
    *pos = end < field.size() ? end + 1 : end;
    return text;
}

} // namespace

std::string ParseStubValue(std::string_view field) {
    std::size_t pos = ValueStart(field);
    return TakeString(field, &pos);
}

std::vector<std::string> ParseStubList(std::string_view field) {
    std::vector<std::string> list;
    std::size_t pos = ValueStart(field);
    while (pos < field.size()) {
        std::string text = TakeString(field, &pos);
        if (text.empty())
            break;
        list.push_back(std::move(text));
    }
    return list;
}

bool BuildStubValue(const std::vector<std::string>& values, bool isList, std::size_t available,
                    std::string* bytes) {
    if (!isList && values.size() > 1)
        return false;
    std::string layout;
    for (const std::string& value : values) {
        if (value.find('\0') != std::string::npos || (isList && value.empty()))
            return false;
        layout += value;
        layout += '\0';
    }
    if (isList)
        layout += '\0';
    if (layout.empty())
        layout += '\0';
    if (layout.size() > available)
        return false;
    layout.resize(available, '\0');
    *bytes = std::move(layout);
    return true;
}

} // namespace config
