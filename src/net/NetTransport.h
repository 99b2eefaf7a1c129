#pragma once
// The network transport: one thread with a hidden window that runs every
// HTTP exchange of the process. Clients post it contexts and requests; its
// handlers open the HTTP layer's handles, route the layer's status notices
// and call the clients back, all on the transport thread. Start, Stop and
// the synchronous operations are called from the owner's thread. One
// transport exists per process.

#include "base/Thread.h"
#include "net/ContextBase.h"
#include "net/NetTypes.h"
#include "net/SyncEvent.h"

#include <atomic>
#include <cstdint>
#include <list>
#include <memory>

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

protected:
    bool CreateThreadWindow() override;
    void OnLoopEnd(bool normalEnd) override;
    // Enters the message handlers; derived transports add theirs.
    virtual void RegisterHandlers();
    // Closes and deletes the contexts of a client (all for null).
    virtual void CloseContexts(CNetClient* client) = 0;
    virtual void ApplyLogClockToContexts() = 0;
    void SetResult(bool result) { result_ = result; }

    // Message handlers.
    plat::LRESULT OnSetLogClock(plat::WPARAM wParam, plat::LPARAM lParam);
    plat::LRESULT OnQueryStatistics(plat::WPARAM wParam, plat::LPARAM lParam);
    plat::LRESULT OnOpenInternet(plat::WPARAM wParam, plat::LPARAM lParam);
    plat::LRESULT OnCloseInternet(plat::WPARAM wParam, plat::LPARAM lParam);
    plat::LRESULT OnSetLogSettings(plat::WPARAM wParam, plat::LPARAM lParam);
    plat::LRESULT OnPumpInternet(plat::WPARAM wParam, plat::LPARAM lParam);

private:
    void CloseInternetHandle();

    plat::HINTERNET internet_ = 0;
    std::atomic<bool> open_{false};
    std::atomic<bool> result_{false};
    CSyncEvent event_;
    std::unique_ptr<HttpLogSettings> logSettings_;
    std::uint64_t totalSent_ = 0;
    std::uint64_t totalReceived_ = 0;
    LogClockValue logClock_;
};

// The HTTP contexts of every client and the messages that manage them and
// their requests.
class CHttxTransport : public virtual CNetTransportBase {
public:
    CHttxTransport() = default;
    ~CHttxTransport() override;

    // Transport thread: the contexts in creation order.
    std::size_t ContextCount() const { return contexts_.size(); }

protected:
    void RegisterHandlers() override;
    void CloseContexts(CNetClient* client) override;
    void ApplyLogClockToContexts() override;

    plat::LRESULT OnDetachClient(plat::WPARAM wParam, plat::LPARAM lParam);
    plat::LRESULT OnCreateContext(plat::WPARAM wParam, plat::LPARAM lParam);
    plat::LRESULT OnModifyContext(plat::WPARAM wParam, plat::LPARAM lParam);
    plat::LRESULT OnDestroyContext(plat::WPARAM wParam, plat::LPARAM lParam);
    plat::LRESULT OnSendRequest(plat::WPARAM wParam, plat::LPARAM lParam);
    plat::LRESULT OnCancelRequest(plat::WPARAM wParam, plat::LPARAM lParam);
    plat::LRESULT OnStatusNotice(plat::WPARAM wParam, plat::LPARAM lParam);

private:
    using ContextList = std::list<std::unique_ptr<CContextHttx>>;
    ContextList::iterator Find(CNetClient* client, std::uint32_t id);

    ContextList contexts_;
};

// The transport the launcher makes.
class CNetTransport : public virtual CHttxTransport {
public:
    CNetTransport() = default;
    // Stops a thread that still runs, without a time limit.
    ~CNetTransport() override;
};

} // namespace NetEx
