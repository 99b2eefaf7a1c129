#pragma once
// CRC-32 of the reflected polynomial 0xEDB88320, as zlib computes it. The work
// runs in the fastest form this CPU supports (carry-less multiplication
// folding where available, tables otherwise; see Crc32Impl.h). Pure
// functions, safe on any thread.

#include <cstddef>
#include <cstdint>

namespace base {

// The standard CRC-32, continuing from `previous` (the CRC of the bytes
// before): equal to zlib's crc32(previous, data, size). Start with 0.
std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t previous = 0);

// The bare register update without the inversions before and after: chaining
// calls over consecutive pieces equals one call over their concatenation.
// Crc32(data, size, prev) == ~Crc32Register(~prev, data, size).
std::uint32_t Crc32Register(std::uint32_t reg, const void* data, std::size_t size);

} // namespace base
