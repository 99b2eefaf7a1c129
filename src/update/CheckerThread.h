#pragma once
// CCheckerThread decides what an update must download. Its thread reads the
// saved and the fresh manifest, posts "server info ready" to the launcher
// window and waits until the window thread releases it (selected
// applications + the wait event); then it compares the installation with
// the manifest by size and CRC-32, fills the launcher's download queue with
// the packages (or one increment) that restore every differing file, decides
// whether the client may start at once, optionally deletes stray or damaged
// files, and posts the result. The window thread initialises it before Start
// and reads the results only after the finish message; the lock guards the
// stop flag, the wait event and every change of the shared queue.

#include "assistant/AppList.h"
#include "base/ManualResetEvent.h"
#include "base/Thread.h"
#include "platform/Window.h"
#include "update/AddPkg.h"
#include "update/CheckerMessages.h"
#include "update/CheckerRules.h"
#include "update/DownloadTask.h"
#include "update/EntrySizeBounds.h"
#include "update/FileCrc.h"
#include "update/LauncherCheck.h"
#include "update/Manifest.h"
#include "update/PathResolver.h"

#include <cstdint>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace update {

// Where the checker puts its results: the launcher's window, its download
// queue and its total download size (both owned by the launcher).
struct CheckerTarget {
    plat::HWND window = 0;
    DownloadQueue* queue = nullptr;
    std::uint64_t* totalDownloadSize = nullptr;
};

class CCheckerThread : public CThread {
public:
    CCheckerThread();
    // Aborts a run in progress and waits for the thread.
    ~CCheckerThread() override;

    // The three initialisations, made on the window thread before Start.
    // Normal: compares the files on disk.
    void InitNormal(const std::wstring& installDir, const std::wstring& launcherName,
                    const std::string& language, const std::string& newManifest,
                    const std::string& oldManifest, const CheckerTarget& target,
                    bool loadAddPackages, bool cleanup);
    // Fast: compares the fresh manifest with the saved one, not with the disk.
    void InitFast(const std::wstring& installDir, const std::wstring& launcherName,
                  const std::string& language, const std::string& newManifest,
                  const std::string& oldManifest, const CheckerTarget& target, bool cleanup);
    // Download-only: a client asked for add packages; only they are checked
    // and the task's package set stands for the installed add packages.
    void InitDownloadOnly(const std::wstring& installDir, const std::string& newManifest,
                          const CheckerTarget& target, const std::set<std::wstring>& taskPackages);

    // Settings of the machine and the running launcher (defaults: 32-bit,
    // the running executable).
    void SetMachinePlatform(PackagePlatform platform) { machinePlatform_ = platform; }
    void SetLauncherProbe(const LauncherProbe& probe) { launcherProbe_ = probe; }

    // The installation folder, when it was chosen after the start (an
    // installation picks it while the checker waits for its release).
    void SetInstallFolder(const std::wstring& installDir);
    // Release after "server info ready": the applications the user chose
    // (their EXEC keys), then the wait event is set.
    void Release(const std::set<std::wstring>& selectedApps);
    // Stops a run: sets the stop flag, sets the wait event and forgets it.
    // Called before every new start and by the thread when it finishes.
    void Abort();

    void Run() override;

    // Results, read on the window thread after the finish message.
    bool CanRun() const { return canRun_; }
    bool NewLauncher() const { return newLauncher_; }
    bool ModificationChanged() const { return modificationChanged_; }
    const std::wstring& RunBlocker() const { return runBlocker_; }
    const CManifestDocument& NewManifest() const { return newDoc_; }
    const std::vector<ExternalApp>& ExternalApps() const { return tables_.externalApps; }
    const std::vector<InternalApp>& InternalApps() const { return tables_.internalApps; }
    const std::vector<assistant::AppListRecord>& AppRecords() const { return appRecords_; }
    const ChangedList& Changed() const { return changed_; }
    const std::set<std::wstring>& NeededPackages() const { return needed_; }
    // The sizes the fresh manifest gives its files, which bound what the
    // packages may unpack.
    std::shared_ptr<const EntrySizeBounds> SizeBounds() const {
        return EntrySizeBounds::FromManifest(tables_.files, tables_.increments);
    }
    // The add-package list; the window thread points it at "addpkg.dat".
    CAddPkg& AddPackages() { return addPkg_; }
    // The lock the launcher takes when it copies the application lists.
    std::mutex& Lock() { return lock_; }

protected:
    // Called on the checker thread before each file of the fresh manifest is
    // compared; the base does nothing.
    virtual void OnCompareFile(const std::wstring& relativePath) { (void)relativePath; }
    // An unexpected failure (an allocation) ended the body: the check failed.
    void OnRunFailure() override;

private:
    enum class Mode { Normal, Fast, DownloadOnly };

    void InitCommon(Mode mode, const std::wstring& installDir, const std::string& newManifest,
                    const CheckerTarget& target);
    bool Stopped() const;
    void Post(CheckStatus status);
    // Both manifests into the tables; false when the fresh one is unreadable.
    bool ReadManifests();
    // Creates the event (unless stopped), posts "ready" and waits; false
    // when the run was aborted.
    bool WaitForRelease();
    // The whole comparison after the release; false when the run ends
    // without the OK message (stopped, or only the launcher is new).
    bool Check();
    // Compares the installed file of a manifest path with a size and CRC;
    // *full is its native path. A path through a link, or a link or special
    // file at its end, is a file that cannot be opened: nothing is read
    // through a link.
    FileMatch CompareInstalled(const std::wstring& relativePath, std::uint32_t crc,
                               std::uint32_t size, std::wstring* full, plat::ErrorCode* error);
    bool IsAppSelected(const ManifestFile& entry) const;

    // CheckerQueue.cpp
    bool CollectChanged();
    void DecideCanRun();
    bool CanRunCheck();
    void FillQueue();
    // CheckerCleanup.cpp
    void CleanupScan(const ManifestFileMap& files);
    bool CleanupFolder(const std::wstring& folder, const ManifestFileMap& files);
    void CleanupFile(const std::wstring& folder, const std::wstring& name, bool unopenable,
                     const ManifestFileMap& files);

    CAddPkg addPkg_;
    std::set<std::wstring> taskPackages_;
    std::shared_ptr<CManualResetEvent> waitEvent_;
    std::wstring installDir_;
    std::wstring launcherName_;
    std::string language_;
    std::string newText_;
    std::string oldText_;
    CManifestDocument newDoc_;
    CManifestDocument oldDoc_;
    bool canRun_ = false;
    bool newLauncher_ = false;
    bool cleanup_ = false;
    std::wstring runBlocker_;
    bool modificationChanged_ = false;
    mutable std::mutex lock_;
    CheckerTarget target_;
    bool stop_ = false;
    Mode mode_ = Mode::Normal;
    bool loadAddPackages_ = false;
    PackagePlatform machinePlatform_ = kPlatform32;
    LauncherProbe launcherProbe_;

    ManifestFileMap oldFiles_;
    NewManifestTables tables_;
    ChangedList changed_;
    std::set<std::wstring> needed_;
    std::set<std::wstring> selectedApps_;
    std::set<std::wstring> installedAddPackages_;
    std::vector<assistant::AppListRecord> appRecords_;
    CFileCrcReader reader_;
    CPathResolver installedPaths_;
};

} // namespace update
