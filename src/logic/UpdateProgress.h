#pragma once
// The update's progress bookkeeping as plain values: the byte counters the
// downloads move, the percentage and texts the progress display derives from
// them, the temporary file of a download task and the package rule. Used on
// the launcher window's thread.

#include "update/DownloadTask.h"

#include <cstdint>
#include <string>
#include <string_view>

namespace logic {

// Byte counters of the current update: everything to download, the parts
// stored so far, and the stored parts plus the request in flight.
struct DownloadCounters {
    std::uint64_t total = 0;
    std::uint64_t committed = 0;
    std::uint64_t current = 0;
};

// A progress report of the downloader: bytes of the request in flight, or a
// part that was stored.
void CountPartProgress(DownloadCounters* counters, std::uint32_t bytes, bool inFlight);
// Bytes counted as present that are gone (a file that started again): they
// are to be downloaded once more.
void DiscountDroppedBytes(DownloadCounters* counters, std::uint64_t bytes, bool progressFromZero);

// What the progress display reads from the launcher.
struct ProgressInputs {
    std::uint64_t totalBytes = 0;
    std::uint64_t currentBytes = 0;
    bool launcherOnly = false;
    std::uint32_t unpackTotal = 0; // bytes handed to the unpacker in this update
    bool silentMode = false;
};

// What the display shows: while downloading the received and total
// kilobytes, while unpacking the unpacked share.
struct ProgressDisplay {
    bool downloading = false;
    float doneKb = 0;
    float totalKb = 0;
    double percent = 0;
    int barPosition = 0; // the percentage truncated and clamped to 0..100
};

// The display for `unpackedBytes` (0: no unpacker report); `unpackedKb` is
// the kilobytes unpacked so far, updated from a report above 0.
ProgressDisplay ComputeProgress(const ProgressInputs& inputs, std::int64_t unpackedBytes,
                                std::uint32_t* unpackedKb);

// The temporary file of a task in the installation's "tmp" folder: the
// CRC-32 in hexadecimal and the size, or for the launcher's own task its
// name, the version text and the size.
std::wstring TempFileName(const std::wstring& installDir, const update::DownloadTask& task,
                          const std::wstring& launcherVersion);

// Only names ending in ".pkg" (exactly, from the last ".") are unpacked.
bool IsPackageName(std::string_view name);

} // namespace logic
