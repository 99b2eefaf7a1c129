// Uninstall: end the client, remove the installation's shortcuts, files,
// folder-list entry and uninstall entry.

#include "assistant/Assistant.h"

#include "assistant/AppList.h"
#include "assistant/AssistantChecks.h"
#include "assistant/AssistantProtocol.h"
#include "assistant/InstallDirList.h"
#include "assistant/Shortcuts.h"
#include "base/Strings.h"
#include "platform/Elevation.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/ShellLink.h"
#include "platform/ShellFolders.h"

namespace assistant {

namespace {

constexpr int kDeleteAttempts = 6;
constexpr int kDeletePauseMs = 100;
constexpr std::size_t kMinShortcutPath = 4;

// The desktop shortcut named in the uninstall entry's command: the text
// after its third double quote up to the next one. Only an absolute path to
// a shortcut file counts.
std::wstring DesktopShortcutFrom(const std::wstring& uninstallString) {
    std::size_t quote = std::wstring::npos;
    std::size_t from = 0;
    for (int i = 0; i < 3; ++i) {
        quote = uninstallString.find(L'"', from);
        if (quote == std::wstring::npos)
            return std::wstring();
        from = quote + 1;
    }
    std::size_t end = uninstallString.find(L'"', from);
    std::wstring path = uninstallString.substr(from, end == std::wstring::npos ? end : end - from);
    const std::wstring extension = plat::kShortcutExtension;
    bool isShortcut =
        path.size() >= kMinShortcutPath + extension.size() &&
        path.compare(path.size() - extension.size(), extension.size(), extension) == 0;
    return isShortcut && IsSafeAbsolutePath(path) ? path : std::wstring();
}

// A shortcut file in the user's desktop, removed with the user's rights.
void DeleteUserFile(const std::wstring& path) {
    plat::InvokingUserFiles asUser;
    plat::DeleteFile(path);
}

} // namespace

void CAssistant::Uninstall() {
    if (!KillProcess(data_.temp))
        return;
    const std::wstring& folder = data_.installFolder;
    CInstallDirList list(data_.regPath);
    int entry = list.Find(folder);
    if (entry < 0) {
        // Nothing is removed: the launcher must not report an uninstalled
        // folder that is still there.
        Log(L"Uninstall: '" + folder + L"' is no listed installation");
        SetError(kCntFoundDir);
        return;
    }
    const std::wstring keyPath = UninstallKeyPath(data_.fullName, entry);
    const std::wstring displayName = InstallationDisplayName(data_.iconName, entry);
    SendProgress(0, true);

    plat::OpenFolder open;
    if (!OpenFolderFor(folder, true, &open)) {
        SetError(kShortInstallationPath);
        return;
    }

    std::wstring desktopShortcut;
    plat::RegistryKey key;
    std::wstring uninstallString;
    if (key.Open(plat::RegistryRoot::LocalMachine, keyPath) &&
        key.ReadString(L"UninstallString", &uninstallString))
        desktopShortcut = DesktopShortcutFrom(uninstallString);
    const std::wstring desktopFolder = plat::FolderOf(desktopShortcut);

    std::vector<AppListRecord> records;
    ReadAppList(open, &records);
    for (const AppListRecord& record : records) {
        if (!IsSafeName(record.name) || !IsSafeRelativePath(record.exec))
            continue;
        const std::wstring name = InstallationDisplayName(record.name, entry);
        const std::wstring target = plat::JoinPath(folder, plat::NativePath(record.exec));
        if (!desktopFolder.empty())
            DeleteUserFile(plat::JoinPath(desktopFolder, name + plat::kShortcutExtension));
        DeleteShortcut(target, name, plat::kCsidlCommonStartMenu, L"");
        DeleteShortcut(target, name, plat::kCsidlCommonPrograms, data_.fullName);
    }

    // Rights first, then the files; both walks move the progress.
    const std::uint32_t total = 2 * plat::CountTreeEntries(open);
    std::uint32_t done = 0;
    int lastPercent = -1;
    auto step = [&] {
        ++done;
        if (total == 0)
            return;
        int percent =
            static_cast<int>(static_cast<std::uint64_t>(done) * 100 / total * 98 / 100 + 1);
        if (percent > 99)
            percent = 99;
        if (percent != lastPercent) {
            lastPercent = percent;
            SendProgress(percent, true);
        }
    };
    if (!GetRights(data_.userName, folder, data_.regPath, true, step))
        return;
    plat::TreeDeleteOptions options;
    options.keepName = launcherName_;
    options.keepOnlyAtTop = true;
    options.attempts = kDeleteAttempts;
    options.retryPauseMs = kDeletePauseMs;
    options.stop = &cancel_;
    options.onEntry = step;
    bool clean = plat::DeleteTreeContents(open, options);
    if (Cancelled()) {
        Log(L"Uninstall: cancelled");
        return;
    }
    if (!clean) {
        // The registration and the launcher stay, so the uninstall can be
        // run again once whatever kept the files is gone.
        Log(L"Uninstall: files of '" + folder + L"' could not be deleted");
        SetError(kCntFoundDir);
        return;
    }
    open.DeleteFile(launcherName_);
    std::wstring resolved = open.ResolvedPath();
    open.Close();
    if (!plat::RemoveDirectory(resolved.empty() ? folder : resolved)) {
        Log(L"Uninstall: the folder '" + folder + L"' could not be removed");
        SetError(kCntFoundDir);
        return;
    }

    const std::wstring launcherPath = plat::JoinPath(folder, launcherName_);
    DeleteShortcut(launcherPath, displayName, plat::kCsidlCommonStartMenu, L"");
    DeleteShortcut(launcherPath, displayName, plat::kCsidlCommonPrograms, data_.fullName);
    DeleteUninstallShortcut(launcherPath, displayName, data_.fullName, true);
    if (desktopShortcut.size() >= kMinShortcutPath)
        DeleteUserFile(desktopShortcut);

    if (!list.Remove(folder))
        SetError(kCntDelInstDirFromReg);
    SendProgress(99, true);
    if (list.Find(folder) < 0)
        plat::DeleteRegistryTree(plat::RegistryRoot::LocalMachine, keyPath);
    SendProgress(100, true);
}

} // namespace assistant
