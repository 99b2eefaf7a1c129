// CUpdateCycle: the verdict on a package whose download has ended (its
// sink's: size and CRC-32 against the manifest) and its hand-over to the
// unpacker, or back into the queue when it is damaged.

#include "base/Strings.h"
#include "logic/UpdateCycle.h"

namespace logic {

void CUpdateCycle::HandOverToUnpacker(update::DownloadTask* task, bool fromTmp, bool damaged) {
    const std::wstring path = TempFileOf(*task);
    Log(L"Add task for unpacker: " + base::Utf8ToWide(task->name));
    Log(std::wstring(L"  .. from ") + (fromTmp ? L"tmp" : L"received") + L" file: " + path);
    if (!damaged)
        return;
    Log(L"    .. warning: crc or size is not correct, file will be added to download queue");
    SinkOf(*task)->Discard();
    task->nextOffset = 0;
}

void CUpdateCycle::fireFileReceived() {
    if (queue_.empty())
        return;
    update::DownloadTask task = queue_.front();
    queue_.pop_front();
    std::shared_ptr<update::CPackageSink> sink = SinkOf(task);
    if (!IsPackageName(task.name)) {
        if (task.name == "Launcher.exe") {
            NotBuilt(L"verifying the new launcher");
            queue_.clear();
            host_.View().ShowMessageBox(host_.GetString(40), kBoxUpdateFailed,
                                        kBoxButtonsRetryCancel, false, 0);
            return;
        }
        // Any other file stays in "tmp" and is not installed.
    } else {
        // A download that ended short counts as damaged here: nothing more
        // will arrive for it.
        if (sink->Verdict() != update::PackageVerdict::Complete) {
            HandOverToUnpacker(&task, false, true);
            host_.View().ShowMessageBox(host_.GetString(40), kBoxUpdateFailed,
                                        kBoxButtonsRetryCancel, false, 0);
            counters_.committed -= std::min<std::uint64_t>(counters_.committed, task.size);
            counters_.current = counters_.committed;
            task.remaining = task.size;
            queue_.push_back(task);
            return;
        }
        HandOverToUnpacker(&task, false, false);
        unpacker_.AddPackageTask(sink->Path(), task.size);
    }
    StartNextDownload();
}

} // namespace logic
