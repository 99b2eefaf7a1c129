// The 128-bit carry-less multiplication form of the CRC-32 register update:
// four 16-byte blocks folded in parallel, 64 bytes per round.

#include "base/Crc32Clmul.h"

#if BASE_CRC32_CLMUL

namespace base::detail {

namespace {

using clmul::Load;
using clmul::Pair;

BASE_CRC32_TARGET_PCLMUL std::uint32_t Update(std::uint32_t reg, const std::uint8_t* p,
                                              std::size_t size) {
    if (size < 16)
        return Crc32RegisterTable(reg, p, size);
    // The incoming register adds onto the first four bytes.
    const __m128i start = _mm_cvtsi32_si128(static_cast<int>(reg));
    if (size < 64) {
        __m128i x = _mm_xor_si128(Load(p), start);
        return clmul::Finish(x, p + 16, size - 16);
    }
    __m128i x0 = _mm_xor_si128(Load(p), start);
    __m128i x1 = Load(p + 16);
    __m128i x2 = Load(p + 32);
    __m128i x3 = Load(p + 48);
    p += 64;
    size -= 64;
    const __m128i by512 = Pair(fold::FoldBy(512).first, fold::FoldBy(512).second);
    for (; size >= 64; p += 64, size -= 64) {
        x0 = _mm_xor_si128(clmul::Fold(x0, by512), Load(p));
        x1 = _mm_xor_si128(clmul::Fold(x1, by512), Load(p + 16));
        x2 = _mm_xor_si128(clmul::Fold(x2, by512), Load(p + 32));
        x3 = _mm_xor_si128(clmul::Fold(x3, by512), Load(p + 48));
    }
    // Each block moves onto the last by its distance from it.
    const __m128i by384 = Pair(fold::FoldBy(384).first, fold::FoldBy(384).second);
    const __m128i by256 = Pair(fold::FoldBy(256).first, fold::FoldBy(256).second);
    const __m128i by128 = Pair(fold::FoldBy(128).first, fold::FoldBy(128).second);
    __m128i x = _mm_xor_si128(_mm_xor_si128(clmul::Fold(x0, by384), clmul::Fold(x1, by256)),
                              _mm_xor_si128(clmul::Fold(x2, by128), x3));
    return clmul::Finish(x, p, size);
}

} // namespace

std::uint32_t Crc32RegisterPclmul(std::uint32_t reg, const void* data, std::size_t size) {
    return Update(reg, static_cast<const std::uint8_t*>(data), size);
}

} // namespace base::detail

#endif
