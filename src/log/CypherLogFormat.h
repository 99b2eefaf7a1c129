#pragma once
// Layout of an enciphered HTTP log file, shared by its writer and reader: a
// chain of segments, each an 8-byte header ("ZCL1" and the little-endian
// length of the whole segment, header included; 0 while the segment is still
// open) followed by raw deflate data, sync-flushed per block and enciphered
// with Blowfish-CBC.

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace cypherlog {

inline constexpr std::string_view kMagic = "ZCL1";
inline constexpr std::size_t kHeaderSize = 8;
inline constexpr std::uint32_t kOpenSegment = 0;

// Deflate parameters of the writer.
inline constexpr int kDeflateLevel = 9;
inline constexpr int kWindowBits = -15; // raw deflate, no zlib wrapper
inline constexpr int kMemoryLevel = 9;

inline void PutLength(std::uint32_t length, unsigned char* out) {
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<unsigned char>(length >> (8 * i));
}

inline std::uint32_t GetLength(const unsigned char* in) {
    std::uint32_t length = 0;
    for (int i = 3; i >= 0; --i)
        length = (length << 8) | in[i];
    return length;
}

} // namespace cypherlog
