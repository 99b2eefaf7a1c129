#pragma once
// The raw deflate streams of ZIP entries unpacked from memory, whole into a
// buffer or block by block through a sink, with the CRC-32 of what came out.
// The inflater is Intel's ISA-L where the build has it (x86-64 and AArch64:
// more than twice zlib's speed on the launcher's packages, see the unpacker
// benchmark), zlib elsewhere. Any thread; no state kept between calls.

#include "update/ZipFile.h"

#include <cstddef>
#include <cstdint>

namespace update {

// Block size of the sink form: small enough to stay in the processor's
// cache between the inflater, the CRC and the write.
inline constexpr std::size_t kInflateBlock = 256 * 1024;

// Inflates `in` into exactly `expected` bytes: into `out` (room for all of
// them) when it is given, else through the sink. A stream that ends early,
// is damaged or runs past `expected` is kZipCorrupt; a full output ends the
// work as well as the end of the stream does. *crc is the CRC-32 of the
// bytes produced.
ZipResult InflateEntry(const std::uint8_t* in, std::size_t inSize, std::uint32_t expected,
                       std::uint8_t* out, const CZipFile::Sink* sink, std::uint32_t* crc);

// The inflater this build uses: "isa-l" or "zlib".
const char* InflaterName();

// The zlib inflater whatever the build has, for comparisons.
ZipResult InflateEntryZlib(const std::uint8_t* in, std::size_t inSize, std::uint32_t expected,
                           std::uint8_t* out, const CZipFile::Sink* sink, std::uint32_t* crc);

} // namespace update
