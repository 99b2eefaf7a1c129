// The 256-bit carry-less multiplication form of the CRC-32 register update:
// VPCLMULQDQ on AVX2 registers, four 32-byte blocks folded in parallel, 128
// bytes per round. For CPUs that have VPCLMULQDQ without AVX-512.

#include "base/Crc32Clmul.h"

#if BASE_CRC32_CLMUL

namespace base::detail {

namespace {

#define BASE_CRC32_TARGET_AVX2 __attribute__((target("pclmul,sse4.1,avx2,vpclmulqdq")))

BASE_CRC32_TARGET_AVX2 __m256i Pair2(fold::FoldPair k) {
    return _mm256_set_epi64x(static_cast<long long>(k.second), static_cast<long long>(k.first),
                             static_cast<long long>(k.second), static_cast<long long>(k.first));
}

BASE_CRC32_TARGET_AVX2 __m256i Load2(const std::uint8_t* p) {
    return _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
}

// Both 16-byte lanes carried forward by the distance of `k`.
BASE_CRC32_TARGET_AVX2 __m256i Fold2(__m256i y, __m256i k) {
    return _mm256_xor_si256(_mm256_clmulepi64_epi128(y, k, 0x00),
                            _mm256_clmulepi64_epi128(y, k, 0x11));
}

BASE_CRC32_TARGET_AVX2 std::uint32_t Update(std::uint32_t reg, const std::uint8_t* p,
                                            std::size_t size) {
    if (size < 128)
        return Crc32RegisterPclmul(reg, p, size);
    const __m256i start = _mm256_zextsi128_si256(_mm_cvtsi32_si128(static_cast<int>(reg)));
    __m256i y0 = _mm256_xor_si256(Load2(p), start);
    __m256i y1 = Load2(p + 32);
    __m256i y2 = Load2(p + 64);
    __m256i y3 = Load2(p + 96);
    p += 128;
    size -= 128;
    const __m256i by1024 = Pair2(fold::FoldBy(1024));
    for (; size >= 128; p += 128, size -= 128) {
        y0 = _mm256_xor_si256(Fold2(y0, by1024), Load2(p));
        y1 = _mm256_xor_si256(Fold2(y1, by1024), Load2(p + 32));
        y2 = _mm256_xor_si256(Fold2(y2, by1024), Load2(p + 64));
        y3 = _mm256_xor_si256(Fold2(y3, by1024), Load2(p + 96));
    }
    __m256i y = _mm256_xor_si256(
        _mm256_xor_si256(Fold2(y0, Pair2(fold::FoldBy(768))), Fold2(y1, Pair2(fold::FoldBy(512)))),
        _mm256_xor_si256(Fold2(y2, Pair2(fold::FoldBy(256))), y3));
    const __m256i by256 = Pair2(fold::FoldBy(256));
    for (; size >= 32; p += 32, size -= 32)
        y = _mm256_xor_si256(Fold2(y, by256), Load2(p));
    // The first lane moves onto the second.
    const __m128i by128 = clmul::Pair(fold::FoldBy(128).first, fold::FoldBy(128).second);
    __m128i x = _mm_xor_si128(clmul::Fold(_mm256_castsi256_si128(y), by128),
                              _mm256_extracti128_si256(y, 1));
    return clmul::Finish(x, p, size);
}

} // namespace

std::uint32_t Crc32RegisterAvx2(std::uint32_t reg, const void* data, std::size_t size) {
    return Update(reg, static_cast<const std::uint8_t*>(data), size);
}

} // namespace base::detail

#endif
