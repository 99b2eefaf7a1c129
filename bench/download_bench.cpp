// One large package fetched by the downloader as the update cycle fetches
// it: one range request with the launcher's settings (one context, 4 MiB
// read bound, adaptive read blocks) whose bytes the package sink appends to
// the package's temporary file as they arrive, continuing its CRC-32. The
// benchmark thread plays the launcher window, pumping the posted progress
// and completion messages. Measured in the same run:
//   MiB_per_s            our rate, from the request to the sink's verdict
//   curl_MiB_per_s       `curl -o FILE` into the same folder, as often, each
//                        run right after one of ours
//   share_of_curl        the two rates' ratio
//   rss_over_idle_MiB    the process's peak resident memory (VmHWM, reset
//                        before the first download) above its resident size
//                        before it
//   window_max_gap_ms    the longest time the window thread went without a
//                        message between the request and the verdict, with
//                        a 10 ms timer ticking on it all along (a window
//                        that is never kept busy sees one every 10 ms)
//   window_max_handler_ms the longest a message kept the window thread busy
//
// The file is written (once) into a folder that an HTTP server on 127.0.0.1
// serves; bench/network_bench.sh starts nginx on it and runs this.
//
// Environment:
//   DOWNLOAD_BENCH_MB      package size in MiB (default 1024; 4096 and more
//                          is cut to 4 GiB - 1 byte, the most a manifest
//                          size names)
//   DOWNLOAD_BENCH_ROOT    the served folder (default /tmp/download-bench)
//   DOWNLOAD_BENCH_OUT     where the package and curl's copy are written
//                          (default DOWNLOAD_BENCH_ROOT/../download-bench-out)
//   DOWNLOAD_BENCH_SERVER  the server (default http://127.0.0.1:8089)
//   DOWNLOAD_BENCH_RUNS    downloads per run (default 2)
//   DOWNLOAD_BENCH_CURL    the curl program (default curl; "none" skips it)

#include "base/Crc32.h"
#include "net/ContextHttx.h"
#include "net/Downloader.h"
#include "net/NetTransport.h"
#include "platform/Unicode.h"
#include "platform/Window.h"
#include "update/PackageSink.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::duration<double, std::milli>;

std::string EnvText(const char* name, const char* fallback) {
    const char* text = std::getenv(name);
    return text && *text ? text : fallback;
}

// A figure of /proc/self/status in KiB ("VmHWM:", "VmRSS:"), 0 when unknown.
std::uint64_t StatusKiB(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = field;
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::strtoull(line.c_str() + prefix.size(), nullptr, 10);
    }
    return 0;
}

// Starts the peak resident size afresh from the current one.
void ResetPeakResident() {
    std::ofstream("/proc/self/clear_refs") << "5";
}

// Seconds curl takes to fetch the URL into `path`; negative when it fails or
// does not get `size` bytes.
double CurlSeconds(const std::string& curl, const std::string& url, const std::string& path,
                   std::uint64_t size) {
    std::string command =
        curl + " -s -o '" + path + "' -w '%{size_download} %{time_total}' '" + url + "'";
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr)
        return -1;
    unsigned long long bytes = 0;
    double seconds = -1;
    int fields = std::fscanf(pipe, "%llu %lf", &bytes, &seconds);
    if (pclose(pipe) != 0 || fields != 2 || bytes != size || seconds <= 0)
        return -1;
    return seconds;
}

// Writes the file unless a previous run left one of the right size; gives
// its CRC-32.
bool MakeFile(const std::string& path, std::uint64_t size, std::uint32_t* crc) {
    std::string block(1 << 20, '\0');
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 131 >> 3);
    std::ifstream existing(path, std::ios::binary | std::ios::ate);
    bool reuse = existing && static_cast<std::uint64_t>(existing.tellg()) == size;
    std::ofstream out;
    if (!reuse)
        out.open(path, std::ios::binary | std::ios::trunc);
    *crc = 0;
    for (std::uint64_t left = size; left > 0;) {
        std::uint64_t piece = std::min<std::uint64_t>(left, block.size());
        *crc = base::Crc32(block.data(), piece, *crc);
        if (!reuse && !out.write(block.data(), static_cast<std::streamsize>(piece)))
            return false;
        left -= piece;
    }
    return true;
}

// Takes the downloader's results; the benchmark thread is the window's.
class ResultNotify : public NetEx::IDownloaderNotify {
public:
    std::uint64_t stored = 0;
    bool done = false;
    bool failed = false;

    void fireCUDFileReceived(const CBuffer&) override {}
    void fireKBFilePartReceived(std::int32_t, std::int32_t) override {}
    void fireKBFileReceived(const CBuffer&) override {}
    void fireLicenseReceived(const CBuffer&) override {}
    void fireUpdateXmlReceived(const CBuffer&) override {}
    void fireFilePartReceived(const NetEx::FilePartResult& part) override {
        stored = part.bytes;
        failed = part.failed || part.unexpected;
        done = !part.failed;
    }
    void fireFileReceived() override {}
    void fireFilePartProgress(std::uint32_t, bool) override {}
    void fireAffiliateUpdated() override {}
    void fireNetError(std::uint32_t, std::uint32_t, std::uint32_t, const std::string&) override {
        failed = true;
        done = true;
    }
};

// Hands the downloader's messages back to it, as the launcher window does.
class WindowStandIn : public plat::IWindowHandler {
public:
    NetEx::CDownloader* downloader = nullptr;
    plat::LRESULT HandleWindowMessage(plat::HWND, std::uint32_t message, plat::WPARAM wParam,
                                      plat::LPARAM lParam, const plat::CopyData*) override {
        if (message == NetEx::kMsgDownloadCompleted)
            downloader->OnCompletedMessage(wParam, lParam);
        else if (message == NetEx::kMsgDownloadProgress)
            downloader->OnProgressMessage(lParam);
        return 0;
    }
};

void BM_DownloadPackageToFile(benchmark::State& state) {
    std::uint64_t size = std::strtoull(EnvText("DOWNLOAD_BENCH_MB", "1024").c_str(), nullptr, 10)
                         << 20;
    size = std::min<std::uint64_t>(size, 0xFFFFFFFFu);
    const std::string root = EnvText("DOWNLOAD_BENCH_ROOT", "/tmp/download-bench");
    const std::string out =
        EnvText("DOWNLOAD_BENCH_OUT", (root + "/../download-bench-out").c_str());
    const std::string server = EnvText("DOWNLOAD_BENCH_SERVER", "http://127.0.0.1:8089");
    std::uint32_t crc = 0;
    std::filesystem::create_directories(out);
    if (!MakeFile(root + "/bench.pkg", size, &crc)) {
        state.SkipWithError("cannot write the file (does DOWNLOAD_BENCH_ROOT exist?)");
        return;
    }
    const std::string target = out + "/BENCH.pkg";
    // Every download starts without another writer's dirty pages waiting
    // to go to the disk (the file written here, the other side's copy).
    std::filesystem::remove(target);
    ::sync();
    NetEx::CNetTransport transport;
    NetEx::InternetParams params;
    params.userAgent = "Mozilla/5.0 (Trident/7.0; rv:11.0)";
    params.accessType = plat::INTERNET_OPEN_TYPE_DIRECT;
    if (!transport.Start(5000) || !transport.OpenInternet(params)) {
        state.SkipWithError("no transport");
        return;
    }
    WindowStandIn handler;
    plat::HWND window = plat::CreateWindow(L"DownloadBench", L"", &handler, true);
    // Something is always due on the window: the gaps between its messages
    // show how long it was kept from them.
    constexpr std::uint64_t kTickTimer = 1;
    plat::SetTimer(window, kTickTimer, 10);
    const std::uint64_t idleKiB = StatusKiB("VmRSS:");
    ResetPeakResident();
    const std::string curl = EnvText("DOWNLOAD_BENCH_CURL", "curl");
    double curlSeconds = 0; // negative once curl failed
    Ms ours{0};
    Ms maxGap{0};
    Ms maxHandler{0};
    for (auto _ : state) {
        auto start = Clock::now();
        ResultNotify notify;
        NetEx::CDownloader downloader;
        handler.downloader = &downloader;
        downloader.SetClientName("CLogic thread");
        downloader.SetTransport(&transport);
        downloader.SetNotify(&notify);
        downloader.SetServer(server);
        downloader.SetProgressWindow(window);
        auto sink = std::make_shared<update::CPackageSink>(plat::Utf8ToWide(target), size, crc);
        if (!downloader.DownloadUpdate("/bench.pkg", 0, static_cast<std::uint32_t>(size), sink)) {
            state.SkipWithError("request not sent");
            break;
        }
        plat::Msg msg;
        auto last = Clock::now();
        while (!notify.done && plat::GetMessage(&msg) > 0) {
            auto got = Clock::now();
            maxGap = std::max<Ms>(maxGap, got - last);
            plat::DispatchMessage(msg);
            last = Clock::now();
            maxHandler = std::max<Ms>(maxHandler, last - got);
        }
        bool whole = sink->Verdict() == update::PackageVerdict::Complete;
        ours += Clock::now() - start;
        downloader.Detach(5000);
        downloader.SetTransport(nullptr);
        if (notify.failed || notify.stored != size || !whole) {
            state.SkipWithError("download failed, short or damaged");
            break;
        }
        // The baseline in turn with ours, so both meet the same machine.
        state.PauseTiming();
        std::filesystem::remove(target);
        if (curl != "none" && curlSeconds >= 0) {
            ::sync();
            double seconds = CurlSeconds(curl, server + "/bench.pkg", out + "/curl.pkg", size);
            curlSeconds = seconds < 0 ? -1 : curlSeconds + seconds;
            std::filesystem::remove(out + "/curl.pkg");
        }
        ::sync();
        state.ResumeTiming();
    }
    const std::uint64_t peakKiB = StatusKiB("VmHWM:");
    plat::KillTimer(window, kTickTimer);
    plat::DestroyWindow(window);
    transport.Stop(5000);
    std::filesystem::remove(target);
    const auto runs = static_cast<double>(state.iterations());
    const double mib = static_cast<double>(size) / (1 << 20);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    state.counters["size_MiB"] = mib;
    state.counters["rss_over_idle_MiB"] =
        static_cast<double>(peakKiB > idleKiB ? peakKiB - idleKiB : 0) / 1024.0;
    state.counters["window_max_gap_ms"] = maxGap.count();
    state.counters["window_max_handler_ms"] = maxHandler.count();
    if (ours.count() <= 0)
        return;
    const double oursRate = mib * runs / (ours.count() / 1000.0);
    state.counters["MiB_per_s"] = oursRate;

    if (curl == "none" || curlSeconds <= 0)
        return; // no curl figures: the download's own still stand
    const double theirs = mib * runs / curlSeconds;
    state.counters["curl_MiB_per_s"] = theirs;
    state.counters["share_of_curl"] = oursRate / theirs;
}

int Runs() {
    int runs = std::atoi(EnvText("DOWNLOAD_BENCH_RUNS", "2").c_str());
    return runs > 0 ? runs : 2;
}

BENCHMARK(BM_DownloadPackageToFile)
    ->Unit(benchmark::kMillisecond)
    ->Iterations(Runs())
    ->UseRealTime();

} // namespace

BENCHMARK_MAIN();
