#include "logic/UpdateProgress.h"

#include "base/Strings.h"
#include "platform/FileSystem.h"

#include <algorithm>

namespace logic {

void CountPartProgress(DownloadCounters* counters, std::uint32_t bytes, bool inFlight) {
    if (inFlight) {
        counters->current += bytes;
        return;
    }
    counters->committed += bytes;
    counters->current = counters->committed;
}

void DiscountDroppedBytes(DownloadCounters* counters, std::uint64_t bytes, bool progressFromZero) {
    if (progressFromZero) {
        // The total left out what was present at the start; it is due again.
        counters->total += bytes;
        return;
    }
    counters->committed -= std::min(counters->committed, bytes);
    counters->current -= std::min(counters->current, bytes);
}

ProgressDisplay ComputeProgress(const ProgressInputs& inputs, std::int64_t unpackedBytes,
                                std::uint32_t* unpackedKb) {
    // The display counts in 32-bit units and single-precision kilobytes.
    float totalKb = static_cast<float>(static_cast<std::uint32_t>(inputs.totalBytes)) / 1024.0f;
    float doneKb = static_cast<float>(static_cast<std::uint32_t>(inputs.currentBytes)) / 1024.0f;
    if (totalKb == 0)
        totalKb = doneKb;
    if (unpackedBytes > 0)
        *unpackedKb = static_cast<std::uint32_t>(unpackedBytes / 1024);

    ProgressDisplay display;
    display.doneKb = doneKb;
    display.totalKb = totalKb;
    display.downloading = doneKb < totalKb || inputs.launcherOnly;
    if (display.downloading) {
        display.percent = totalKb == 0 ? 100.0 : static_cast<double>(doneKb * 100.0f / totalKb);
    } else {
        // In 64 bits: a report beyond the total must not wrap around.
        const std::uint64_t unpackKb = inputs.unpackTotal / 1024;
        display.percent = unpackKb == 0
                              ? 100.0
                              : static_cast<double>(std::uint64_t{*unpackedKb} * 100u / unpackKb);
    }
    // Clamped before it is truncated: a real far outside an int's range (a
    // launcher-only download past its announced size) has no integer value.
    double clamped = display.percent;
    if (!(clamped >= 0))
        clamped = 0;
    else if (clamped > 100)
        clamped = 100;
    display.barPosition = static_cast<int>(clamped);
    return display;
}

std::wstring SanitisedVersionText(const std::wstring& version) {
    // The server's text becomes part of a file name: only letters, digits,
    // "-", "_" and single dots stay, at most 32 characters, so no separator,
    // ".." or control character can lead the file out of "tmp".
    std::wstring safe;
    for (wchar_t c : version) {
        const bool plain = (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') ||
                           (c >= L'A' && c <= L'Z') || c == L'-' || c == L'_';
        if (c == L'.') {
            if (!safe.empty() && safe.back() != L'.')
                safe += c;
        } else {
            safe += plain ? c : L'_';
        }
        if (safe.size() == 32)
            break;
    }
    while (!safe.empty() && safe.back() == L'.')
        safe.pop_back();
    return safe.empty() ? L"unnamed" : safe;
}

std::wstring TempFileName(const std::wstring& installDir, const update::DownloadTask& task,
                          const std::wstring& launcherVersion) {
    std::wstring tmp = plat::JoinPath(installDir, L"tmp");
    std::wstring name = base::Utf8ToWide(task.name);
    if (base::EqualsNoCase(name, L"Launcher.exe"))
        return plat::JoinPath(tmp, base::FormatW(L"%ls.%ls.%u", name.c_str(),
                                                 SanitisedVersionText(launcherVersion).c_str(),
                                                 task.size));
    return plat::JoinPath(tmp, base::FormatW(L"%08X.%u", task.crc32, task.size));
}

bool IsPackageName(std::string_view name) {
    std::size_t dot = name.rfind('.');
    return dot != std::string_view::npos && name.substr(dot) == ".pkg";
}

} // namespace logic
