#include "update/UnpackerThread.h"

#include "platform/FileSystem.h"
#include "platform/MappedFile.h"
#include "platform/Time.h"
#include "update/UnpackerExtraction.h"
#include "update/UnpackerMessages.h"

#include <cstring>
#include <thread>

namespace update {

namespace {

// Progress messages come at most this often.
constexpr std::uint64_t kProgressIntervalMs = 55;

} // namespace

CUnpackerThread::CUnpackerThread() : CThread("unpacker") {}

CUnpackerThread::~CUnpackerThread() {
    RequestStop();
    Stop(-1);
}

void CUnpackerThread::Wake() {
    wakeSignalled_ = true;
    wakeChanged_.notify_all();
}

void CUnpackerThread::SetupRun(plat::HWND resultWindow, const std::wstring& installDir,
                               bool tolerantWrite, bool autoWake) {
    std::lock_guard<std::mutex> guard(lock_);
    stop_ = false;
    finishRequested_ = false;
    processed_ = 0;
    tolerantWrite_ = tolerantWrite;
    resultWindow_ = resultWindow;
    installDir_ = installDir;
    autoWake_ = autoWake;
}

bool CUnpackerThread::AddPackageTask(const std::wstring& tempPath, std::uint64_t size) {
    std::lock_guard<std::mutex> guard(lock_);
    if (stop_)
        return false;
    tasks_.Add({tempPath, {}, true, size});
    if (autoWake_)
        Wake();
    return true;
}

bool CUnpackerThread::AddFileTask(const std::wstring& tempPath, const std::wstring& targetName,
                                  std::uint64_t size) {
    std::lock_guard<std::mutex> guard(lock_);
    if (stop_)
        return false;
    tasks_.Add({tempPath, targetName, false, size});
    if (autoWake_)
        Wake();
    return true;
}

void CUnpackerThread::RequestFinish() {
    std::lock_guard<std::mutex> guard(lock_);
    finishRequested_ = true;
    if (!autoWake_)
        tasks_.Clear();
    Wake();
}

void CUnpackerThread::EnableAutoWake() {
    std::lock_guard<std::mutex> guard(lock_);
    if (autoWake_)
        return;
    autoWake_ = true;
    Wake();
}

void CUnpackerThread::RequestStop() {
    std::lock_guard<std::mutex> guard(lock_);
    stop_ = true;
    tasks_.Clear();
    Wake();
}

std::wstring CUnpackerThread::LastErrorText() const {
    std::lock_guard<std::mutex> guard(lock_);
    return lastErrorText_;
}

std::uint32_t CUnpackerThread::LastErrorCode() const {
    std::lock_guard<std::mutex> guard(lock_);
    return lastErrorCode_;
}

std::string CUnpackerThread::CurrentEntryName() const {
    std::lock_guard<std::mutex> guard(lock_);
    return currentEntry_;
}

bool CUnpackerThread::IsStopped() const {
    std::lock_guard<std::mutex> guard(lock_);
    return stop_;
}

bool CUnpackerThread::CreateTempFile(const std::wstring& path, plat::File* file) {
    return file->Open(path, plat::kWrite, plat::Disposition::CreateNew);
}

bool CUnpackerThread::ReplaceTarget(const std::wstring& temp, const std::wstring& target) {
    return plat::MoveFile(temp, target, plat::kMoveReplaceExisting);
}

void CUnpackerThread::OnRunFailure() {
    Report(L"unpacker: unexpected failure", plat::kErrNotEnoughMemory, kUnpackPackageFailed, true);
}

void CUnpackerThread::SetSizeBounds(std::shared_ptr<const EntrySizeBounds> bounds) {
    std::lock_guard<std::mutex> guard(lock_);
    bounds_ = std::move(bounds);
}

void CUnpackerThread::SetWorkerCount(std::size_t workers) {
    std::lock_guard<std::mutex> guard(lock_);
    workers_ = workers;
}

CUnpackerThread::RunSettings CUnpackerThread::Settings() const {
    std::lock_guard<std::mutex> guard(lock_);
    return {resultWindow_, installDir_, tolerantWrite_, bounds_, workers_};
}

void CUnpackerThread::SetCurrentEntry(const std::string& name) {
    std::lock_guard<std::mutex> guard(lock_);
    currentEntry_ = name;
}

void CUnpackerThread::PostProgress(std::uint64_t value, bool always) {
    std::uint64_t now = plat::GetTickCount64();
    if (!always && now - lastProgressTick_ <= kProgressIntervalMs)
        return;
    lastProgressTick_ = now;
    plat::PostMessage(Settings().window, kUnpackProgressMessage, 0,
                      static_cast<plat::LPARAM>(value));
}

void CUnpackerThread::Report(const std::wstring& text, std::uint32_t code, plat::LPARAM result,
                             bool abort) {
    plat::HWND window = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        if (abort) {
            stop_ = true;
            Wake();
        }
        lastErrorText_ = text;
        lastErrorCode_ = code;
        window = resultWindow_;
    }
    plat::PostMessage(window, kUnpackThreadFinishedMessage, 0, result);
}

void CUnpackerThread::Run() {
    for (;;) {
        {
            std::unique_lock<std::mutex> guard(lock_);
            wakeChanged_.wait(guard, [this] { return wakeSignalled_ || stop_; });
            if (stop_)
                return;
        }
        for (;;) {
            UnpackTask task;
            std::uint64_t ticket = 0;
            {
                std::lock_guard<std::mutex> guard(lock_);
                if (!tasks_.Head(&task, &ticket))
                    break;
            }
            if (!ProcessTask(task))
                return; // reported, or stopped
            {
                std::lock_guard<std::mutex> guard(lock_);
                tasks_.RemoveHead(ticket);
            }
            std::this_thread::yield();
        }
        plat::HWND finished = 0;
        {
            std::lock_guard<std::mutex> guard(lock_);
            // A task added since the list was found empty is taken first; the
            // event is reset only while nothing waits, so no wake is lost.
            if (stop_ || !tasks_.Empty())
                continue;
            if (finishRequested_) {
                lastErrorText_.clear();
                lastErrorCode_ = 0;
                finishRequested_ = false;
                finished = resultWindow_;
            } else {
                wakeSignalled_ = false;
            }
        }
        if (finished)
            plat::PostMessage(finished, kUnpackThreadFinishedMessage, 0, kUnpackDone);
    }
}

bool CUnpackerThread::ProcessTask(const UnpackTask& task) {
    if (IsStopped())
        return false;
    // The package is read in place.
    plat::MappedFile map;
    if (!map.Open(task.tempPath, task.size)) {
        Report(L"pkg/bin file can not be open", 0, kUnpackPackageFailed, true);
        return false;
    }
    RunSettings settings = Settings();
    resolver_.Reset(settings.installDir);
    CExtraction extraction(this, std::move(settings), &map, task.tempPath);
    bool done = false;
    if (!task.isPackage)
        done = extraction.WriteWholeFile(task.targetName);
    else if (map.Size() > 3 && std::memcmp(map.Data(), "Rar!", 4) == 0)
        done = extraction.UnpackRar();
    else
        done = extraction.UnpackZip();
    if (!done)
        return false;
    std::uint64_t processed = 0;
    {
        std::lock_guard<std::mutex> guard(lock_);
        processed_ += map.Size();
        processed = processed_;
    }
    PostProgress(processed, true);
    return true;
}

} // namespace update
