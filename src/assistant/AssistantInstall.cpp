// Install, its InstallClient step, GetRights and UpdateShortcuts: the
// registration of an installation under HKEY_LOCAL_MACHINE, its folder and
// rights, and the all-users shortcuts.

#include "assistant/Assistant.h"

#include "assistant/AssistantChecks.h"
#include "assistant/AssistantProtocol.h"
#include "assistant/FolderUtils.h"
#include "assistant/InstallDirList.h"
#include "assistant/Shortcuts.h"
#include "base/Strings.h"
#include "platform/Elevation.h"
#include "platform/FileSystem.h"
#include "platform/Registry.h"
#include "platform/RegistryAccess.h"
#include "platform/ShellLink.h"
#include "platform/ShellFolders.h"

namespace assistant {

namespace {

constexpr wchar_t kInstallSubkey[] = L"\\Install";
// Entries this short are free: empty, or left over without a real folder.
constexpr std::size_t kFreeEntryLength = 3;

std::wstring DesktopShortcutPath(const std::wstring& desktopFolder, const std::wstring& name) {
    if (desktopFolder.empty())
        return std::wstring();
    return plat::JoinPath(desktopFolder, name + plat::kShortcutExtension);
}

// "bin\game.exe" as a path below the folder.
std::wstring TargetIn(const std::wstring& folder, const std::wstring& relative) {
    return plat::JoinPath(folder, plat::NativePath(relative));
}

} // namespace

bool CAssistant::OpenFolderFor(const std::wstring& path, bool mustHoldLauncher,
                               plat::OpenFolder* folder) {
    std::string why;
    if (OpenWorkFolder(path, launcherName_, mustHoldLauncher, folder, &why))
        return true;
    Log(L"Refused '" + path + L"': " + base::Utf8ToWide(why));
    return false;
}

void CAssistant::Install() {
    SendProgress(0, true);
    CInstallDirList list(data_.regPath);
    if (plat::RegistryKeyExists(plat::RegistryRoot::LocalMachine, data_.regPath))
        list.Clean();
    SendProgress(5);
    InstallClient(-1);
    SendProgress(100, true);
}

bool CAssistant::InstallClient(int index) {
    Log(base::FormatW(L"InstallClient: index = %d", index));
    const bool fresh = index < 0;
    const std::wstring& folder = data_.installFolder;
    if (fresh) {
        bool existed = plat::DirectoryExists(folder);
        if (!existed && !CreateFolderTree(folder)) {
            SetError(kCntCreateDir);
            return false;
        }
        plat::OpenFolder open;
        if (!OpenFolderFor(folder, false, &open)) {
            SetError(kCntCreateDir);
            return false;
        }
        // A folder that was there before is taken only when it is empty, an
        // installation already, or the user's own: never someone else's data.
        if (existed && !open.IsEmpty() && !open.HoldsFile(launcherName_) &&
            open.OwnerId() != plat::InvokingUserId()) {
            Log(L"Refused '" + folder + L"': it holds another user's files");
            SetError(kCntCreateDir);
            return false;
        }
        SendProgress(10);
    }

    CInstallDirList list(data_.regPath);
    int entry = list.Find(folder);
    if (entry < 0) {
        if (!fresh) {
            SetError(kTooManyInstallations);
            return false;
        }
        list.Load();
        for (int i = 0; i < CInstallDirList::kEntryCount && entry < 0; ++i)
            if (list.Entry(i).size() < kFreeEntryLength)
                entry = i;
        if (entry < 0) {
            SetError(kTooManyInstallations);
            return false;
        }
    }

    const std::wstring keyPath = UninstallKeyPath(data_.fullName, entry);
    const std::wstring displayName = InstallationDisplayName(data_.iconName, entry);
    const std::wstring desktopShortcut = DesktopShortcutPath(data_.lnkDesktopIcon, displayName);
    if (fresh)
        SendProgress(15);

    if (!GetRights(data_.userName, folder, data_.regPath, !fresh))
        return false;

    if (fresh) {
        SendProgress(70);
        plat::OpenFolder open;
        if (open.Open(folder))
            for (const wchar_t* name : {L"guest.dat", L"addpkg.dat", L"applist.dat"})
                open.DeleteFile(name);
    }

    plat::DeleteRegistryTree(plat::RegistryRoot::LocalMachine, keyPath);
    plat::RegistryKey key;
    if (!key.Create(plat::RegistryRoot::LocalMachine, keyPath)) {
        SetError(kCntCreateUninstallRegPath);
        return false;
    }
    const std::wstring launcherPath = plat::JoinPath(folder, launcherName_);
    const std::wstring shownName =
        entry == 0 ? data_.fullName : base::FormatW(L"%ls (%d)", data_.fullName.c_str(), entry + 1);
    const std::pair<const wchar_t*, std::wstring> values[] = {
        {L"DisplayName", shownName},
        {L"UninstallString", L"\"" + launcherPath + L"\" /uninstall \"" + desktopShortcut + L"\""},
        {L"DisplayIcon", L"\"" + launcherPath + L"\",0"},
        {L"InstallLocation", folder},
        {L"HelpLink", data_.helpLink},
        {L"URLInfoAbout", data_.urlInfoAbout},
        {L"URLUpdateInfo", data_.urlUpdateInfo},
    };
    for (const auto& [name, value] : values) {
        if (!key.WriteString(name, value)) {
            SetError(kCntCreateUninstallRegPath);
            return false;
        }
    }

    if (!list.Add(folder)) {
        SetError(kCntPutInstDirToReg);
        return false;
    }
    if (fresh)
        SendProgress(80);
    UpdateShortcuts();
    if (fresh)
        SendProgress(95);
    return true;
}

bool CAssistant::GetRights(const std::wstring& userName, const std::wstring& folder,
                           const std::wstring& regPath, bool expectInstallation,
                           const std::function<void()>& onEntry) {
    Log(L"GetRights: " + folder + L" for " + userName);
    plat::OpenFolder open;
    if (!OpenFolderFor(folder, expectInstallation, &open)) {
        SetError(kCntFoundDir);
        return false;
    }
    std::uint32_t failures = 0;
    if (!plat::GrantTreeToInvokingUser(open, &cancel_, onEntry, &failures)) {
        SetError(kCntSetRights);
        return false;
    }
    if (failures != 0)
        Log(base::FormatW(L"GetRights: %u entries below the folder kept their rights", failures));
    for (const std::wstring& key : {regPath, regPath + kInstallSubkey}) {
        if (!plat::GrantRegistryKeyToInvokingUser(plat::RegistryRoot::LocalMachine, key)) {
            SetError(kCntSetRights);
            return false;
        }
    }
    return true;
}

void CAssistant::UpdateShortcuts() {
    CInstallDirList list(data_.regPath);
    int entry = list.Find(data_.installFolder);
    if (entry < 0)
        return;
    for (const AssistantIcon& icon : data_.icons) {
        const std::wstring name = InstallationDisplayName(icon.name, entry);
        const std::wstring target = TargetIn(data_.installFolder, icon.exec);
        if (data_.iconStartMenu) {
            if (icon.add)
                CreateShortcut(target, L"", name, plat::kCsidlCommonStartMenu, L"", 0, false);
            else
                DeleteShortcut(target, name, plat::kCsidlCommonStartMenu, L"");
        }
        if (data_.iconPrograms) {
            if (icon.add)
                CreateShortcut(target, L"", name, plat::kCsidlCommonPrograms, data_.fullName, 0,
                               data_.iconProgramsFolder && icon.name == data_.iconName);
            else
                DeleteShortcut(target, name, plat::kCsidlCommonPrograms, data_.fullName);
        }
    }
}

} // namespace assistant
