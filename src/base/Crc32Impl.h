#pragma once
// The interchangeable forms behind base::Crc32Register: the portable table
// form and the carry-less multiplication forms for x86 CPUs that have them.
// Crc32.cpp picks the fastest supported form once; tests and benchmarks name
// one explicitly here. Pure functions, safe on any thread.

#include <cstddef>
#include <cstdint>

// The carry-less multiplication forms need x86 and the GCC/Clang target
// attributes that compile them without raising the baseline of the build.
#if (defined(__x86_64__) || defined(__i386__)) && defined(__GNUC__)
#define BASE_CRC32_CLMUL 1
#else
#define BASE_CRC32_CLMUL 0
#endif

namespace base::detail {

enum class Crc32Impl {
    Table,         // slicing-by-8 tables, any CPU
    Pclmul,        // 128-bit folding with PCLMULQDQ and SSE4.1
    Avx2Vpclmul,   // 256-bit folding with VPCLMULQDQ on AVX2 registers
    Avx512Vpclmul, // 512-bit folding with VPCLMULQDQ on AVX-512 registers
};

inline constexpr Crc32Impl kAllCrc32Impls[] = {Crc32Impl::Table, Crc32Impl::Pclmul,
                                               Crc32Impl::Avx2Vpclmul, Crc32Impl::Avx512Vpclmul};

const char* Crc32ImplName(Crc32Impl impl);

// Whether this build and this CPU can run `impl`. The table form always can.
bool Crc32ImplSupported(Crc32Impl impl);

// The form base::Crc32Register uses: the widest one supported.
Crc32Impl Crc32ImplChosen();

// The register update of base::Crc32Register computed by `impl`; a form the
// CPU cannot run falls back to the table form.
std::uint32_t Crc32RegisterWith(Crc32Impl impl, std::uint32_t reg, const void* data,
                                std::size_t size);

// The forms themselves. Only call a carry-less form that Crc32ImplSupported
// reports as supported.
std::uint32_t Crc32RegisterTable(std::uint32_t reg, const void* data, std::size_t size);
#if BASE_CRC32_CLMUL
std::uint32_t Crc32RegisterPclmul(std::uint32_t reg, const void* data, std::size_t size);
std::uint32_t Crc32RegisterAvx2(std::uint32_t reg, const void* data, std::size_t size);
std::uint32_t Crc32RegisterAvx512(std::uint32_t reg, const void* data, std::size_t size);
#endif

} // namespace base::detail
