#pragma once
// A walk over the block headers of a RAR 4 archive in memory. It gives what
// the decoder does not check or does not tell: every header's own CRC is
// checked, every field is bounds-checked against the bytes, encrypted and
// multi-volume archives are refused, the archive must end with its
// end-of-archive block, and each file header yields its decoded name, sizes,
// CRC-32, method, kind (folder, link) and where its data lie. Pure functions,
// safe on any thread.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace config {

struct RarFileHeader {
    std::string rawName;            // FILE_NAME as stored, unicode part included
    std::string name;               // decoded to UTF-8, separators as stored
    std::uint64_t unpackedSize = 0; // UNP_SIZE with its high part
    std::uint64_t packedSize = 0;   // PACK_SIZE with its high part
    std::uint32_t crc = 0;          // FILE_CRC
    std::size_t headerOffset = 0;   // where the file header begins
    std::size_t dataOffset = 0;     // where its packed data begin
    std::uint8_t method = 0;        // 0x30 stored, 0x31..0x35 compressed
    bool isDirectory = false;
    bool isLink = false; // a symbolic link or another reparse point: never written
    bool solid = false;  // its data continue the previous member's state
    bool IsStored() const { return method == kStoredMethod; }

    static constexpr std::uint8_t kStoredMethod = 0x30;
};

struct RarArchiveHeaders {
    bool solid = false; // the archive header's solid flag
    std::vector<RarFileHeader> files;
};

// The file headers in archive order. False for anything but a complete,
// unencrypted single-volume RAR 4 archive that starts with the marker block
// and ends with the end-of-archive block.
bool ReadRarArchiveHeaders(std::string_view archive, RarArchiveHeaders* headers);
bool ReadRarFileHeaders(std::string_view archive, std::vector<RarFileHeader>* files);

// The UTF-8 form of a stored name: with the unicode flag either UTF-8 itself
// or an OEM name, a zero byte and RAR's compact Unicode encoding of it;
// without the flag a code page 437 name.
std::string DecodeRarName(std::string_view raw, bool unicodeFlag);

} // namespace config
