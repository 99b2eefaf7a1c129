#pragma once
// The network transport: one thread with a hidden window that runs every
// HTTP exchange of the process. Clients post it contexts and requests; its
// handlers open the HTTP layer's handles, route the layer's status notices
// and call the clients back, all on the transport thread. Start, Stop and
// the synchronous operations are called from the owner's thread. One
// transport exists per process.

#include "base/ManualResetEvent.h"
#include "base/OwnedMessage.h"
#include "base/Thread.h"
#include "net/ContextBase.h"
#include "net/NetTypes.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>

class CLogImplW;

namespace NetEx {

class CContextHttx;
class CNetClient;

// The thread, its window and message table, the internet handle, the log
// settings and clock, and the byte totals.
class CNetTransportBase : public CWindowThread {
public:
    static constexpr const wchar_t* kWindowClass = L"NetTransportWndClass";

    CNetTransportBase();
    ~CNetTransportBase() override;

    // Posts the quit message and waits up to timeoutMs for the thread.
    bool Stop(int timeoutMs) override;

    // --- Owner's thread ---------------------------------------------------
    // Opens the internet handle on the transport thread; waits for ever.
    bool OpenInternet(const InternetParams& params);
    // Closes every context and the internet handle; waits for ever.
    bool CloseInternet();
    // Hands over the HTTP log settings while the internet handle is open.
    bool SetLogSettings(std::unique_ptr<HttpLogSettings> settings);
    // The clock every context log shows (see CLog::SetClock).
    bool SetLogClock(std::int64_t offsetMs, int zoneSeconds);

    bool IsInternetOpen() const { return open_; }
    // No thread runs for this transport any more (none was started, or its
    // body returned, even after a stop that gave up waiting).
    bool ThreadEnded() const { return IsFinished(); }
    // The launcher log, for what the transport has to say outside the HTTP
    // logs (a log that cannot be opened). Set before Start; may be null.
    void SetLauncherLog(CLogImplW* log) { launcherLog_ = log; }
    CLogImplW* LauncherLog() const { return launcherLog_; }
    // The outcome of the last synchronous operation.
    bool Result() const { return result_; }
    // The transport window of the process, 0 without a running transport.
    static plat::HWND ProcessWindow();

    // --- Transport thread ---------------------------------------------------
    plat::HINTERNET Internet() const { return internet_; }
    const HttpLogSettings* LogSettings() const { return logSettings_.get(); }
    const LogClockValue& LogClock() const { return logClock_; }
    std::uint64_t TotalSent() const { return totalSent_; }
    std::uint64_t TotalReceived() const { return totalReceived_; }
    ByteForwarder SentForwarder();
    ByteForwarder ReceivedForwarder();
    // Requests may waive the certificate checks their flags name (set by
    // OpenInternet from InternetParams::certificateWaivers).
    bool CertificateWaiversAllowed() const { return certificateWaivers_; }

protected:
    bool CreateThreadWindow() override;
    void OnLoopEnd(bool normalEnd) override;
    // Enters the message handlers; derived transports add theirs.
    virtual void RegisterHandlers();
    // Closes and deletes the contexts of a client (all for null).
    virtual void CloseContexts(CNetClient* client) = 0;
    virtual void ApplyLogClockToContexts() = 0;
    void SetResult(bool result) { result_ = result; }

    // Enters the handler of a message that hands over a record: it gets the
    // client the message names (null when none) and the record, taken over
    // from the message; a message without a record is dropped.
    template <typename Message, auto Method, typename Self> void SetRecordHandler(Self* self) {
        SetHandler(
            Message::kNumber,
            [](void* context, plat::WPARAM wParam, plat::LPARAM lParam) -> plat::LRESULT {
                if (auto record = base::TakeOwned<Message>(lParam))
                    (static_cast<Self*>(context)->*Method)(base::Borrowed<CNetClient>(wParam),
                                                           std::move(record));
                return 0;
            },
            self);
    }

private:
    // Message handlers.
    plat::LRESULT OnSetLogClock(plat::WPARAM wParam, plat::LPARAM lParam);
    plat::LRESULT OnQueryStatistics(plat::WPARAM wParam, plat::LPARAM lParam);
    plat::LRESULT OnOpenInternet(plat::WPARAM wParam, plat::LPARAM lParam);
    plat::LRESULT OnCloseInternet(plat::WPARAM wParam, plat::LPARAM lParam);
    void OnSetLogSettings(CNetClient* client, std::unique_ptr<HttpLogSettings> settings);
    plat::LRESULT OnPumpInternet(plat::WPARAM wParam, plat::LPARAM lParam);
    void CloseInternetHandle();

    plat::HINTERNET internet_ = 0;
    std::atomic<bool> open_{false};
    std::atomic<bool> result_{false};
    CManualResetEvent event_;
    std::unique_ptr<HttpLogSettings> logSettings_;
    std::uint64_t totalSent_ = 0;
    std::uint64_t totalReceived_ = 0;
    LogClockValue logClock_;
    bool certificateWaivers_ = false;
    CLogImplW* launcherLog_ = nullptr;
};

// The HTTP contexts of every client and the messages that manage them and
// their requests.
class CHttxTransport : public CNetTransportBase {
public:
    CHttxTransport() = default;
    ~CHttxTransport() override;

    // Transport thread: the contexts in creation order.
    std::size_t ContextCount() const { return contexts_.size(); }

protected:
    void RegisterHandlers() override;
    void CloseContexts(CNetClient* client) override;
    void ApplyLogClockToContexts() override;

private:
    using ContextList = std::list<std::unique_ptr<CContextHttx>>;

    plat::LRESULT OnDetachClient(plat::WPARAM wParam, plat::LPARAM lParam);
    void OnCreateContext(CNetClient* client, std::unique_ptr<CContextHttx> context);
    void OnModifyContext(CNetClient* client, std::unique_ptr<CContextHttx> changes);
    plat::LRESULT OnDestroyContext(plat::WPARAM wParam, plat::LPARAM lParam);
    void OnSendRequest(CNetClient* client, std::unique_ptr<CRequestHttx> request);
    void OnCancelRequest(CNetClient* client, std::unique_ptr<CancelBlock> block);
    void OnStatusNotice(CNetClient* client, std::unique_ptr<StatusNotice> notice);

    ContextList::iterator Find(CNetClient* client, std::uint32_t id);
    // The client's context that a message is about; end() once the client
    // has been told why there is none: the internet handle is not open (when
    // `needOpen`), or the client has no context with this id.
    ContextList::iterator ContextFor(CNetClient* client, std::uint32_t contextId,
                                     std::uint32_t requestId, bool needOpen);

    ContextList contexts_;
};

// The transport the launcher makes.
class CNetTransport final : public CHttxTransport {
public:
    CNetTransport() = default;
    // Stops a thread that still runs, without a time limit.
    ~CNetTransport() override;
};

// Stops the transport's thread, waiting up to timeoutMs. A thread that does
// not end in time is never freed under: its transport (and everything the
// thread holds through it) is kept until the process ends, and the result
// is false. Also takes a transport whose start failed. Owner's thread.
bool ShutDownTransport(std::unique_ptr<CNetTransport> transport, int timeoutMs);

} // namespace NetEx
