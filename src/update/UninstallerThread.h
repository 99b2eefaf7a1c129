#pragma once
// The uninstaller of a portable installation, which needs no elevation: on
// its own thread it deletes the installation folder's contents with a
// progress display, then the user's shortcuts of the launcher and of the
// installation's programs, and the folder. Progress and the end reach the
// launcher window as posted messages (UninstallerMessages.h). The launcher's
// window thread fills the input under the lock before Start and afterwards
// only asks it to stop.

#include "base/Thread.h"
#include "platform/Window.h"

#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>

namespace plat {
class OpenFolder;
}

namespace update {

class CUninstallerThread : public CThread {
public:
    // Progress messages other than 0 and 100 come at most this often.
    static constexpr std::uint64_t kProgressIntervalMs = 55;

    CUninstallerThread();
    ~CUninstallerThread() override;

    // Window thread, before Start. quotedPath is the launcher's quoted path
    // from its command line, quotes included; fullName names the programs
    // subfolder of the shortcuts.
    void Setup(plat::HWND window, const std::wstring& quotedPath, const std::wstring& installFolder,
               const std::wstring& launcherName, const std::wstring& fullName);
    // Window thread: the walk ends at its next entry and nothing more is
    // posted.
    void RequestStop();

    void Run() override;

    // The launcher shortcut's name from the quoted path: its file name
    // without extension.
    static std::wstring ShortcutNameFromQuotedPath(const std::wstring& quotedPath);
    // The part of a shortcut name that the application shortcuts of the
    // same installation end with: from its last blank (before a final
    // parenthesised group), blank included; the whole name without one.
    static std::wstring ShortcutSuffix(const std::wstring& shortcutName);
    // The percentage after `done` of `total` entries: 1 to 100.
    static int PercentFor(std::uint32_t done, std::uint32_t total);

private:
    bool OpenInstallation(plat::OpenFolder* folder);
    void Step();
    void SendProgress(int percent);
    void Post(std::uint32_t message, plat::LPARAM lParam);
    bool Stopped() const { return stop_.load(); }
    void DeleteShortcuts(const std::wstring& target, const std::wstring& name);

    std::mutex lock_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> walkerStop_{false};
    // Input, written under the lock before Start.
    plat::HWND window_ = 0;
    std::wstring quotedPath_;
    std::wstring installFolder_;
    std::wstring launcherName_;
    std::wstring fullName_;
    // Progress, on the thread.
    std::uint32_t done_ = 0;
    std::uint32_t total_ = 0;
    int lastPercent_ = 0;
    std::uint64_t lastMessageMs_ = 0; // 0: none yet
};

} // namespace update
