#pragma once
// Starting the game client: the command line the launcher gives it, and the
// watcher thread that starts it and waits for its start confirmation (the
// named event the client signals once it is up). The launcher's window
// thread builds the command line and owns the watcher; the watcher's thread
// works on its own copies and reaches the window only by posting
// eWindowsMessage_Exit (confirmed) or eWindowsMessage_ClientRunFailed.

#include "platform/Window.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace logic {

// The named event the client signals once it is up.
inline constexpr const char* kClientStartEventName = "{E44BFF50-25BA-49A3-9C71-EBC1AAC8D22E}";
// How long the client has to confirm its start.
inline constexpr int kClientStartTimeoutMs = 120000;
// The word in the update address that marks a local test server.
inline constexpr const char* kLocalRunMarker = "varud-ezivoder";

// What the client's command line is made of.
struct ClientCommandParts {
    std::wstring installFolder;
    std::string clientCommand; // Process, and ProcessArgs after a blank (UTF-8)
    std::string serverAddress;
    std::wstring extras;                            // " -appID \"...\"" once the identity is set
    std::string affiliateId, referrerId, promoCode; // the stub fields (UTF-8)
    std::string updateUrl;
};

// The installation folder, a separator and the client command; then
// " -server " and the server address, the extras, " -affiliateid ",
// " -referrerid " and " -promocode " with their values when these are not
// empty, and " -localRun" when the update address holds the local-run word
// (in that letter case).
std::wstring BuildClientCommandLine(const ClientCommandParts& parts);

// The start of one client and the wait for its confirmation, on a thread of
// its own. Created and destroyed on the window thread; destroying it (or
// Cancel) ends the wait without touching the client.
class CClientStartWatcher {
public:
    struct Job {
        plat::HWND window = 0;      // gets the result
        std::wstring commandLine;   // program token first
        std::wstring workingFolder; // empty: the launcher's
        int timeoutMs = kClientStartTimeoutMs;
        std::uint32_t exitMessage = 0;   // posted with 0, 0 once confirmed
        std::uint32_t failedMessage = 0; // posted with 0, 0 when not
    };

    CClientStartWatcher() = default;
    ~CClientStartWatcher();
    CClientStartWatcher(const CClientStartWatcher&) = delete;
    CClientStartWatcher& operator=(const CClientStartWatcher&) = delete;

    // Starts the thread; false when it could not be created (or one runs).
    bool Start(const Job& job);
    // Ends the wait of a running watcher and waits for its thread.
    void Cancel();
    bool Running() const { return thread_.joinable() && !finished_.load(); }

private:
    static void Watch(Job job, const std::atomic<bool>* cancel, std::atomic<bool>* finished);

    std::thread thread_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> finished_{false};
};

} // namespace logic
