// The public CRC-32 entry points and the choice of form: the widest one the
// CPU runs, decided on the first call (a thread-safe static) and kept.

#include "base/Crc32.h"

#include "base/Crc32Impl.h"

#include <initializer_list>

namespace base {

namespace detail {

namespace {

using RegisterFunction = std::uint32_t (*)(std::uint32_t, const void*, std::size_t);

RegisterFunction FunctionOf(Crc32Impl impl) {
#if BASE_CRC32_CLMUL
    switch (impl) {
    case Crc32Impl::Table:
        break;
    case Crc32Impl::Pclmul:
        return Crc32RegisterPclmul;
    case Crc32Impl::Avx2Vpclmul:
        return Crc32RegisterAvx2;
    case Crc32Impl::Avx512Vpclmul:
        return Crc32RegisterAvx512;
    }
#else
    (void)impl;
#endif
    return Crc32RegisterTable;
}

#if BASE_CRC32_CLMUL
bool CpuHas(Crc32Impl impl) {
    __builtin_cpu_init();
    bool pclmul = __builtin_cpu_supports("pclmul") && __builtin_cpu_supports("sse4.1");
    switch (impl) {
    case Crc32Impl::Table:
        return true;
    case Crc32Impl::Pclmul:
        return pclmul;
    case Crc32Impl::Avx2Vpclmul:
        return pclmul && __builtin_cpu_supports("avx2") && __builtin_cpu_supports("vpclmulqdq");
    case Crc32Impl::Avx512Vpclmul:
        return pclmul && __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("vpclmulqdq");
    }
    return false;
}
#endif

} // namespace

const char* Crc32ImplName(Crc32Impl impl) {
    switch (impl) {
    case Crc32Impl::Table:
        return "Table";
    case Crc32Impl::Pclmul:
        return "Pclmul";
    case Crc32Impl::Avx2Vpclmul:
        return "Avx2Vpclmul";
    case Crc32Impl::Avx512Vpclmul:
        return "Avx512Vpclmul";
    }
    return "Unknown";
}

bool Crc32ImplSupported(Crc32Impl impl) {
#if BASE_CRC32_CLMUL
    return CpuHas(impl);
#else
    return impl == Crc32Impl::Table;
#endif
}

Crc32Impl Crc32ImplChosen() {
    static const Crc32Impl chosen = [] {
        for (Crc32Impl impl : {Crc32Impl::Avx512Vpclmul, Crc32Impl::Avx2Vpclmul, Crc32Impl::Pclmul})
            if (Crc32ImplSupported(impl))
                return impl;
        return Crc32Impl::Table;
    }();
    return chosen;
}

std::uint32_t Crc32RegisterWith(Crc32Impl impl, std::uint32_t reg, const void* data,
                                std::size_t size) {
    if (!Crc32ImplSupported(impl))
        impl = Crc32Impl::Table;
    return FunctionOf(impl)(reg, data, size);
}

} // namespace detail

std::uint32_t Crc32Register(std::uint32_t reg, const void* data, std::size_t size) {
    static const detail::RegisterFunction chosen = detail::FunctionOf(detail::Crc32ImplChosen());
    return chosen(reg, data, size);
}

std::uint32_t Crc32(const void* data, std::size_t size, std::uint32_t previous) {
    return ~Crc32Register(~previous, data, size);
}

} // namespace base
