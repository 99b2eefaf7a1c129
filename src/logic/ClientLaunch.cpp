#include "logic/ClientLaunch.h"

#include "base/Strings.h"
#include "platform/FileSystem.h"
#include "platform/NamedEvent.h"
#include "platform/Process.h"

#include <algorithm>

namespace logic {

namespace {

// The watcher looks at its cancel flag this often while it waits.
constexpr int kCancelCheckMs = 100;
// The time the client is given to end after it failed to confirm.
constexpr int kEndWaitMs = 1000;

} // namespace

std::wstring BuildClientCommandLine(const ClientCommandParts& parts) {
    std::wstring line = plat::JoinPath(parts.installFolder, base::Utf8ToWide(parts.clientCommand));
    line += L" -server " + base::Utf8ToWide(parts.serverAddress);
    line += parts.extras;
    if (!parts.affiliateId.empty())
        line += L" -affiliateid " + base::Utf8ToWide(parts.affiliateId);
    if (!parts.referrerId.empty())
        line += L" -referrerid " + base::Utf8ToWide(parts.referrerId);
    if (!parts.promoCode.empty())
        line += L" -promocode " + base::Utf8ToWide(parts.promoCode);
    if (parts.updateUrl.find(kLocalRunMarker) != std::string::npos)
        line += L" -localRun";
    return line;
}

CClientStartWatcher::~CClientStartWatcher() {
    Cancel();
}

bool CClientStartWatcher::Start(const Job& job) {
    if (Running())
        return false;
    Cancel(); // collects a finished thread
    cancel_ = false;
    finished_ = false;
    try {
        thread_ = std::thread(&CClientStartWatcher::Watch, job, &cancel_, &finished_);
    } catch (...) {
        return false;
    }
    return true;
}

void CClientStartWatcher::Cancel() {
    cancel_ = true;
    if (thread_.joinable())
        thread_.join();
}

void CClientStartWatcher::Watch(Job job, const std::atomic<bool>* cancel,
                                std::atomic<bool>* finished) {
    // The event of an earlier client may still be set (a running client
    // keeps it alive): it is cleared before this client starts, so that only
    // this client's signal counts.
    plat::NamedEvent event;
    if (event.Create(kClientStartEventName, false) &&
        plat::GetLastError() == plat::kErrAlreadyExists)
        event.Reset();
    plat::ProcessStartInfo info;
    info.commandLine = job.commandLine;
    info.workingFolder = job.workingFolder;
    info.tail = plat::TailPassing::Split;
    plat::Process client;
    if (!event.IsOpen() || !client.Start(info)) {
        plat::PostMessage(job.window, job.failedMessage, 0, 0);
        *finished = true;
        return;
    }
    bool signalled = false;
    for (int waited = 0; !signalled && !*cancel && (job.timeoutMs < 0 || waited < job.timeoutMs);
         waited += kCancelCheckMs) {
        int slice =
            job.timeoutMs < 0 ? kCancelCheckMs : std::min(kCancelCheckMs, job.timeoutMs - waited);
        signalled = event.Wait(slice);
    }
    event.Close();
    if (*cancel && !signalled) {
        // The launcher is going away; the client goes on alone.
        client.Close();
        *finished = true;
        return;
    }
    if (signalled) {
        client.Close();
        plat::PostMessage(job.window, job.exitMessage, 0, 0);
    } else {
        // Only the client this watcher started is ended: other clients of
        // the same program (several may run side by side) are left alone.
        client.Terminate(0);
        client.Wait(kEndWaitMs);
        client.Close();
        plat::PostMessage(job.window, job.failedMessage, 0, 0);
    }
    *finished = true;
}

} // namespace logic
