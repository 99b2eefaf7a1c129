#pragma once
// The package unpacker. On the launcher window's thread it keeps, per
// temporary package file, the bytes received so far (size, running CRC-32 and
// the parts of this run still in memory); on its own thread it works through
// a first-in first-out list of tasks: a package task unpacks a complete RAR or
// ZIP package into the installation folder, a file task copies a downloaded
// file there under another name (UnpackerExtraction.h: every file is written
// beside its target and renamed over it, within the sizes the manifest
// gives). Progress and the end of the work reach the launcher window as
// posted messages (UnpackerMessages.h). One lock guards the flags, the task
// list, the part cache, the size bounds and the error fields.

#include "base/Buffer.h"
#include "base/Thread.h"
#include "platform/File.h"
#include "platform/Window.h"
#include "update/EntrySizeBounds.h"
#include "update/EntryWriter.h"
#include "update/PartCache.h"
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
    // Pending parts one temporary file may hold in memory before they go to
    // the file itself.
    static constexpr std::size_t kDefaultPartMemoryBound = std::size_t{64} << 20;

    explicit CUnpackerThread(std::size_t partMemoryBound = kDefaultPartMemoryBound);
    // Stops the work (pending parts are not written: call FlushParts first)
    // and waits for the thread.
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

    // Registers a temporary file and appends a received part (none: only
    // registers). False once stopped, or for a part offered to a complete file.
    bool AddFilePart(const std::wstring& tempPath, const void* part, std::size_t length);
    // Size and CRC-32 of everything received; false (both 0) when not cached.
    bool GetPartState(const std::wstring& tempPath, std::uint32_t* size, std::uint32_t* crc) const;
    // The whole file (disk part and pending parts) into a buffer of the cached
    // size; false when not cached, already unpacked, or short.
    bool ReadTempFile(const std::wstring& tempPath, CBuffer* bytes) const;
    // Drops what is known of the file; the caller deletes the file itself.
    void ForgetTempFile(const std::wstring& tempPath);
    // The download of the file has ended: no more parts are accepted.
    void MarkTempFileComplete(const std::wstring& tempPath);
    // Writes the pending parts of every file not yet unpacked to its file.
    void FlushParts();

    // Queue a task; false once stopped.
    bool AddPackageTask(const std::wstring& tempPath);
    bool AddFileTask(const std::wstring& tempPath, const std::wstring& targetName);
    // The downloads are over: the finish message follows the last task (in
    // a run without auto-wake the waiting tasks are dropped).
    void RequestFinish();
    // Stops the work: sets the stop flag, drops the waiting tasks and wakes
    // the thread so that it ends.
    void RequestStop();

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
    // Posts the finish message with `result`; an abort first stops the work
    // and writes the pending parts out.
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
    CPartCache parts_;
    std::uint64_t processed_ = 0;
    bool tolerantWrite_ = false;
    bool autoWake_ = true;
    std::shared_ptr<const EntrySizeBounds> bounds_;
    std::size_t workers_ = 0;
    std::uint64_t lastProgressTick_ = 0; // unpacker thread only
    CPathResolver resolver_;             // the unpacker's workers only
};

} // namespace update
