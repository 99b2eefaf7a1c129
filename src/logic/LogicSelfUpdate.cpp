// CLogic: the launcher's replacement of itself. A verified new launcher was
// written as "Launcher.tmp.exe"; the launcher restarts through it, the copy
// puts its own file in the place of "Launcher.exe" (retrying while the old
// process still holds that file) and starts it, and "Launcher.exe" removes
// the copy at its next start.

#include "logic/Logic.h"

#include "assistant/LauncherFiles.h"
#include "logic/LauncherMessages.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"

#include <chrono>
#include <thread>

namespace {

// The pause between the attempts of the copy over "Launcher.exe".
constexpr auto kCopyPause = std::chrono::milliseconds(250);
// The temporary copy ends right after it started "Launcher.exe"; its file
// is free for deletion soon after.
constexpr int kDeleteAttempts = 12;

} // namespace

bool CLogic::ReplaceLoader() {
    Log(L"replaceLoader()");
    const std::wstring exe = plat::GetExecutablePath();
    const std::wstring folder = plat::FolderOf(exe);
    Log(L"Install Folder  " + cycle_.InstallFolder());
    if (assistant::IsTempLauncherName(exe)) {
        Log(L"Runned temp copy of launcher");
        View().ShowFirstPage(1);
        const std::wstring target = plat::JoinPath(folder, assistant::kLauncherFileName);
        Log(L"Copy Launcher.tmp.exe to Launcher.exe");
        bool copied = false;
        for (int attempt = 1; attempt <= copyAttempts_ && !copied; ++attempt) {
            copied = assistant::CopyFileWhole(exe, target);
            if (copied)
                break;
            Log(L" .. copy failed, waiting 0.25 second and try again");
            if (attempt < copyAttempts_)
                std::this_thread::sleep_for(kCopyPause);
        }
        if (!copied) {
            Log(L"Copy failed, exit");
            View().ShowMessageBox(GetString(94), kBoxFatal, kBoxButtonsOk, false, 0);
            return false;
        }
        Log(L"Create process Launcher.exe from Launcher.tmp.exe");
        plat::ProcessStartInfo info;
        info.commandLine = L"\"" + target + L"\"";
        if (settings_.fast)
            info.commandLine += L" /fast";
        plat::Process process;
        if (!process.Start(info)) {
            View().ShowConfirm(94, kBoxFatal, kBoxButtonsOk, false);
            return false;
        }
        process.Close();
        Log(L"Process started succesful");
        FinishAndQuit();
        return false;
    }
    const std::wstring temp = plat::JoinPath(folder, assistant::kTempLauncherFileName);
    if (plat::FileExists(temp)) {
        Log(L"delete Launcher.tmp.exe");
        for (int attempt = 0; attempt < kDeleteAttempts && !plat::DeleteFile(temp); ++attempt)
            std::this_thread::sleep_for(kCopyPause);
    }
    // Copies a killed replacement left beside the launcher.
    for (const plat::FindEntry& entry :
         plat::FindFiles(plat::JoinPath(folder, L".Launcher.exe.*.part")))
        plat::DeleteFile(plat::JoinPath(folder, entry.name));
    return true;
}

void CLogic::RestartThroughNewLauncher() {
    RestartAs(assistant::kTempLauncherFileName, cycle_.InstallFolder());
}
