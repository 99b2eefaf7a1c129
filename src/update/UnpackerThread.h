#pragma once
// The package unpacker. On its own thread it works through a first-in
// first-out list of tasks: a package task unpacks a complete RAR or ZIP
// package into the installation folder, a file task copies a downloaded
// file there under another name. Each task names a temporary file that its
// package sink (PackageSink.h) has written and found whole. Progress and the
// end of the work reach the launcher window as posted messages
// (UnpackerMessages.h). Every file is written beside its target and renamed
// over it, within the sizes the manifest gives (UnpackerExtraction.h). One
// lock guards the flags, the task list, the size bounds and the error fields.

#include "base/Thread.h"
#include "platform/File.h"
#include "platform/Window.h"
#include "update/EntrySizeBounds.h"
#include "update/EntryWriter.h"
#include "update/PathResolver.h"
#include "update/UnpackTaskList.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>

namespace update {

class CUnpackerThread : public CThread, public IEntryFiles {
public:
    CUnpackerThread();
    // Stops the work and waits for the thread.
    ~CUnpackerThread() override;

    void Run() override;

    // Window thread. Prepares a run before Start: clears the stop and finish
    // requests and the processed total. Tolerant writes ignore files that
    // cannot be created or written; without auto-wake, tasks wait for the
    // finish request, which then drops them.
    void SetupRun(plat::HWND resultWindow, const std::wstring& installDir, bool tolerantWrite,
                  bool autoWake);
    // Window thread. The sizes the manifest gives the files packages may
    // hold; a package whose entries do not fit them is refused. Until they
    // are given, sizes are not bounded.
    void SetSizeBounds(std::shared_ptr<const EntrySizeBounds> bounds);
    // Tests and benchmarks: how many workers share a package's independent
    // entries (0: as many as pay off, at most two).
    void SetWorkerCount(std::size_t workers);

    // Queue a task for the first `size` bytes of a temporary file, which its
    // sink found whole; false once stopped.
    bool AddPackageTask(const std::wstring& tempPath, std::uint64_t size);
    bool AddFileTask(const std::wstring& tempPath, const std::wstring& targetName,
                     std::uint64_t size);
    // The downloads are over: the finish message follows the last task (in
    // a run without auto-wake the waiting tasks are dropped).
    void RequestFinish();
    // Stops the work: sets the stop flag, drops the waiting tasks and wakes
    // the thread so that it ends.
    void RequestStop();
    // A run without auto-wake (a silent download) unpacks its waiting tasks
    // from now on.
    void EnableAutoWake();

    // The failure of the last report (read after the finish message).
    std::wstring LastErrorText() const;
    std::uint32_t LastErrorCode() const;
    // The archive entry or file being written (for a failed file, that file).
    std::string CurrentEntryName() const;
    bool IsStopped() const;

protected:
    // IEntryFiles: the new file beside a target, and its move into place.
    bool CreateTempFile(const std::wstring& path, plat::File* file) override;
    bool ReplaceTarget(const std::wstring& temp, const std::wstring& target) override;
    // An unexpected failure (an allocation) ended the body: reported as a
    // package that could not be unpacked, never a crash.
    void OnRunFailure() override;

private:
    class CExtraction;
    friend class CExtraction;

    struct RunSettings {
        plat::HWND window = 0;
        std::wstring installDir;
        bool tolerantWrite = false;
        std::shared_ptr<const EntrySizeBounds> bounds;
        std::size_t workers = 0;
    };

    bool ProcessTask(const UnpackTask& task);
    // Posts the finish message with `result`; an abort first stops the work.
    void Report(const std::wstring& text, std::uint32_t code, plat::LPARAM result, bool abort);
    void PostProgress(std::uint64_t value, bool always);
    void SetCurrentEntry(const std::string& name);
    RunSettings Settings() const;
    void Wake(); // with the lock held

    mutable std::mutex lock_;
    std::condition_variable wakeChanged_;
    bool wakeSignalled_ = false; // tasks or a request wait; cleared once the list is empty

    plat::HWND resultWindow_ = 0;
    std::wstring installDir_;
    bool stop_ = false;
    bool finishRequested_ = false;
    CUnpackTaskList tasks_;
    std::wstring lastErrorText_;
    std::uint32_t lastErrorCode_ = 0;
    std::string currentEntry_;
    std::uint64_t processed_ = 0;
    bool tolerantWrite_ = false;
    bool autoWake_ = true;
    std::shared_ptr<const EntrySizeBounds> bounds_;
    std::size_t workers_ = 0;
    std::uint64_t lastProgressTick_ = 0; // unpacker thread only
    CPathResolver resolver_;             // the unpacker's workers only
};

} // namespace update
