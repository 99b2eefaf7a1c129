#pragma once
// The decoder behind CRarArchive: unpacks the compressed and solid members of
// a RAR 4 archive held in memory. CRarArchive walks the headers itself and
// checks every member's size and CRC-32; the decoder only has to stand on
// the member asked for and hand out its bytes. The build compiles one of two
// implementations: libunarr (RarDecoderUnarr.cpp) where pkg-config finds it,
// libarchive's RAR reader (RarDecoderLibarchive.cpp) otherwise, as on
// Windows. Lives on the thread of its CRarArchive.

#include "config/RarHeaders.h"

#include <cstddef>
#include <cstdint>
#include <memory>

namespace config {

class CRarDecoder {
public:
    // Nullptr when the decoder cannot open the archive. The bytes are not
    // copied: they must outlive the decoder.
    static std::unique_ptr<CRarDecoder> Open(const std::uint8_t* data, std::size_t size);

    virtual ~CRarDecoder() = default;

    // Places the decoder at the start of a member's data. `ordinal` is the
    // member's place among the file headers in archive order. False unless
    // the decoder's entry there is the one the header walk described: the
    // same size, a plain file.
    virtual bool Place(const RarFileHeader& member, std::size_t ordinal) = 0;

    // Fills `size` bytes of the placed member's data, the next ones in
    // order. False on a decoder error or a member that ends before.
    virtual bool Read(std::uint8_t* out, std::size_t size) = 0;
};

} // namespace config
