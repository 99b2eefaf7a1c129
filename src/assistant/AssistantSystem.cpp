// KillProcess and InstallKB: ending the running client, and running the
// platform update package that the launcher downloaded beside the assistant.

#include "assistant/Assistant.h"

#include "assistant/AssistantProtocol.h"
#include "assistant/FolderUtils.h"
#include "assistant/ProcessKill.h"
#include "base/Strings.h"
#include "platform/Elevation.h"
#include "platform/FileSystem.h"
#include "platform/Process.h"
#include "platform/ShellOpen.h"

namespace assistant {

namespace {

constexpr wchar_t kPackageName[] = L"KB2999226.msu";
constexpr int kPackageWaitMs = 600000;
// The wait for the package looks at the cancel flag this often.
constexpr int kCancelCheckMs = 100;

} // namespace

bool CAssistant::KillProcess(const std::wstring& path) {
    int ended = 0;
    if (KillByPath(path, &ended))
        return true;
    Log(L"KillProcess: a process running '" + path + L"' did not end");
    SetError(kCntKillProcess);
    return false;
}

void CAssistant::InstallKB() {
    const std::wstring package = plat::JoinPath(GetModuleFolder(), kPackageName);
    Log(L"Installing KB: " + package);
    plat::Process process;
    if (!plat::OpenDocument(package, &process)) {
        Log(L"ShellExecuteEx failed");
        SetError(kPackageStartFailed);
        return;
    }
    Log(L"ShellExecuteEx succeeded");
    if (Cancelled())
        return;
    SendProgress(5, true);
    Log(L"Waiting for process to complete");
    bool ended = false;
    for (int waited = 0; waited < kPackageWaitMs && !ended && !Cancelled();
         waited += kCancelCheckMs)
        ended = process.Wait(kCancelCheckMs);
    if (!ended && Cancelled()) {
        // The launcher is going away; the package installer goes on alone.
        Log(L"Cancel received while waiting for the package");
        process.Close();
        return;
    }
    if (!ended) {
        Log(L"Failed to wait process to complete");
        SetError(kPackageWaitFailed);
        return;
    }
    Log(L"Process completed");
    std::uint32_t exitCode = 0;
    process.GetExitCode(&exitCode);
    Log(base::FormatW(L"Process exit code: %u", exitCode));
    if (exitCode != 0)
        SetError(kPackageFailed);
    // The package lies in the launcher user's folder.
    plat::InvokingUserFiles asUser;
    plat::DeleteFile(package);
}

} // namespace assistant
