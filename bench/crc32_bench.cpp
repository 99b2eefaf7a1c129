// CRC-32 throughput: base::Crc32 (the form this CPU chose) against zlib's
// crc32 on 4 KiB, 64 KiB and 256 MiB, plus each form on its own and an
// unaligned start. Reports bytes per second.

#include "base/Crc32.h"
#include "base/Crc32Impl.h"

#include <benchmark/benchmark.h>
#include <zlib.h>

#include <cstdint>
#include <vector>

namespace {

constexpr std::size_t kLargest = std::size_t{256} << 20;

// One shared buffer of pseudo-random bytes, 64-byte aligned, with a spare
// line for the unaligned runs.
const std::uint8_t* Buffer() {
    static const std::vector<std::uint64_t> words = [] {
        std::vector<std::uint64_t> filled(kLargest / 8 + 8 + 8);
        std::uint64_t state = 0x9E3779B97F4A7C15ull;
        for (std::uint64_t& word : filled) {
            // splitmix64
            std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
            z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
            z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
            word = z ^ (z >> 31);
        }
        return filled;
    }();
    auto address = reinterpret_cast<std::uintptr_t>(words.data());
    return reinterpret_cast<const std::uint8_t*>((address + 63) & ~std::uintptr_t{63});
}

void Sizes(benchmark::internal::Benchmark* bench) {
    bench->Arg(4 << 10)->Arg(64 << 10)->Arg(static_cast<std::int64_t>(kLargest));
}

void BM_LauncherCrc32(benchmark::State& state) {
    const std::uint8_t* data = Buffer();
    const auto size = static_cast<std::size_t>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(base::Crc32(data, size));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
    state.SetLabel(base::detail::Crc32ImplName(base::detail::Crc32ImplChosen()));
}
BENCHMARK(BM_LauncherCrc32)->Apply(Sizes);

void BM_ZlibCrc32(benchmark::State& state) {
    const std::uint8_t* data = Buffer();
    const auto size = static_cast<z_size_t>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(crc32_z(0, data, size));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_ZlibCrc32)->Apply(Sizes);

// Starting 3 bytes past a line boundary: every vector load straddles.
void BM_LauncherCrc32Unaligned(benchmark::State& state) {
    const std::uint8_t* data = Buffer() + 3;
    const auto size = static_cast<std::size_t>(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(base::Crc32(data, size));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(0));
}
BENCHMARK(BM_LauncherCrc32Unaligned)->Apply(Sizes);

void BM_Crc32Form(benchmark::State& state) {
    const auto impl = static_cast<base::detail::Crc32Impl>(state.range(0));
    if (!base::detail::Crc32ImplSupported(impl)) {
        state.SkipWithError("not supported by this CPU");
        return;
    }
    const std::uint8_t* data = Buffer();
    const auto size = static_cast<std::size_t>(state.range(1));
    for (auto _ : state)
        benchmark::DoNotOptimize(base::detail::Crc32RegisterWith(impl, ~0u, data, size));
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations()) * state.range(1));
    state.SetLabel(base::detail::Crc32ImplName(impl));
}
BENCHMARK(BM_Crc32Form)->ArgsProduct({{0, 1, 2, 3}, {4 << 10, 64 << 10}});

} // namespace

BENCHMARK_MAIN();
