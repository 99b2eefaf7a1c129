#include "logic/RunModeDecision.h"

#include "assistant/InstallDirList.h"
#include "assistant/LauncherFiles.h"
#include "log/LogImplW.h"
#include "platform/FileSystem.h"

namespace logic {

namespace {

void Log(CLogImplW* log, std::wstring_view text, bool newLine) {
    if (log)
        log->Write(text, newLine);
}

// The executable's folder without its trailing separator.
std::wstring ExecutableFolder(const std::wstring& exePath) {
    std::wstring folder = plat::FolderOf(exePath);
    while (folder.size() > 1 && (folder.back() == L'/' || folder.back() == L'\\'))
        folder.pop_back();
    return folder;
}

RunModeResult Decided(int runMode, bool portable) {
    RunModeResult decision;
    decision.runMode = runMode;
    decision.portable = portable;
    decision.needNetwork = runMode == rmInstall || runMode == rmUpdate || runMode == rmDownload;
    return decision;
}

} // namespace

bool GuestFileExists(const std::wstring& folder) {
    return plat::FileExists(plat::JoinPath(folder, L"guest.dat"));
}

FolderPredicate RecordedInstallation(const std::wstring& regPath) {
    return [regPath](const std::wstring& folder) {
        assistant::CInstallDirList list(regPath);
        return list.Find(folder) != -1;
    };
}

RunModeResult DecideRunMode(const RunModeInput& input, CLogImplW* log) {
    const FolderPredicate hasGuestFile =
        input.hasGuestFile ? input.hasGuestFile : FolderPredicate(GuestFileExists);
    Log(log, L"Launcher run mode: ", false);

    if (input.runCommand == rcSetLongName) {
        Log(log, L"rmSetLongName", true);
        return Decided(rmSetLongName, hasGuestFile(input.workFolder));
    }

    const std::wstring folder = ExecutableFolder(input.executablePath);
    bool portable = hasGuestFile(folder);
    const bool installed = input.isInstalled && input.isInstalled(folder);
    const bool named = assistant::IsLauncherName(input.executablePath);

    if (input.runCommand == rcDownload) {
        if (!named || (!portable && !installed)) {
            Log(log, L"  rmUnknown", true);
            return Decided(rmUnknown, portable);
        }
        if (portable)
            Log(log, L"  Portable, ", false);
        Log(log, L"  rmDownload", true);
        return Decided(rmDownload, portable);
    }

    // Only the launcher and its self-update copy may run a portable
    // installation.
    if (!named && !assistant::IsTempLauncherName(input.executablePath))
        portable = false;
    if (portable)
        Log(log, L"  Portable, ", false);

    switch (input.runCommand) {
    case rcUninstallGuest:
        portable = true;
        [[fallthrough]];
    case rcUninstall:
    case rcUninstallFrom:
        Log(log, L"rmUninstaller", true);
        return Decided(rmUninstaller, portable);
    default:
        if (installed || portable) {
            Log(log, L"rmUpdate", true);
            return Decided(rmUpdate, portable);
        }
        Log(log, L"rmInstall", true);
        return Decided(rmInstall, portable);
    }
}

} // namespace logic
