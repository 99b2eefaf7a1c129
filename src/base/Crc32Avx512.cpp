// The 512-bit carry-less multiplication form of the CRC-32 register update:
// VPCLMULQDQ on AVX-512 registers, four 64-byte blocks folded in parallel,
// 256 bytes per round.

#include "base/Crc32Clmul.h"

#if BASE_CRC32_CLMUL

namespace base::detail {

namespace {

#define BASE_CRC32_TARGET_AVX512 __attribute__((target("pclmul,sse4.1,avx512f,vpclmulqdq")))

// One pair per 16-byte lane, lane 0 first.
BASE_CRC32_TARGET_AVX512 __m512i Pairs4(fold::FoldPair k0, fold::FoldPair k1, fold::FoldPair k2,
                                        fold::FoldPair k3) {
    auto q = [](std::uint64_t v) { return static_cast<long long>(v); };
    return _mm512_set_epi64(q(k3.second), q(k3.first), q(k2.second), q(k2.first), q(k1.second),
                            q(k1.first), q(k0.second), q(k0.first));
}

BASE_CRC32_TARGET_AVX512 __m512i Pair4(fold::FoldPair k) {
    return Pairs4(k, k, k, k);
}

// One 16-byte lane. The zero-masked extract keeps GCC from warning about the
// undefined source operand of the plain one.
template <int Lane> BASE_CRC32_TARGET_AVX512 __m128i LaneOf(__m512i z) {
    return _mm512_maskz_extracti32x4_epi32(0xF, z, Lane);
}

BASE_CRC32_TARGET_AVX512 __m512i Load4(const std::uint8_t* p) {
    return _mm512_loadu_si512(p);
}

// All four lanes carried forward by their distances in `k`, plus `add`.
BASE_CRC32_TARGET_AVX512 __m512i Fold4Add(__m512i z, __m512i k, __m512i add) {
    return _mm512_ternarylogic_epi64(_mm512_clmulepi64_epi128(z, k, 0x00),
                                     _mm512_clmulepi64_epi128(z, k, 0x11), add, 0x96);
}

BASE_CRC32_TARGET_AVX512 std::uint32_t Update(std::uint32_t reg, const std::uint8_t* p,
                                              std::size_t size) {
    if (size < 256)
        return Crc32RegisterPclmul(reg, p, size);
    const __m512i start = _mm512_zextsi128_si512(_mm_cvtsi32_si128(static_cast<int>(reg)));
    __m512i z0 = _mm512_xor_si512(Load4(p), start);
    __m512i z1 = Load4(p + 64);
    __m512i z2 = Load4(p + 128);
    __m512i z3 = Load4(p + 192);
    p += 256;
    size -= 256;
    const __m512i by2048 = Pair4(fold::FoldBy(2048));
    for (; size >= 256; p += 256, size -= 256) {
        z0 = Fold4Add(z0, by2048, Load4(p));
        z1 = Fold4Add(z1, by2048, Load4(p + 64));
        z2 = Fold4Add(z2, by2048, Load4(p + 128));
        z3 = Fold4Add(z3, by2048, Load4(p + 192));
    }
    __m512i z = Fold4Add(
        z0, Pair4(fold::FoldBy(1536)),
        Fold4Add(z1, Pair4(fold::FoldBy(1024)), Fold4Add(z2, Pair4(fold::FoldBy(512)), z3)));
    const __m512i by512 = Pair4(fold::FoldBy(512));
    for (; size >= 64; p += 64, size -= 64)
        z = Fold4Add(z, by512, Load4(p));
    // Lanes 0..2 move onto lane 3 by their distances from it; lane 3's
    // multipliers are zero so it contributes only itself.
    const __m512i toLast =
        Pairs4(fold::FoldBy(384), fold::FoldBy(256), fold::FoldBy(128), fold::FoldPair{0, 0});
    __m512i moved = Fold4Add(z, toLast, _mm512_setzero_si512());
    __m128i x = _mm_xor_si128(_mm_xor_si128(LaneOf<0>(moved), LaneOf<1>(moved)),
                              _mm_xor_si128(LaneOf<2>(moved), LaneOf<3>(z)));
    return clmul::Finish(x, p, size);
}

} // namespace

std::uint32_t Crc32RegisterAvx512(std::uint32_t reg, const void* data, std::size_t size) {
    return Update(reg, static_cast<const std::uint8_t*>(data), size);
}

} // namespace base::detail

#endif
