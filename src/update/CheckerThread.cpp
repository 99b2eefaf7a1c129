#include "update/CheckerThread.h"

#include "assistant/AppList.h"
#include "assistant/LauncherFiles.h"
#include "base/Strings.h"
#include "platform/FileSystem.h"
#include "platform/FolderTree.h"

namespace update {

CCheckerThread::CCheckerThread() : CThread("checker"), launcherProbe_(RunningLauncherProbe()) {}

CCheckerThread::~CCheckerThread() {
    Abort();
    Stop(-1);
}

void CCheckerThread::InitCommon(Mode mode, const std::wstring& installDir,
                                const std::string& newManifest, const CheckerTarget& target) {
    mode_ = mode;
    installDir_ = installDir;
    newText_ = newManifest;
    target_ = target;
    canRun_ = false;
}

void CCheckerThread::InitNormal(const std::wstring& installDir, const std::wstring& launcherName,
                                const std::string& language, const std::string& newManifest,
                                const std::string& oldManifest, const CheckerTarget& target,
                                bool loadAddPackages, bool cleanup) {
    InitCommon(Mode::Normal, installDir, newManifest, target);
    launcherName_ = launcherName;
    language_ = language;
    oldText_ = oldManifest;
    loadAddPackages_ = loadAddPackages;
    cleanup_ = cleanup;
}

void CCheckerThread::InitFast(const std::wstring& installDir, const std::wstring& launcherName,
                              const std::string& language, const std::string& newManifest,
                              const std::string& oldManifest, const CheckerTarget& target,
                              bool cleanup) {
    InitNormal(installDir, launcherName, language, newManifest, oldManifest, target, true, cleanup);
    mode_ = Mode::Fast;
}

void CCheckerThread::InitDownloadOnly(const std::wstring& installDir,
                                      const std::string& newManifest, const CheckerTarget& target,
                                      const std::set<std::wstring>& taskPackages) {
    InitCommon(Mode::DownloadOnly, installDir, newManifest, target);
    launcherName_ = assistant::kLauncherFileName;
    language_.clear();
    oldText_.clear();
    loadAddPackages_ = false;
    cleanup_ = false;
    taskPackages_ = taskPackages;
}

void CCheckerThread::SetInstallFolder(const std::wstring& installDir) {
    std::lock_guard<std::mutex> lock(lock_);
    installDir_ = installDir;
}

void CCheckerThread::Release(const std::set<std::wstring>& selectedApps) {
    std::lock_guard<std::mutex> lock(lock_);
    selectedApps_ = selectedApps;
    if (waitEvent_)
        waitEvent_->Set();
}

void CCheckerThread::Abort() {
    std::lock_guard<std::mutex> lock(lock_);
    stop_ = true;
    if (waitEvent_) {
        waitEvent_->Set();
        waitEvent_.reset();
    }
}

bool CCheckerThread::Stopped() const {
    std::lock_guard<std::mutex> lock(lock_);
    return stop_;
}

void CCheckerThread::OnRunFailure() {
    Post(kCheckFailed);
    Abort();
}

void CCheckerThread::Post(CheckStatus status) {
    const plat::WPARAM manifestReady = status == kCheckFailed ? 0 : 1;
    plat::PostMessage(target_.window, kCheckThreadFinishedMessage, manifestReady, status);
}

FileMatch CCheckerThread::CompareInstalled(const std::wstring& relativePath, std::uint32_t crc,
                                           std::uint32_t size, std::wstring* full,
                                           plat::ErrorCode* error) {
    const CPathResolver::Resolved resolved = installedPaths_.Resolve(relativePath);
    *full = resolved.path;
    using Kind = CPathResolver::Kind;
    if (resolved.throughLink || resolved.kind == Kind::Link || resolved.kind == Kind::Special) {
        *error = plat::kErrInvalidName;
        return FileMatch::Unreadable;
    }
    return reader_.Compare(resolved.path, crc, size, error);
}

bool CCheckerThread::IsAppSelected(const ManifestFile& entry) const {
    return entry.type != kPackageExt || selectedApps_.count(entry.appKey) != 0;
}

void CCheckerThread::Run() {
    {
        std::lock_guard<std::mutex> lock(lock_);
        stop_ = false;
    }
    if (!ReadManifests()) {
        Post(kCheckFailed);
        return;
    }
    if (!WaitForRelease() || !Check())
        return;
    Post(kCheckOk);
    Abort();
}

bool CCheckerThread::ReadManifests() {
    oldFiles_.clear();
    tables_ = NewManifestTables();
    changed_.clear();
    needed_.clear();
    appRecords_.clear();
    newLauncher_ = false;
    modificationChanged_ = false;
    runBlocker_.clear();

    if (mode_ == Mode::DownloadOnly) {
        installedAddPackages_ = taskPackages_;
    } else {
        installedAddPackages_.clear();
        if (loadAddPackages_) {
            addPkg_.SetPath(CAddPkg::PathIn(installDir_));
            addPkg_.Load();
            installedAddPackages_ = addPkg_.Names();
        }
    }

    ManifestReadContext context;
    context.machinePlatform = machinePlatform_;
    context.language = language_;
    context.installedAddPackages = &installedAddPackages_;
    context.downloadOnly = mode_ == Mode::DownloadOnly;

    if (oldDoc_.Parse(oldText_))
        ReadOldManifest(oldDoc_, context, &oldFiles_);
    else if (mode_ == Mode::Fast)
        mode_ = Mode::Normal;

    return newDoc_.Parse(newText_) && ReadNewManifest(newDoc_, context, &tables_);
}

bool CCheckerThread::WaitForRelease() {
    std::shared_ptr<CManualResetEvent> event;
    {
        std::lock_guard<std::mutex> lock(lock_);
        if (stop_)
            return false;
        waitEvent_ = std::make_shared<CManualResetEvent>();
        event = waitEvent_;
    }
    Post(kCheckServerInfoReady);
    event->Wait();
    return !Stopped();
}

bool CCheckerThread::Check() {
    installedPaths_.Reset(installDir_);
    plat::OpenFolder folder;
    if (folder.Open(installDir_))
        assistant::ReadAppList(folder, &appRecords_);

    newLauncher_ = IsNewLauncherAvailable(newDoc_, launcherProbe_);
    if (newLauncher_ && mode_ != Mode::DownloadOnly) {
        runBlocker_ = L"run blocker: [new launcher available]";
        if (Stopped())
            return false;
        Post(kCheckLauncherOnly);
        Abort();
        return false;
    }

    tables_.ignoredPaths.insert(base::ToLowerAscii(launcherName_));
    if (!CollectChanged())
        return false;
    DecideCanRun();
    if (Stopped())
        return false;
    if (!changed_.empty())
        needed_ = ChooseNeededPackages(changed_, &tables_.increments, tables_.packages);
    FillQueue();

    if (mode_ != Mode::Fast && cleanup_) {
        if (canRun_)
            CleanupScan(oldFiles_);
        else if (mode_ != Mode::DownloadOnly)
            CleanupScan(tables_.files);
    }
    return !Stopped();
}

} // namespace update
