// Unpacking throughput of the package unpacker: a ZIP package (deflate) and a
// RAR 4 package (stored entries) written to disk once, then unpacked by the
// unpacker thread into a fresh folder per iteration. The package size comes
// from UNPACKER_BENCH_MB (default 64); the files are kept under
// UNPACKER_BENCH_DIR (default /tmp/unpacker-bench) so that another unpacker
// can be timed on the same packages. BM_Inflate compares the inflaters on one
// entry held in memory, as the unpacker inflates entries of known size: zlib,
// the one this build uses (ISA-L where it has it) and libdeflate.

#include "base/Crc32.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/Unicode.h"
#include "platform/Window.h"
#include "update/UnpackerMessages.h"
#include "update/UnpackerThread.h"
#include "update/ZipInflate.h"

#include <benchmark/benchmark.h>
#include <zlib.h>
#ifdef UNPACKER_BENCH_LIBDEFLATE
#include <libdeflate.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

constexpr std::size_t kEntrySize = 4 << 20;

std::string Folder() {
    const char* dir = std::getenv("UNPACKER_BENCH_DIR");
    return dir && *dir ? dir : "/tmp/unpacker-bench";
}

std::size_t PackageBytes() {
    const char* mb = std::getenv("UNPACKER_BENCH_MB");
    return static_cast<std::size_t>(mb && *mb ? std::atoll(mb) : 64) << 20;
}

// Text-like bytes that deflate to about a third.
std::string EntryData(std::size_t index) {
    std::string data;
    data.reserve(kEntrySize);
    std::uint32_t state = static_cast<std::uint32_t>(index * 2654435761u + 1);
    while (data.size() < kEntrySize) {
        state = state * 1103515245u + 12345u;
        data += "record " + std::to_string(state >> 12) + " value " + std::to_string(state % 977) +
                "\n";
    }
    data.resize(kEntrySize);
    return data;
}

void Put(std::string* out, std::uint32_t value, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out->push_back(static_cast<char>(value >> (8 * i)));
}

std::string Deflate(const std::string& data) {
    z_stream stream{};
    deflateInit2(&stream, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string out(deflateBound(&stream, static_cast<uLong>(data.size())), '\0');
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data.data()));
    stream.avail_in = static_cast<uInt>(data.size());
    stream.next_out = reinterpret_cast<Bytef*>(out.data());
    stream.avail_out = static_cast<uInt>(out.size());
    deflate(&stream, Z_FINISH);
    out.resize(stream.total_out);
    deflateEnd(&stream);
    return out;
}

// ZIP with deflated entries, written entry by entry.
void WriteZip(const std::wstring& path, std::size_t count) {
    plat::File file;
    file.Open(path, plat::kWrite, plat::Disposition::CreateAlways);
    std::string central;
    std::uint32_t offset = 0;
    for (std::size_t i = 0; i < count; ++i) {
        std::string name = "data/part" + std::to_string(i) + ".bin";
        std::string data = EntryData(i), packed = Deflate(data);
        std::uint32_t crc = base::Crc32(data.data(), data.size());
        std::string header;
        Put(&header, 0x04034b50, 4);
        for (std::uint32_t v : {20u, 0u, 8u, 0u, 0u})
            Put(&header, v, 2);
        Put(&header, crc, 4);
        Put(&header, static_cast<std::uint32_t>(packed.size()), 4);
        Put(&header, static_cast<std::uint32_t>(data.size()), 4);
        Put(&header, static_cast<std::uint32_t>(name.size()), 2);
        Put(&header, 0, 2);
        header += name;
        Put(&central, 0x02014b50, 4);
        for (std::uint32_t v : {20u, 20u, 0u, 8u, 0u, 0u})
            Put(&central, v, 2);
        Put(&central, crc, 4);
        Put(&central, static_cast<std::uint32_t>(packed.size()), 4);
        Put(&central, static_cast<std::uint32_t>(data.size()), 4);
        Put(&central, static_cast<std::uint32_t>(name.size()), 2);
        for (int k = 0; k < 4; ++k)
            Put(&central, 0, 2);
        Put(&central, 0, 4);
        Put(&central, offset, 4);
        central += name;
        file.Write(header.data(), header.size());
        file.Write(packed.data(), packed.size());
        offset += static_cast<std::uint32_t>(header.size() + packed.size());
    }
    std::string end;
    Put(&end, 0x06054b50, 4);
    Put(&end, 0, 4);
    Put(&end, static_cast<std::uint32_t>(count), 2);
    Put(&end, static_cast<std::uint32_t>(count), 2);
    Put(&end, static_cast<std::uint32_t>(central.size()), 4);
    Put(&end, offset, 4);
    Put(&end, 0, 2);
    file.Write(central.data(), central.size());
    file.Write(end.data(), end.size());
}

// A RAR 4 block: CRC16 (low half of the CRC-32 of the rest) and the rest.
std::string RarBlock(const std::string& rest) {
    std::string block;
    Put(&block, base::Crc32(rest.data(), rest.size()) & 0xFFFF, 2);
    return block + rest;
}

// RAR 4 with stored entries, written entry by entry.
void WriteRar(const std::wstring& path, std::size_t count) {
    plat::File file;
    file.Open(path, plat::kWrite, plat::Disposition::CreateAlways);
    std::string start("Rar!\x1A\x07\x00", 7), main;
    main.push_back(0x73);
    Put(&main, 0, 2);
    Put(&main, 13, 2);
    Put(&main, 0, 2);
    Put(&main, 0, 4);
    start += RarBlock(main);
    file.Write(start.data(), start.size());
    for (std::size_t i = 0; i < count; ++i) {
        std::string name = "data\\part" + std::to_string(i) + ".bin";
        std::string data = EntryData(i), head;
        head.push_back(0x74);
        Put(&head, 0x8000, 2);
        Put(&head, static_cast<std::uint32_t>(32 + name.size()), 2);
        Put(&head, static_cast<std::uint32_t>(data.size()), 4);
        Put(&head, static_cast<std::uint32_t>(data.size()), 4);
        head.push_back(2); // Windows host
        Put(&head, base::Crc32(data.data(), data.size()), 4);
        Put(&head, 0x28210000u, 4);
        head.push_back(20);
        head.push_back(0x30); // stored
        Put(&head, static_cast<std::uint32_t>(name.size()), 2);
        Put(&head, 0x20, 4);
        head += name;
        std::string block = RarBlock(head);
        file.Write(block.data(), block.size());
        file.Write(data.data(), data.size());
    }
    std::string end;
    end.push_back(0x7B);
    Put(&end, 0x4000, 2);
    Put(&end, 7, 2);
    std::string block = RarBlock(end);
    file.Write(block.data(), block.size());
}

class NullHandler : public plat::IWindowHandler {
    plat::LRESULT HandleWindowMessage(plat::HWND, std::uint32_t, plat::WPARAM, plat::LPARAM,
                                      const plat::CopyData*) override {
        return 0;
    }
};

void Unpack(benchmark::State& state, bool rar) {
    std::string folder = Folder();
    std::filesystem::create_directories(folder);
    std::size_t count = std::max<std::size_t>(1, PackageBytes() / kEntrySize);
    std::wstring package = plat::Utf8ToWide(folder + (rar ? "/package.rar" : "/package.zip"));
    std::uint64_t size = 0;
    plat::File probe;
    if (!probe.Open(package, plat::kRead, plat::Disposition::OpenExisting) || !probe.Size(&size) ||
        size < count * (rar ? kEntrySize : kEntrySize / 8)) {
        probe.Close();
        rar ? WriteRar(package, count) : WriteZip(package, count);
    }
    NullHandler handler;
    plat::HWND window = plat::CreateWindow(L"UnpackerBench", L"", &handler, true);
    std::wstring out = plat::Utf8ToWide(folder + "/out");
    for (auto _ : state) {
        state.PauseTiming();
        std::filesystem::remove_all(plat::WideToUtf8(out));
        update::CUnpackerThread unpacker;
        unpacker.SetupRun(window, out, false, true);
        unpacker.Start();
        state.ResumeTiming();
        unpacker.AddPackageTask(package, std::filesystem::file_size(plat::WideToUtf8(package)));
        unpacker.RequestFinish();
        plat::Msg msg;
        while (plat::GetMessage(&msg) > 0 && msg.message != update::kUnpackThreadFinishedMessage) {
        }
        if (msg.lParam != update::kUnpackDone)
            state.SkipWithError("unpack failed");
    }
    plat::DestroyWindow(window);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * count * kEntrySize));
}

void BM_UnpackZipDeflate(benchmark::State& state) {
    Unpack(state, false);
}
void BM_UnpackRarStore(benchmark::State& state) {
    Unpack(state, true);
}

// One entry inflated whole into memory with its CRC-32, by the inflater the
// argument names: 0 zlib, 1 the build's own (InflaterName), 2 libdeflate.
void BM_Inflate(benchmark::State& state) {
    const std::string data = EntryData(7), packed = Deflate(data);
    std::string out(data.size(), '\0');
    auto in = reinterpret_cast<const std::uint8_t*>(packed.data());
    auto target = reinterpret_cast<std::uint8_t*>(out.data());
    const auto expected = static_cast<std::uint32_t>(data.size());
    const std::uint32_t want = base::Crc32(data.data(), data.size());
    const int which = static_cast<int>(state.range(0));
#ifdef UNPACKER_BENCH_LIBDEFLATE
    libdeflate_decompressor* decompressor = libdeflate_alloc_decompressor();
#endif
    if (which == 1)
        state.SetLabel(update::InflaterName());
    for (auto _ : state) {
        std::uint32_t crc = 0;
        bool ok = false;
        if (which == 0) {
            ok = update::InflateEntryZlib(in, packed.size(), expected, target, nullptr, &crc) ==
                 update::kZipOk;
        } else if (which == 1) {
            ok = update::InflateEntry(in, packed.size(), expected, target, nullptr, &crc) ==
                 update::kZipOk;
        } else {
#ifdef UNPACKER_BENCH_LIBDEFLATE
            std::size_t got = 0;
            ok = libdeflate_deflate_decompress(decompressor, in, packed.size(), target, out.size(),
                                               &got) == LIBDEFLATE_SUCCESS &&
                 got == out.size();
            crc = base::Crc32(target, got);
#else
            state.SkipWithError("built without libdeflate");
            break;
#endif
        }
        if (!ok || crc != want) {
            state.SkipWithError("inflate failed");
            break;
        }
    }
#ifdef UNPACKER_BENCH_LIBDEFLATE
    libdeflate_free_decompressor(decompressor);
#endif
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * data.size()));
}

BENCHMARK(BM_Inflate)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_UnpackZipDeflate)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_UnpackRarStore)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
