// CLogic installing: the folder the installation goes to, the rights an
// update needs, the portable installation done here and the standard one
// through the assistant, the folder made ready for the check, the user's
// shortcuts, the external applications, the taskbar identity and the
// platform runtime package.

#include "logic/Logic.h"

#include "assistant/AppList.h"
#include "assistant/InstallDirList.h"
#include "assistant/LauncherFiles.h"
#include "assistant/Shortcuts.h"
#include "base/Buffer.h"
#include "base/Strings.h"
#include "config/ConfigKeys.h"
#include "logic/InstallRules.h"
#include "logic/LauncherMessages.h"
#include "logic/VirtualStore.h"
#include "logic/WizardControls.h"
#include "platform/CommandLine.h"
#include "platform/Elevation.h"
#include "platform/File.h"
#include "platform/FileSystem.h"
#include "platform/FolderTree.h"
#include "platform/Folders.h"
#include "platform/Process.h"
#include "platform/ProcessList.h"
#include "platform/Registry.h"
#include "platform/Resources.h"
#include "platform/ShellFolders.h"
#include "platform/TextCase.h"

namespace {

constexpr wchar_t kGuestFile[] = L"guest.dat";
constexpr wchar_t kWritableProbe[] = L"$test.bat";
constexpr wchar_t kRuntimePackage[] = L"KB2999226.msu";
// The icon group resource whose bytes the application identity starts from.
constexpr int kIconResource = 101;

} // namespace

int CLogic::InstallationIndex() const {
    assistant::CInstallDirList list(base::Utf8ToWide(configuration_.regPath));
    return list.Find(cycle_.InstallFolder());
}

bool CLogic::ChooseInstallFolder(const std::wstring& picked) {
    std::wstring folder;
    if (!picked.empty()) {
        folder = picked;
    } else if (!cycle_.InstallFolder().empty()) {
        folder = cycle_.InstallFolder();
    } else if (settings_.runMode != rmInstall) {
        folder = plat::GetExecutableFolder();
    } else {
        assistant::CInstallDirList list(base::Utf8ToWide(configuration_.regPath));
        folder = list.FirstFolder();
        if (folder.size() < 4) {
            std::wstring programs;
            if (!plat::GetSpecialFolderPath(plat::kCsidlProgramFiles, &programs))
                return false;
            folder = plat::JoinPath(programs, base::Utf8ToWide(settings_.shortName));
        }
    }
    while (folder.size() > 1 && (folder.back() == L'/' || folder.back() == L'\\'))
        folder.pop_back();
    cycle_.SetInstallFolder(folder);
    View().SetText(settings_.singlePageMode ? logic::kFolderTextSingle : logic::kFolderText,
                   folder);
    return true;
}

bool CLogic::CheckWritable(const std::wstring& folder) const {
    if (!plat::DirectoryExists(folder))
        return false;
    const std::wstring probe = plat::JoinPath(folder, kWritableProbe);
    plat::File file;
    if (!file.Open(probe, plat::kWrite, plat::Disposition::CreateAlways))
        return false;
    file.Close();
    plat::SetFileAttributes(probe, plat::kAttrNormal);
    plat::DeleteFile(probe);
    return true;
}

bool CLogic::CheckRegistryWritable(const std::wstring& keyPath) {
    plat::RegistryKey key;
    if (key.Create(plat::RegistryRoot::LocalMachine, keyPath))
        return true;
    Log(L"Can not write to reg path: " + keyPath);
    return false;
}

bool CLogic::CheckRights() {
    if (settings_.runMode != rmUpdate && settings_.runMode != rmDownload)
        return true;
    const std::wstring folder = cycle_.InstallFolder();
    logic::ClearVirtualStore(folder, log_);
    const bool writable = CheckWritable(folder);
    bool registry = true;
    if (!settings_.portable) {
        const std::wstring regPath = base::Utf8ToWide(configuration_.regPath);
        for (const wchar_t* sub : {L"", L"\\Install", L"\\Language", L"\\Login"}) {
            if (!CheckRegistryWritable(regPath + sub)) {
                registry = false;
                break;
            }
        }
    }
    if (writable && (registry || settings_.portable))
        return true;
    if (!settings_.portable) {
        // The assistant gives the user the rights; its answer starts the work.
        RunAssistant(eLauncherCmd_GetRights);
        return false;
    }
    if (settings_.runMode == rmDownload) {
        AnswerClient(eWindowsMessage_ClientReady, 0, 1);
        FinishAndQuit();
        return false;
    }
    ShowError(70, kBoxFatal);
    return false;
}

void CLogic::BeginInstallation() {
    if (!userFolder_.empty()) {
        if (userFolder_.size() <= 3) {
            Log(L"Unable create dest directory");
            ShowError(93, kBoxChooseAgain);
            return;
        }
        ChooseInstallFolder(userFolder_);
    }
    if (settings_.runMode == rmInstall) {
        // Only an absolute folder is taken, and a folder of other files gets
        // a folder of its own inside.
        std::wstring folder;
        if (!logic::SettleInstallFolder(cycle_.InstallFolder(),
                                        base::Utf8ToWide(settings_.shortName), &folder)) {
            Log(L"Unable create dest directory: " + cycle_.InstallFolder());
            ShowError(93, kBoxChooseAgain);
            return;
        }
        if (folder != cycle_.InstallFolder())
            Log(L"Installation folder: " + folder);
        ChooseInstallFolder(folder);
    }
    logic::ClearVirtualStore(cycle_.InstallFolder(), log_);
    if (settings_.runMode == rmInstall && !StartInstall())
        return;
    PrepareInstalledFolder();
}

bool CLogic::StartInstall() {
    const std::wstring folder = cycle_.InstallFolder();
    std::vector<assistant::AppListRecord> oldShortcuts;
    plat::OpenFolder open;
    if (open.Open(folder) &&
        assistant::ReadAppList(open, &oldShortcuts) == assistant::AppListState::Read &&
        !oldShortcuts.empty())
        Log(std::wstring(assistant::kAppListFileName) + L" is present, need to delete old icons");
    open.Close();
    // The shortcuts to make: the old ones go, the launcher's comes.
    shortcutEntries_.clear();
    for (const assistant::AppListRecord& old : oldShortcuts) {
        if (!old.name.empty())
            shortcutEntries_.push_back(assistant::AssistantIcon{old.name, old.exec, false});
    }
    const std::wstring iconName =
        settings_.iconName.empty() ? settings_.fullNameW : base::Utf8ToWide(settings_.iconName);
    shortcutEntries_.push_back(
        assistant::AssistantIcon{iconName,
                                 base::Utf8ToWide(config::ShortcutFileName(
                                     configuration_.configDoc.Read(config::keys::kShortcutFile))),
                                 true});

    if (settings_.portable) {
        Log(L"Start - guest install");
        if (!PrepareGuestFolder(folder)) {
            ShowError(93, kBoxChooseAgain);
            return false;
        }
        CreateGuestShortcuts();
        return true;
    }
    BlankLine();
    Log(L"--- Start Install ---");
    BlankLine();
    RunAssistant(eLauncherCmd_Install);
    return false;
}

bool CLogic::PrepareGuestFolder(const std::wstring& folder) {
    Log(L"prepare guest directory .. ", false);
    if (!plat::DirectoryExists(folder) && !plat::CreateDirectoryTree(folder)) {
        Log(L"fail");
        return false;
    }
    if (!CheckWritable(folder)) {
        Log(L"prepare guest directory .. fail");
        return false;
    }
    plat::File guest;
    if (!guest.Open(plat::JoinPath(folder, kGuestFile), plat::kWrite,
                    plat::Disposition::CreateAlways)) {
        Log(L"prepare guest directory .. fail");
        return false;
    }
    Log(L"OK");
    return true;
}

void CLogic::PrepareInstalledFolder() {
    const std::wstring folder = cycle_.InstallFolder();
    if (!plat::DirectoryExists(folder) && !plat::CreateDirectoryTree(folder)) {
        ShowError(93, kBoxChooseAgain);
        return;
    }
    View().ShowFirstPage(4);
    if (settings_.runMode == rmInstall) {
        // The shortcuts start the launcher from the installation.
        const std::wstring name = base::Utf8ToWide(
            config::ShortcutFileName(configuration_.configDoc.Read(config::keys::kShortcutFile)));
        const std::wstring target = plat::JoinPath(folder, name);
        const std::wstring running = plat::GetExecutablePath();
        if (!plat::EqualsNoCase(plat::ResolvedPath(running), plat::ResolvedPath(target)) &&
            !assistant::CopyFileWhole(running, target)) {
            ShowSystemError(L"", plat::GetLastError());
            return;
        }
        SetApplicationId();
    }
    std::set<std::wstring> chosen;
    for (const ExternalAppChoice& app : externalApps_) {
        if (app.selected)
            chosen.insert(app.exec);
    }
    cycle_.ReleaseChecker(folder, chosen);
}

void CLogic::UpdateDesktopShortcuts(bool allShortcuts) {
    const int index = InstallationIndex();
    const std::wstring folder = cycle_.InstallFolder();
    for (const assistant::AssistantIcon& entry : shortcutEntries_) {
        const std::wstring name = assistant::InstallationDisplayName(entry.name, index);
        const std::wstring target = plat::JoinPath(folder, plat::NativePath(entry.exec));
        Log((entry.add ? L"create desctop icon: " : L"delete desctop icon: ") + name);
        if (entry.add) {
            assistant::CreateShortcut(target, L"", name, plat::kCsidlDesktop, L"", 0, false);
            if (allShortcuts) {
                assistant::CreateShortcut(target, L"", name, plat::kCsidlStartMenu, L"", 0, false);
                assistant::CreateShortcut(target, L"", name, plat::kCsidlPrograms,
                                          settings_.fullNameW, 0, false);
            }
        } else {
            assistant::DeleteShortcut(target, name, plat::kCsidlDesktop, L"");
            if (allShortcuts) {
                assistant::DeleteShortcut(target, name, plat::kCsidlStartMenu, L"");
                assistant::DeleteShortcut(target, name, plat::kCsidlPrograms, settings_.fullNameW);
            }
        }
    }
}

void CLogic::RefreshShortcuts() {
    // The user's desktop shortcuts of a standard installation; a portable
    // one made its own when it was installed.
    if (settings_.iconDesktop && !settings_.portable)
        UpdateDesktopShortcuts(false);
}

void CLogic::CreateGuestShortcuts() {
    const std::wstring folder = cycle_.InstallFolder();
    const std::wstring name =
        settings_.iconName.empty() ? settings_.fullNameW : base::Utf8ToWide(settings_.iconName);
    const int index = InstallationIndex();
    const std::wstring display = assistant::InstallationDisplayName(name, index);
    const std::wstring launcher = plat::JoinPath(folder, assistant::kLauncherFileName);
    const std::wstring desktopShortcut =
        assistant::ShortcutPath(launcher, display, plat::kCsidlDesktop, L"");

    // The launcher, then each internal application of the manifest.
    std::vector<std::pair<std::wstring, std::wstring>> shortcuts = {{display, launcher}};
    for (const update::InternalApp& app : cycle_.InternalApps()) {
        if (logic::IsSafeApplicationPath(app.exec))
            shortcuts.emplace_back(assistant::InstallationDisplayName(app.name, index),
                                   plat::JoinPath(folder, plat::NativePath(app.exec)));
    }
    for (const auto& [shortcutName, target] : shortcuts) {
        const std::wstring path =
            assistant::ShortcutPath(target, shortcutName, plat::kCsidlDesktop, L"");
        if (settings_.iconDesktop && !plat::FileExists(path))
            assistant::CreateShortcut(target, L"", shortcutName, plat::kCsidlDesktop, L"", 0,
                                      false);
        if (!settings_.iconPrograms)
            continue;
        // The programs subfolder is named by the full name, where the
        // uninstall looks for these shortcuts.
        assistant::CreateShortcut(target, L"", shortcutName, plat::kCsidlPrograms,
                                  settings_.fullNameW, 0, false);
        if (target == launcher)
            assistant::CreateShortcut(target, L"/uninstall \"" + desktopShortcut + L"\"",
                                      assistant::UninstallShortcutName(display),
                                      plat::kCsidlPrograms, settings_.fullNameW, 1, false);
    }
}

void CLogic::RunExternalApplications() {
    if (externalApps_.empty())
        return;
    BlankLine();
    Log(L"--- Run external applications ---");
    BlankLine();
    const bool elevated = plat::IsProcessElevated();
    for (ExternalAppChoice& app : externalApps_) {
        app.started = true;
        if (!app.selected)
            continue;
        // A name from the manifest never leads out of the installation.
        const std::wstring path =
            logic::IsSafeApplicationPath(app.exec)
                ? plat::JoinPath(cycle_.InstallFolder(), plat::NativePath(app.exec))
                : std::wstring();
        Log(L"  Run ext file: " + (path.empty() ? app.exec : path));
        if (path.empty() || !plat::FileExists(path)) {
            Log(L"   .. fail - file not found");
            continue;
        }
        plat::ProcessStartInfo info;
        info.commandLine = plat::BuildCommandLine(path, app.parameters);
        info.tail = plat::TailPassing::Split;
        info.hidden = true;
        plat::Process process;
        const bool started = elevated ? process.Start(info) : plat::StartElevated(info, &process);
        Log(started ? L"   .. ok" : L"   .. fail");
        process.Close();
    }
    BlankLine();
    Log(L"---------------------------------");
}

void CLogic::SetApplicationId() {
    std::string icon;
    plat::ResourceData data;
    if (plat::FindResource("ICON_GROUP", kIconResource, &data))
        icon.assign(static_cast<const char*>(data.data), data.size);
    applicationId_ = logic::ApplicationIdentity(settings_.fullNameW, icon, cycle_.InstallFolder());
    clientExtras_ += L" -appID \"" + applicationId_ + L"\"";
}

void CLogic::ShowUninstallQuestion() {
    View().SetText(logic::kTextUninstallPath, settings_.workFolder);
    View().ShowPage(PageNumber(logic::kPageUninstallQuestion));
}

void CLogic::SetRuntimeMissing(const std::string& packageUrl) {
    settings_.ucrtPresent = false;
    settings_.kbUrl = packageUrl;
}

void CLogic::SaveRuntimePackage(const CBuffer& body) {
    const std::wstring path = plat::JoinPath(plat::GetTempFolder(), kRuntimePackage);
    plat::File file;
    if (!file.Open(path, plat::kWrite, plat::Disposition::CreateAlways)) {
        Log(L"Failed to open '" + path + L"' for writing.");
        return;
    }
    if (!file.Write(body.Data(), body.Size())) {
        Log(L"Failed to write '" + path + L"'.");
        return;
    }
    file.Close();
    Log(base::FormatW(L"File '%ls' saved, %d bytes.", path.c_str(), static_cast<int>(body.Size())));
    Log(L"Installing KB2999226...");
    RunAssistant(eLauncherCmd_InstallKB);
}
