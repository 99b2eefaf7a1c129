#include "config/LsoFile.h"

#include <cstdint>

namespace config {

namespace {

constexpr std::size_t kCountSize = 8;
constexpr std::size_t kLengthSize = 4;

std::uint64_t ReadLe(std::string_view bytes, std::size_t size) {
    std::uint64_t value = 0;
    for (std::size_t i = size; i-- > 0;)
        value = (value << 8) | static_cast<unsigned char>(bytes[i]);
    return value;
}

void AppendLe(std::string* out, std::uint64_t value, std::size_t size) {
    for (std::size_t i = 0; i < size; ++i)
        out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

} // namespace

LsoResult ReadLso(std::string_view bytes, std::vector<std::string>* strings) {
    strings->clear();
    if (bytes.size() < kCountSize)
        return kLsoTooShort;
    const std::uint64_t count = ReadLe(bytes, kCountSize);
    if (count == 0)
        return kLsoZeroCount;
    if ((count >> 32) != 0)
        return kLsoCountTooLarge;
    bytes.remove_prefix(kCountSize);
    // Every record needs at least its length field.
    if (count > bytes.size() / kLengthSize)
        return kLsoTruncated;

    std::vector<std::string> result;
    result.reserve(static_cast<std::size_t>(count));
    for (std::uint64_t id = 0; id < count; ++id) {
        if (bytes.size() < kLengthSize)
            return kLsoTruncated;
        const std::uint64_t length = ReadLe(bytes, kLengthSize);
        bytes.remove_prefix(kLengthSize);
        if (length > bytes.size())
            return kLsoTruncated;
        result.emplace_back(bytes.substr(0, static_cast<std::size_t>(length)));
        bytes.remove_prefix(static_cast<std::size_t>(length));
    }
    *strings = std::move(result);
    return kLsoOk;
}

std::string WriteLso(const std::vector<std::string>& strings) {
    std::string out;
    AppendLe(&out, strings.size(), kCountSize);
    for (const std::string& text : strings) {
        AppendLe(&out, text.size(), kLengthSize);
        out += text;
    }
    return out;
}

const char* LsoResultText(LsoResult result) {
    switch (result) {
    case kLsoOk:
        return "ok";
    case kLsoTooShort:
        return "shorter than the string count";
    case kLsoZeroCount:
        return "string count is 0";
    case kLsoCountTooLarge:
        return "string count does not fit in 32 bits";
    case kLsoTruncated:
        return "a record runs past the end of the data";
    }
    return "unknown error";
}

} // namespace config
