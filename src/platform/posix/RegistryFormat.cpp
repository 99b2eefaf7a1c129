#include "platform/posix/RegistryFormat.h"

#include "platform/TextCase.h"
#include "platform/Unicode.h"

#include <cstdint>

namespace plat::posix {

namespace {

constexpr std::string_view kHeader = "LRV1\n";
constexpr unsigned char kRawUnit = 0xFF;
constexpr std::size_t kMaxDigits = 10; // enough for any 32-bit number

// Units taken by the character at `i`: 1, or 2 for a surrogate pair where
// wchar_t is 16 bits; 0 when the unit is no character.
std::size_t CharLength(std::wstring_view s, std::size_t i) {
    auto unit = static_cast<std::uint32_t>(s[i]);
    if constexpr (sizeof(wchar_t) == 2) {
        if (unit >= 0xD800 && unit <= 0xDBFF && i + 1 < s.size()) {
            auto next = static_cast<std::uint32_t>(s[i + 1]);
            if (next >= 0xDC00 && next <= 0xDFFF)
                return 2;
        }
    }
    if ((unit >= 0xD800 && unit <= 0xDFFF) || unit > 0x10FFFF)
        return 0;
    return 1;
}

// Reads decimal digits up to `end` at `pos`; advances past the terminator.
bool ReadNumber(std::string_view file, std::size_t& pos, char end, std::uint64_t* number) {
    std::uint64_t result = 0;
    std::size_t digits = 0;
    while (pos < file.size() && file[pos] >= '0' && file[pos] <= '9') {
        if (++digits > kMaxDigits)
            return false;
        result = result * 10 + static_cast<std::uint64_t>(file[pos] - '0');
        ++pos;
    }
    if (digits == 0 || pos >= file.size() || file[pos] != end)
        return false;
    ++pos;
    *number = result;
    return true;
}

bool ParseDword(std::string_view data, std::uint32_t* value) {
    if (data.empty() || data.size() > kMaxDigits)
        return false;
    std::uint64_t number = 0;
    for (char c : data) {
        if (c < '0' || c > '9')
            return false;
        number = number * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (number > 0xFFFFFFFFull)
        return false;
    *value = static_cast<std::uint32_t>(number);
    return true;
}

bool ParseData(RegistryType type, std::string_view data, RegistryValue* value) {
    value->type = type;
    switch (type) {
    case RegistryType::String:
        return DecodeWideBytes(data, &value->text);
    case RegistryType::Binary:
        value->bytes.assign(data);
        return true;
    case RegistryType::Dword:
        return ParseDword(data, &value->dword);
    }
    return false;
}

std::string DataBytes(const RegistryValue& value) {
    switch (value.type) {
    case RegistryType::String:
        return EncodeWideBytes(value.text);
    case RegistryType::Binary:
        return value.bytes;
    case RegistryType::Dword:
        return std::to_string(value.dword);
    }
    return std::string();
}

bool KnownType(std::uint64_t type) {
    return type == static_cast<std::uint64_t>(RegistryType::String) ||
           type == static_cast<std::uint64_t>(RegistryType::Binary) ||
           type == static_cast<std::uint64_t>(RegistryType::Dword);
}

// One record at `pos`; advances past it.
bool ParseRecord(std::string_view file, std::size_t& pos, StoredValue* record) {
    std::uint64_t type = 0, nameLength = 0, dataLength = 0;
    if (!ReadNumber(file, pos, ' ', &type) || !ReadNumber(file, pos, ' ', &nameLength) ||
        !ReadNumber(file, pos, '\n', &dataLength) || !KnownType(type))
        return false;
    std::size_t left = file.size() - pos;
    if (nameLength > left || dataLength > left - nameLength || left - nameLength - dataLength < 1)
        return false;
    std::string_view name = file.substr(pos, nameLength);
    std::string_view data = file.substr(pos + nameLength, dataLength);
    pos += nameLength + dataLength;
    if (file[pos++] != '\n')
        return false;
    return DecodeWideBytes(name, &record->name) &&
           ParseData(static_cast<RegistryType>(type), data, &record->value);
}

} // namespace

std::string EncodeWideBytes(std::wstring_view text) {
    std::string out;
    std::size_t runStart = 0;
    for (std::size_t i = 0; i < text.size();) {
        std::size_t length = CharLength(text, i);
        if (length > 0) {
            i += length;
            continue;
        }
        out += WideToUtf8(text.substr(runStart, i - runStart));
        auto unit = static_cast<std::uint32_t>(text[i]);
        out.push_back(static_cast<char>(kRawUnit));
        for (int shift = 24; shift >= 0; shift -= 8)
            out.push_back(static_cast<char>((unit >> shift) & 0xFF));
        runStart = ++i;
    }
    out += WideToUtf8(text.substr(runStart));
    return out;
}

bool DecodeWideBytes(std::string_view bytes, std::wstring* text) {
    std::wstring out;
    std::size_t pos = 0;
    while (pos <= bytes.size()) {
        std::size_t raw = bytes.find(static_cast<char>(kRawUnit), pos);
        std::string_view run = bytes.substr(pos, raw == std::string_view::npos ? raw : raw - pos);
        bool ok = true;
        out += Utf8ToWide(run, &ok);
        if (!ok)
            return false;
        if (raw == std::string_view::npos)
            break;
        if (bytes.size() - raw < 5)
            return false;
        std::uint32_t unit = 0;
        for (std::size_t k = 1; k <= 4; ++k)
            unit = (unit << 8) | static_cast<std::uint8_t>(bytes[raw + k]);
        if (sizeof(wchar_t) == 2 && unit > 0xFFFF)
            return false;
        out.push_back(static_cast<wchar_t>(unit));
        pos = raw + 5;
    }
    *text = std::move(out);
    return true;
}

StoredValue* FindValue(ValueList& values, std::wstring_view name) {
    for (StoredValue& stored : values) {
        if (EqualsNoCase(stored.name, name))
            return &stored;
    }
    return nullptr;
}

const StoredValue* FindValue(const ValueList& values, std::wstring_view name) {
    for (const StoredValue& stored : values) {
        if (EqualsNoCase(stored.name, name))
            return &stored;
    }
    return nullptr;
}

std::string SerializeValues(const ValueList& values) {
    std::string out(kHeader);
    for (const StoredValue& stored : values) {
        std::string name = EncodeWideBytes(stored.name);
        std::string data = DataBytes(stored.value);
        out += std::to_string(static_cast<std::uint32_t>(stored.value.type));
        out += ' ';
        out += std::to_string(name.size());
        out += ' ';
        out += std::to_string(data.size());
        out += '\n';
        out += name;
        out += data;
        out += '\n';
    }
    return out;
}

bool ParseValues(std::string_view file, ValueList* values) {
    values->clear();
    if (file.substr(0, kHeader.size()) != kHeader)
        return false;
    ValueList parsed;
    std::size_t pos = kHeader.size();
    while (pos < file.size()) {
        StoredValue record;
        if (!ParseRecord(file, pos, &record) || FindValue(parsed, record.name))
            return false;
        parsed.push_back(std::move(record));
    }
    *values = std::move(parsed);
    return true;
}

} // namespace plat::posix
