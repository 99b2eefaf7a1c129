// A full file check of a generated installation: the checker thread reads
// every file in blocks for its size and CRC-32 while the benchmark thread
// pumps the checker's messages and releases it. Reports bytes per second
// and the process's peak resident memory (VmHWM).
//
// Environment:
//   CHECKER_BENCH_FILES    number of files (default 200)
//   CHECKER_BENCH_FILE_KB  size of each file in KiB (default 1024)
//   CHECKER_BENCH_DIR      installation folder (default under /tmp); it is
//                          kept and reused, so the same files can be timed
//                          with other tools

#include "base/Crc32.h"
#include "platform/FileSystem.h"
#include "platform/Unicode.h"
#include "platform/Window.h"
#include "update/CheckerMessages.h"
#include "update/CheckerThread.h"

#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::uint64_t EnvNumber(const char* name, std::uint64_t fallback) {
    const char* text = std::getenv(name);
    return text && *text ? std::strtoull(text, nullptr, 10) : fallback;
}

// Peak resident memory of this process in KiB, 0 when unknown.
std::uint64_t PeakResidentKiB() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0)
            return std::strtoull(line.c_str() + 6, nullptr, 10);
    }
    return 0;
}

struct Installation {
    std::wstring folder;
    std::string manifest;
    std::uint64_t bytes = 0;
};

// Writes the files (unless a previous run left them) and their manifest.
Installation MakeInstallation() {
    const std::uint64_t count = EnvNumber("CHECKER_BENCH_FILES", 200);
    const std::uint64_t size = EnvNumber("CHECKER_BENCH_FILE_KB", 1024) * 1024;
    std::string folder = std::getenv("CHECKER_BENCH_DIR") ? std::getenv("CHECKER_BENCH_DIR") : "";
    if (folder.empty())
        folder = "/tmp/checker-bench-" + std::to_string(count) + "x" + std::to_string(size);
    Installation made;
    made.folder = plat::Utf8ToWide(folder);
    plat::CreateDirectoryTree(made.folder + L"/data");

    std::string files;
    std::vector<std::uint64_t> block(size / 8 + 1);
    std::uint64_t state = 0x9E3779B97F4A7C15ull;
    for (std::uint64_t i = 0; i < count; ++i) {
        for (std::uint64_t& word : block) {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            word = state;
        }
        const std::string name = "file" + std::to_string(i) + ".bin";
        const std::wstring path = made.folder + L"/data/" + plat::Utf8ToWide(name);
        if (!plat::FileExists(path)) {
            std::ofstream out(plat::WideToUtf8(path), std::ios::binary);
            out.write(reinterpret_cast<const char*>(block.data()),
                      static_cast<std::streamsize>(size));
        }
        files += "<FILE file=\"Data\\" + name + "\" crc=\"" +
                 std::to_string(base::Crc32(block.data(), size)) + "\" size=\"" +
                 std::to_string(size) + "\"/>";
        made.bytes += size;
    }
    made.manifest = "<?xml version=\"1.0\"?><update clientVersion=\"1.0.0\">"
                    "<PACK type=\"full\" file=\"base.zip\" crc=\"1\" size=\"1\">" +
                    files + "</PACK></update>";
    return made;
}

// Counts the checker's messages on the benchmark thread.
class Receiver : public plat::IWindowHandler {
public:
    plat::LRESULT HandleWindowMessage(plat::HWND, std::uint32_t message, plat::WPARAM,
                                      plat::LPARAM lParam, const plat::CopyData*) override {
        if (message == update::kCheckThreadFinishedMessage)
            last = lParam;
        return 0;
    }
    plat::LPARAM last = -1;
};

void BM_FullCheck(benchmark::State& state) {
    const Installation installation = MakeInstallation();
    Receiver receiver;
    const plat::HWND window = plat::CreateWindow(L"CheckerBench", L"", &receiver, true);
    update::DownloadQueue queue;
    std::uint64_t total = 0;
    update::CCheckerThread checker;

    for (auto _ : state) {
        checker.InitNormal(installation.folder, L"Launcher.exe", "en", installation.manifest, "",
                           {window, &queue, &total}, false, false);
        receiver.last = -1;
        checker.Start();
        plat::Msg msg;
        while (plat::GetMessage(&msg) > 0) {
            plat::DispatchMessage(msg);
            if (receiver.last == update::kCheckServerInfoReady) {
                receiver.last = -1;
                checker.Release({});
            } else if (receiver.last >= 0) {
                break;
            }
        }
        checker.Stop(-1);
        if (receiver.last != update::kCheckOk || !queue.empty())
            state.SkipWithError("the check did not pass");
    }
    plat::DestroyWindow(window);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * installation.bytes));
    state.counters["files"] = static_cast<double>(EnvNumber("CHECKER_BENCH_FILES", 200));
    state.counters["peak_MiB"] = static_cast<double>(PeakResidentKiB()) / 1024.0;
}

BENCHMARK(BM_FullCheck)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
