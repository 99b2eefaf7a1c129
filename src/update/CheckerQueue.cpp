// The checker's comparison: changed files, the can-run decision and the
// download queue. Runs on the checker thread after the release.

#include "update/CheckerThread.h"

#include "platform/Unicode.h"

#include <thread>

namespace update {

namespace {

// The loops over thousands of files give the processor away this often so
// that the window thread stays responsive on a single core.
constexpr unsigned kYieldEvery = 10;

void YieldNow(unsigned* count) {
    if (++*count % kYieldEvery == 0)
        std::this_thread::yield();
}

} // namespace

bool CCheckerThread::CollectChanged() {
    unsigned count = 0;
    for (const auto& [path, entry] : tables_.files) {
        YieldNow(&count);
        if (!IsAppSelected(entry))
            continue;
        OnCompareFile(path);
        if (Stopped())
            return false;
        bool changed = false;
        if (mode_ == Mode::Fast) {
            const auto old = oldFiles_.find(path);
            changed = old == oldFiles_.end() || old->second.crc != entry.crc ||
                      old->second.size != entry.size;
        } else {
            plat::ErrorCode error = plat::kErrSuccess;
            std::wstring full;
            changed =
                CompareInstalled(path, entry.crc, entry.size, &full, &error) != FileMatch::Same;
        }
        if (changed)
            changed_.emplace_back(path, entry.package);
    }
    return true;
}

void CCheckerThread::DecideCanRun() {
    newLauncher_ = IsNewLauncherAvailable(newDoc_, launcherProbe_);
    const bool fast = mode_ == Mode::Fast;
    if (!CanRunCheck()) {
        canRun_ = false;
        return;
    }
    if (newLauncher_)
        runBlocker_ = L"run blocker: [new launcher]";
    else if (fast)
        runBlocker_ = L"run blocker: [cmd - fast check]";
    canRun_ = !newLauncher_ && !fast;
}

bool CCheckerThread::CanRunCheck() {
    if (oldFiles_.empty())
        return false;
    modificationChanged_ = oldDoc_.Modification() != newDoc_.Modification();
    if (modificationChanged_)
        return false;
    if (!ClientVersionsAgree(oldDoc_.ClientVersion(), newDoc_.ClientVersion()))
        return false;

    unsigned count = 0;
    for (const auto& [path, entry] : oldFiles_) {
        YieldNow(&count);
        if (Stopped())
            return true;
        if (!IsAppSelected(entry))
            continue;
        std::wstring full;
        plat::ErrorCode error = plat::kErrSuccess;
        switch (CompareInstalled(path, entry.crc, entry.size, &full, &error)) {
        case FileMatch::Same:
            break;
        case FileMatch::Unreadable:
            runBlocker_ = L"run blocker: [can't open file (GetLastError() = " +
                          std::to_wstring(error) + L") ], file = " + full;
            return false;
        case FileMatch::Different:
            runBlocker_ = L"run blocker: [crc mismatch], file = " + full;
            return false;
        }
    }
    return true;
}

void CCheckerThread::FillQueue() {
    std::lock_guard<std::mutex> lock(lock_);
    if (target_.queue)
        target_.queue->clear();
    if (target_.totalDownloadSize)
        *target_.totalDownloadSize = 0;
    for (const std::wstring& name : needed_) {
        const auto package = tables_.packages.find(name);
        if (package == tables_.packages.end())
            continue;
        if (target_.totalDownloadSize)
            *target_.totalDownloadSize += package->second.size;
        if (!target_.queue)
            continue;
        DownloadTask task;
        task.name = plat::WideToUtf8(name);
        task.crc32 = package->second.crc;
        task.sha256 = package->second.sha256;
        task.size = package->second.size;
        task.remaining = package->second.size;
        target_.queue->push_back(std::move(task));
    }
}

} // namespace update
