#pragma once
// 128-bit steps shared by the carry-less multiplication forms: fold a block
// forward, and finish (fold the remaining 16-byte blocks, reduce to the 32-bit
// register, table form for the last bytes). Inline and compiled for PCLMULQDQ
// and SSE4.1; the wider forms enable a superset and inline them. Pure
// functions, safe on any thread.

#include "base/Crc32Impl.h"

#if BASE_CRC32_CLMUL

#include "base/Crc32Fold.h"

#include <immintrin.h>

namespace base::detail::clmul {

#define BASE_CRC32_TARGET_PCLMUL __attribute__((target("pclmul,sse4.1")))

BASE_CRC32_TARGET_PCLMUL inline __m128i Pair(std::uint64_t low, std::uint64_t high) {
    return _mm_set_epi64x(static_cast<long long>(high), static_cast<long long>(low));
}

BASE_CRC32_TARGET_PCLMUL inline __m128i Load(const std::uint8_t* p) {
    return _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
}

// x carried forward by the distance `k` was made for (fold::FoldBy).
BASE_CRC32_TARGET_PCLMUL inline __m128i Fold(__m128i x, __m128i k) {
    return _mm_xor_si128(_mm_clmulepi64_si128(x, k, 0x00), _mm_clmulepi64_si128(x, k, 0x11));
}

// The register of a message whose whole content, up to now, folded into x.
BASE_CRC32_TARGET_PCLMUL inline std::uint32_t Reduce(__m128i x) {
    const __m128i low32 = _mm_set_epi32(0, 0, 0, -1);
    const __m128i powers = Pair(fold::kX96, fold::kX64);
    const __m128i barrett = Pair(fold::kMu, fold::kPolyReflected);
    // First half times x^96 plus second half times x^32: 96 bits left.
    __m128i v = _mm_xor_si128(_mm_clmulepi64_si128(x, powers, 0x00), _mm_srli_si128(x, 8));
    // Top 32 bits times x^64 plus the lower 64: 64 bits left.
    __m128i w = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(v, low32), powers, 0x10),
                              _mm_srli_si128(v, 4));
    // Barrett: quotient from the top 32 bits, then subtract quotient * P.
    __m128i quotient = _mm_clmulepi64_si128(_mm_and_si128(w, low32), barrett, 0x00);
    __m128i product = _mm_clmulepi64_si128(_mm_and_si128(quotient, low32), barrett, 0x10);
    return static_cast<std::uint32_t>(_mm_extract_epi32(_mm_xor_si128(w, product), 1));
}

// Folds the whole 16-byte blocks of [p, p + size) into x, reduces, and runs
// the table form over the last size % 16 bytes.
BASE_CRC32_TARGET_PCLMUL inline std::uint32_t Finish(__m128i x, const std::uint8_t* p,
                                                     std::size_t size) {
    const __m128i by128 = Pair(fold::FoldBy(128).first, fold::FoldBy(128).second);
    for (; size >= 16; p += 16, size -= 16)
        x = _mm_xor_si128(Fold(x, by128), Load(p));
    return Crc32RegisterTable(Reduce(x), p, size);
}

} // namespace base::detail::clmul

#endif
