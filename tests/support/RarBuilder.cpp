#include "support/RarBuilder.h"

#include <zlib.h>

namespace testsupport {

namespace {

std::uint32_t Crc(const std::string& bytes) {
    return static_cast<std::uint32_t>(
        crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

void Put(std::string* out, std::uint64_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out->push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// HEAD_CRC (the low half of the CRC-32 of the rest) and the rest.
std::string Block(std::uint8_t type, std::uint16_t flags, const std::string& fields,
                  bool spoil = false) {
    std::string rest;
    rest.push_back(static_cast<char>(type));
    Put(&rest, flags, 2);
    Put(&rest, 7 + fields.size(), 2);
    rest += fields;
    std::string block;
    Put(&block, (Crc(rest) & 0xFFFF) ^ (spoil ? 0x5A5A : 0), 2);
    return block + rest;
}

} // namespace

RarMember RarMember::Stored(const std::string& name, const std::string& bytes) {
    RarMember member;
    member.rawName = name;
    member.data = bytes;
    member.unpackedSize = bytes.size();
    member.crc = Crc(bytes);
    return member;
}

std::string BuildRar(const std::vector<RarMember>& members, bool solid, bool endBlock) {
    std::string archive("Rar!\x1A\x07\x00", 7);
    std::string reserved;
    Put(&reserved, 0, 6);
    archive += Block(0x73, solid ? 0x0008 : 0, reserved);
    for (const RarMember& member : members) {
        const std::uint64_t packed =
            member.packedSize == ~0ull ? member.data.size() : member.packedSize;
        const bool large = packed > 0xFFFFFFFFu || member.unpackedSize > 0xFFFFFFFFu;
        std::string fields;
        Put(&fields, packed & 0xFFFFFFFFu, 4);
        Put(&fields, member.unpackedSize & 0xFFFFFFFFu, 4);
        fields.push_back(static_cast<char>(member.host));
        Put(&fields, member.crc, 4);
        Put(&fields, 0x28210000u, 4);
        fields.push_back(29);
        fields.push_back(static_cast<char>(member.method));
        Put(&fields, member.rawName.size(), 2);
        Put(&fields, member.attributes, 4);
        if (large) {
            Put(&fields, packed >> 32, 4);
            Put(&fields, member.unpackedSize >> 32, 4);
        }
        fields += member.rawName;
        std::uint16_t flags =
            static_cast<std::uint16_t>(0x8000 | member.flags | (large ? 0x100 : 0));
        archive += Block(0x74, flags, fields, member.spoilHeaderCrc);
        archive += member.data;
    }
    if (endBlock)
        archive += Block(0x7B, 0x4000, std::string());
    return archive;
}

} // namespace testsupport
