#include "update/UninstallerThread.h"

#include "assistant/AppList.h"
#include "assistant/AssistantChecks.h"
#include "assistant/FolderUtils.h"
#include "assistant/Shortcuts.h"
#include "platform/FileSystem.h"
#include "platform/FolderTree.h"
#include "platform/ShellFolders.h"
#include "platform/Time.h"
#include "update/UninstallerMessages.h"

#include <vector>

namespace update {

namespace {

std::uint64_t NowMs() {
    // Never 0, which stands for "no message yet".
    return plat::GetTickCount64() | 1;
}

} // namespace

CUninstallerThread::CUninstallerThread() : CThread("uninstaller") {}

CUninstallerThread::~CUninstallerThread() {
    RequestStop();
    Stop(-1);
}

void CUninstallerThread::Setup(plat::HWND window, const std::wstring& quotedPath,
                               const std::wstring& installFolder, const std::wstring& launcherName,
                               const std::wstring& fullName) {
    std::lock_guard<std::mutex> guard(lock_);
    window_ = window;
    quotedPath_ = quotedPath;
    installFolder_ = installFolder;
    launcherName_ = launcherName;
    fullName_ = fullName;
    stop_ = false;
    walkerStop_ = false;
}

void CUninstallerThread::RequestStop() {
    std::lock_guard<std::mutex> guard(lock_);
    stop_ = true;
    walkerStop_ = true;
}

std::wstring CUninstallerThread::ShortcutNameFromQuotedPath(const std::wstring& quotedPath) {
    std::wstring name = assistant::FileNameOfPath(quotedPath);
    std::size_t dot = name.find_last_of(L'.');
    if (dot != std::wstring::npos && dot != 0)
        name.resize(dot);
    return name;
}

std::wstring CUninstallerThread::ShortcutSuffix(const std::wstring& shortcutName) {
    std::size_t end = shortcutName.size();
    if (!shortcutName.empty() && shortcutName.back() == L')') {
        std::size_t open = shortcutName.find_last_of(L'(');
        if (open != std::wstring::npos && open > 0 && shortcutName[open - 1] == L' ')
            end = open - 1; // the blank that opens the final group
    }
    std::size_t blank = end == 0 ? std::wstring::npos : shortcutName.find_last_of(L' ', end - 1);
    return blank == std::wstring::npos ? shortcutName : shortcutName.substr(blank);
}

int CUninstallerThread::PercentFor(std::uint32_t done, std::uint32_t total) {
    if (total == 0)
        return 0;
    return static_cast<int>(static_cast<std::uint64_t>(done) * 100 / total * 99 / 100 + 1);
}

void CUninstallerThread::Post(std::uint32_t message, plat::LPARAM lParam) {
    if (!Stopped())
        plat::PostMessage(window_, message, 0, lParam);
}

void CUninstallerThread::SendProgress(int percent) {
    if (Stopped())
        return;
    std::uint64_t now = NowMs();
    if (lastMessageMs_ != 0 && now - lastMessageMs_ <= kProgressIntervalMs && percent != 0 &&
        percent != 100)
        return;
    lastMessageMs_ = now;
    Post(kUninstallProgressMessage, percent);
}

void CUninstallerThread::Step() {
    ++done_;
    if (total_ == 0)
        return;
    int percent = PercentFor(done_, total_);
    if (percent == lastPercent_)
        return;
    lastPercent_ = percent;
    SendProgress(percent < 1 ? 1 : percent > 99 ? 99 : percent);
}

void CUninstallerThread::DeleteShortcuts(const std::wstring& target, const std::wstring& name) {
    assistant::DeleteShortcut(target, name, plat::kCsidlDesktop, L"");
    assistant::DeleteShortcut(target, name, plat::kCsidlStartMenu, L"");
    assistant::DeleteShortcut(target, name, plat::kCsidlPrograms, fullName_);
}

// A portable installation holds the launcher or its "guest.dat"; an empty
// folder has nothing to lose. Anything else is no folder to empty.
bool CUninstallerThread::OpenInstallation(plat::OpenFolder* folder) {
    std::string why;
    return assistant::OpenWorkFolder(installFolder_, launcherName_, false, folder, &why) &&
           (folder->IsEmpty() || folder->HoldsFile(launcherName_) ||
            folder->HoldsFile(L"guest.dat"));
}

void CUninstallerThread::Run() {
    plat::OpenFolder folder;
    if (!OpenInstallation(&folder)) {
        Post(kUninstallThreadFinishedMessage, kUninstallFailed);
        return;
    }
    SendProgress(0);

    total_ = plat::CountTreeEntries(folder);
    done_ = 0;
    lastPercent_ = 0;
    lastMessageMs_ = 0;

    std::vector<assistant::AppListRecord> records;
    if (assistant::ReadAppList(folder, &records) == assistant::AppListState::Malformed)
        folder.DeleteFile(assistant::kAppListFileName);

    plat::TreeDeleteOptions options;
    options.keepName = launcherName_;
    options.stop = &walkerStop_;
    options.onEntry = [this] { Step(); };
    plat::DeleteTreeContents(folder, options);
    if (!walkerStop_) {
        folder.DeleteFile(launcherName_);
        std::wstring resolved = folder.ResolvedPath();
        folder.Close();
        plat::RemoveDirectory(resolved.empty() ? installFolder_ : resolved);
    }
    if (Stopped())
        return;

    const std::wstring name = ShortcutNameFromQuotedPath(quotedPath_);
    const std::wstring suffix = ShortcutSuffix(name);
    const std::wstring target = plat::JoinPath(installFolder_, launcherName_);
    DeleteShortcuts(target, name);
    assistant::DeleteUninstallShortcut(target, name, fullName_, false);
    for (const assistant::AppListRecord& record : records) {
        if (record.name.empty() || !assistant::IsSafeName(record.name) ||
            !assistant::IsSafeRelativePath(record.exec))
            continue;
        DeleteShortcuts(plat::JoinPath(installFolder_, plat::NativePath(record.exec)),
                        record.name + suffix);
    }

    if (plat::PathEntryExists(installFolder_))
        assistant::DeleteFolderTree(installFolder_);
    bool removed = !plat::PathEntryExists(installFolder_);
    SendProgress(100);
    Post(kUninstallThreadFinishedMessage, removed ? kUninstallRemoved : kUninstallFailed);
}

} // namespace update
