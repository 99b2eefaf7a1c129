#include "platform/posix/EncodedName.h"

#include <cstdint>

namespace plat::posix {

std::string EncodeName(std::string_view bytes, std::size_t maxLength) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string out;
    for (unsigned char c : bytes) {
        bool plain = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                     c == '-' || c == '_';
        if (plain) {
            out.push_back(static_cast<char>(c));
        } else {
            out.push_back('%');
            out.push_back(kHex[c >> 4]);
            out.push_back(kHex[c & 0xF]);
        }
    }
    if (out.size() > maxLength && maxLength > 17) {
        std::uint64_t hash = 0xcbf29ce484222325ull; // FNV-1a
        for (unsigned char c : bytes)
            hash = (hash ^ c) * 0x100000001b3ull;
        out.resize(maxLength - 17);
        out.push_back('~');
        for (int shift = 60; shift >= 0; shift -= 4)
            out.push_back(kHex[(hash >> shift) & 0xF]);
    }
    return out;
}

} // namespace plat::posix
