// One large file fetched by the downloader as a single update range, with
// its settings (one context, 4 MiB read bound, adaptive read blocks): the
// benchmark thread plays the launcher window, pumping the posted progress
// and completion messages. Reports bytes per second, the first download's
// rate apart from the later ones' (the first one's body lands in memory the
// process never touched before), the process's peak resident memory (VmHWM)
// above the body's size, and, from the same run, curl fetching the same file
// to /dev/null as often (curl_MiB_per_s, and ours as a share of it, over all
// downloads and over the later ones).
//
// The file is written into a folder that an HTTP server on 127.0.0.1 serves
// (start nginx on it by hand).
//
// Environment:
//   DOWNLOAD_BENCH_MB      file size in MiB (default 64)
//   DOWNLOAD_BENCH_ROOT    the served folder (default /tmp/download-bench)
//   DOWNLOAD_BENCH_SERVER  the server (default http://127.0.0.1:8089)
//   DOWNLOAD_BENCH_RUNS    downloads per run (default 3)
//   DOWNLOAD_BENCH_CURL    the curl program (default curl; "none" skips it)

#include "net/ContextHttx.h"
#include "net/Downloader.h"
#include "net/NetTransport.h"
#include "platform/Window.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

std::string EnvText(const char* name, const char* fallback) {
    const char* text = std::getenv(name);
    return text && *text ? text : fallback;
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

// Seconds curl takes to fetch the URL to /dev/null; negative when it fails
// or does not get `size` bytes.
double CurlSeconds(const std::string& curl, const std::string& url, std::uint64_t size) {
    std::string command =
        curl + " -s -o /dev/null -w '%{size_download} %{time_total}' '" + url + "'";
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

// Writes the file unless a previous run left one of the right size.
bool MakeFile(const std::string& path, std::uint64_t size) {
    std::ifstream existing(path, std::ios::binary | std::ios::ate);
    if (existing && static_cast<std::uint64_t>(existing.tellg()) == size)
        return true;
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    std::string block(1 << 20, '\0');
    for (std::size_t i = 0; i < block.size(); ++i)
        block[i] = static_cast<char>(i * 131 >> 3);
    for (std::uint64_t left = size; left > 0 && out;) {
        std::uint64_t piece = left < block.size() ? left : block.size();
        out.write(block.data(), static_cast<std::streamsize>(piece));
        left -= piece;
    }
    return static_cast<bool>(out);
}

// Counts what arrives; the benchmark thread is the launcher window's.
class CountingNotify : public NetEx::IDownloaderNotify {
public:
    std::uint64_t received = 0;
    std::uint64_t progress = 0;
    bool done = false;
    bool failed = false;

    void fireCUDFileReceived(const CBuffer&) override {}
    void fireKBFilePartReceived(std::int32_t, std::int32_t) override {}
    void fireKBFileReceived(const CBuffer&) override {}
    void fireLicenseReceived(const CBuffer&) override {}
    void fireUpdateXmlReceived(const CBuffer&) override {}
    void fireFilePartReceived(const CBuffer& body, bool failedPart) override {
        received = body.Size();
        failed = failedPart;
        done = !failedPart;
    }
    void fireFileReceived() override {}
    void fireFilePartProgress(std::uint32_t bytes, bool) override { progress += bytes; }
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

void BM_DownloadOneRange(benchmark::State& state) {
    const std::uint64_t size =
        std::strtoull(EnvText("DOWNLOAD_BENCH_MB", "64").c_str(), nullptr, 10) << 20;
    const std::string root = EnvText("DOWNLOAD_BENCH_ROOT", "/tmp/download-bench");
    const std::string server = EnvText("DOWNLOAD_BENCH_SERVER", "http://127.0.0.1:8089");
    if (!MakeFile(root + "/bench.bin", size)) {
        state.SkipWithError("cannot write the file (does DOWNLOAD_BENCH_ROOT exist?)");
        return;
    }
    NetEx::CNetTransport transport;
    NetEx::InternetParams params;
    params.userAgent = "Mozilla/5.0 (Trident/7.0; rv:11.0)";
    if (!transport.Start(5000) || !transport.OpenInternet(params)) {
        state.SkipWithError("no transport");
        return;
    }
    WindowStandIn handler;
    plat::HWND window = plat::CreateWindow(L"DownloadBench", L"", &handler, true);
    using Seconds = std::chrono::duration<double>;
    Seconds first{0};
    Seconds later{0};
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        CountingNotify notify;
        {
            NetEx::CDownloader downloader;
            handler.downloader = &downloader;
            downloader.SetClientName("CLogic thread");
            downloader.SetTransport(&transport);
            downloader.SetNotify(&notify);
            downloader.SetServer(server);
            downloader.SetProgressWindow(window);
            if (!downloader.DownloadUpdate("/bench.bin", 0, 0)) {
                state.SkipWithError("request not sent");
                break;
            }
            plat::Msg msg;
            while (!notify.done && plat::GetMessage(&msg) > 0)
                plat::DispatchMessage(msg);
        }
        if (notify.failed || notify.received != size) {
            state.SkipWithError("download failed or short");
            break;
        }
        Seconds took = std::chrono::steady_clock::now() - start;
        (first.count() == 0 ? first : later) += took;
        state.counters["progress_MiB"] = static_cast<double>(notify.progress) / (1 << 20);
    }
    plat::DestroyWindow(window);
    transport.Stop(5000);
    const auto runs = static_cast<double>(state.iterations());
    const double mib = static_cast<double>(size) / (1 << 20);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * size));
    state.counters["peak_rss_MiB"] = static_cast<double>(PeakResidentKiB()) / 1024.0;
    state.counters["rss_over_body_MiB"] = state.counters["peak_rss_MiB"] - mib;
    if (first.count() > 0)
        state.counters["first_MiB_per_s"] = mib / first.count();
    if (later.count() > 0)
        state.counters["later_MiB_per_s"] = mib * (runs - 1) / later.count();

    const std::string curl = EnvText("DOWNLOAD_BENCH_CURL", "curl");
    if (curl == "none" || state.iterations() == 0 || first.count() == 0)
        return;
    double curlSeconds = 0;
    for (std::int64_t i = 0; i < state.iterations(); ++i) {
        double seconds = CurlSeconds(curl, server + "/bench.bin", size);
        if (seconds < 0)
            return; // no curl figures: the download's own still stand
        curlSeconds += seconds;
    }
    const double ours = mib * runs / (first + later).count();
    const double theirs = mib * runs / curlSeconds;
    state.counters["MiB_per_s"] = ours;
    state.counters["curl_MiB_per_s"] = theirs;
    state.counters["share_of_curl"] = ours / theirs;
    if (later.count() > 0)
        state.counters["later_share_of_curl"] = mib * (runs - 1) / later.count() / theirs;
}

int Runs() {
    int runs = std::atoi(EnvText("DOWNLOAD_BENCH_RUNS", "3").c_str());
    return runs > 0 ? runs : 3;
}

BENCHMARK(BM_DownloadOneRange)->Unit(benchmark::kMillisecond)->Iterations(Runs())->UseRealTime();

} // namespace

BENCHMARK_MAIN();
