#include "update/ZipFormat.h"

namespace update::zip {

std::string LocalCrcAndSizes(std::uint32_t crc, std::uint32_t compressedSize, std::uint32_t size) {
    static_assert(localHeader::kCompressedSize.offset ==
                      localHeader::kCrc.offset + localHeader::kCrc.width &&
                  localHeader::kSize.offset ==
                      localHeader::kCompressedSize.offset + localHeader::kCompressedSize.width);
    std::string record(localHeader::kRecordSize, '\0');
    Set(&record, localHeader::kCrc, crc);
    Set(&record, localHeader::kCompressedSize, compressedSize);
    Set(&record, localHeader::kSize, size);
    return record.substr(localHeader::kCrc.offset, localHeader::kSize.offset +
                                                       localHeader::kSize.width -
                                                       localHeader::kCrc.offset);
}

} // namespace update::zip
