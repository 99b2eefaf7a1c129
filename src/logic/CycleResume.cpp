// CUpdateCycle: resuming downloads. At the start of the download every queued
// package continues from what its file in "tmp" holds (a complete and sound
// one goes straight to the unpacker, a damaged one starts again), and a
// request that broke off continues from the bytes that arrived.

#include "base/Strings.h"
#include "logic/LaunchSettings.h"
#include "logic/UpdateCycle.h"

#include <algorithm>

namespace logic {

namespace {

constexpr int kAttemptTextControl = 12406;

} // namespace

bool CUpdateCycle::PrepareQueue() {
    bool ready = false;
    for (auto it = queue_.begin(); it != queue_.end();) {
        update::DownloadTask& task = *it;
        std::shared_ptr<update::CPackageSink> sink = SinkOf(task);
        unpackTotal_ += task.size;
        task.nextOffset =
            static_cast<std::uint32_t>(std::min<std::uint64_t>(sink->Size(), task.size));
        if (sink->Verdict() == update::PackageVerdict::Damaged)
            HandOverToUnpacker(&task, true, true);
        task.remaining = task.size - task.nextOffset;
        if (settings_.progressFromZero)
            counters_.total -= std::min<std::uint64_t>(counters_.total, task.nextOffset);
        else
            counters_.current += task.nextOffset;
        if (task.remaining != 0) {
            ++it;
            continue;
        }
        // Only packages are unpacked; any other complete file stays in
        // "tmp" as a finished download does.
        if (IsPackageName(task.name)) {
            HandOverToUnpacker(&task, true, false);
            unpacker_.AddPackageTask(sink->Path(), task.size);
            ready = true;
        }
        it = queue_.erase(it);
    }
    if (!settings_.progressFromZero)
        counters_.committed = counters_.current;
    return ready;
}

bool CUpdateCycle::ContinueDownload() {
    if (attempts_ > kMaxAttempts) {
        Log(L"attempts run out");
        return false;
    }
    Log(base::FormatW(L"continue downloading attempt #%d", attempts_));
    if (queue_.empty())
        return false;
    update::DownloadTask& task = queue_.front();
    const std::uint64_t present = SinkOf(task)->Size();
    task.nextOffset = static_cast<std::uint32_t>(std::min<std::uint64_t>(present, task.size));
    task.remaining = task.size - task.nextOffset;
    if (attempts_ > 0)
        host_.View().SetFormattedText(kAttemptTextControl,
                                      {TextValue{TextValue::StringId, 37, 0, {}},
                                       TextValue{TextValue::Integer, attempts_, 0, {}}});
    StartNextDownload();
    return true;
}

} // namespace logic
