#pragma once
// The elevated assistant: a copy of the launcher started with administrator
// rights and "/assistant <window>". It opens the pipe its launcher created,
// reads one command and the data block, checks them, runs the command and
// answers with window messages to the launcher's main window; then it ends.
//
// The object lives on the assistant process's main thread, which runs the
// command; a second thread (the cancel watcher) keeps reading the pipe and
// raises the cancel flag when the launcher writes the cancel code.

#include "assistant/AssistantRecord.h"
#include "log/LogImplW.h"
#include "platform/FolderTree.h"
#include "platform/NamedPipe.h"
#include "platform/Window.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace assistant {

// The most shortcut entries one block may announce; a larger count is
// refused before anything is read.
inline constexpr std::uint32_t kMaxIcons = 1024;

class CAssistant {
public:
    explicit CAssistant(plat::HWND launcherWindow);
    ~CAssistant();
    CAssistant(const CAssistant&) = delete;
    CAssistant& operator=(const CAssistant&) = delete;

    // The whole life of the assistant: log, pipe, command, answer.
    void Run();

    // The command read and the result sent (after Run).
    int Command() const { return command_; }
    int Result() const { return result_; }

private:
    // Reading and checking what the launcher sent; false with the result set.
    bool ReadCommand();
    bool ReadRecord();
    bool CheckTrailingData();
    void StartCancelWatcher();
    void StopCancelWatcher();
    void RunCommand();

    // The operations, each on the main thread.
    void Install();
    bool InstallClient(int index);
    bool GetRights(const std::wstring& userName, const std::wstring& folder,
                   const std::wstring& regPath, bool expectInstallation,
                   const std::function<void()>& onEntry = {});
    void UpdateShortcuts();
    bool KillProcess(const std::wstring& path);
    void InstallKB();
    void Uninstall();
    void SetLongName();

    // Checks the folder an operation works on; false (with the reason
    // logged) when it may not be used.
    bool OpenFolderFor(const std::wstring& path, bool mustHoldLauncher, plat::OpenFolder* folder);
    // The result of a failed step, logged with the system's last error.
    void SetError(int result);
    // Progress answers: no more often than every 55 ms unless forced.
    void SendProgress(int percent, bool force = false);
    void Post(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam);
    void Log(const std::wstring& text, bool newLine = true);
    bool Cancelled() const { return cancel_.load(); }

    plat::HWND window_;
    CLogImplW log_;
    plat::NamedPipe pipe_;
    std::thread watcher_;
    std::atomic<bool> cancel_{false};
    AssistantData data_;
    int command_ = 0;
    int result_ = 0;
    std::wstring launcherName_;
    bool progressSent_ = false;
    std::uint64_t lastProgressMs_ = 0;
};

// The assistant role of the entry point: runs an assistant for the launcher
// window and gives the process's exit code.
int RunAssistantProcess(plat::HWND launcherWindow);

} // namespace assistant
