#pragma once
// A user of the network layer. It lives on its own thread: there it makes
// contexts and requests and posts them to the transport; the transport calls
// the On... callbacks back on the transport thread, where a client that
// owns a window re-posts what it needs to it. The transport outlives its
// clients.

#include "base/ManualResetEvent.h"
#include "net/NetTypes.h"

#include <cstdint>
#include <memory>

namespace NetEx {

class CContextHttx;
class CNetTransportBase;
class CRequestHttx;

class CNetClient {
public:
    CNetClient() = default;
    // Detaches without a time limit.
    virtual ~CNetClient();
    CNetClient(const CNetClient&) = delete;
    CNetClient& operator=(const CNetClient&) = delete;

    // --- Callbacks, on the transport thread ------------------------------
    virtual void OnStatistics(std::unique_ptr<NetStatistics> statistics);
    virtual void OnContextCreated(std::uint32_t contextId);
    virtual void OnContextModified(std::uint32_t contextId);
    virtual void OnContextDestroyed(std::uint32_t contextId);
    // The request stays with its context; only lent for the call.
    virtual void OnRequestProgress(CRequestHttx& request);
    // The request is the client's again.
    virtual void OnRequestCompleted(std::unique_ptr<CRequestHttx> request);
    virtual void OnError(std::unique_ptr<NetErrorInfo> error);
    // Never raised.
    virtual void OnReserved(std::unique_ptr<NetReservedInfo> object);

    // --- The client's thread ------------------------------------------------
    void SetTransport(CNetTransportBase* transport) { transport_ = transport; }
    CNetTransportBase* Transport() const { return transport_; }

    // A fresh context into `out` while the internet handle is open.
    bool CreateContext(std::unique_ptr<CContextHttx>& out);
    // A fresh request, or a copy of `from` for a new exchange, into `out`.
    bool CreateRequest(std::unique_ptr<CRequestHttx>& out, const CRequestHttx* from = nullptr);

    // Posts to the transport; what could not be posted is destroyed and the
    // result is false.
    bool PostCreateContext(std::unique_ptr<CContextHttx> context);
    bool PostModifyContext(std::unique_ptr<CContextHttx> changes);
    bool PostDestroyContext(std::uint32_t contextId);
    bool SendRequest(std::unique_ptr<CRequestHttx> request);
    bool CancelRequest(std::uint32_t contextId, std::uint32_t requestId);
    bool QueryStatistics();

    // Closes all of this client's contexts on the transport thread and waits
    // up to timeoutMs (-1: for ever). False after a failed post or a
    // time-out.
    bool Detach(int timeoutMs);
    // After a Detach that timed out: waits, without a time limit, until the
    // transport has handled it, so that the client may go while the
    // transport's thread still runs (it never calls the client after that).
    // Returns at once when no detach message is on its way.
    void AwaitDetach();

    // Signalled by the transport when a detach is done.
    CManualResetEvent& DetachEvent() { return detached_; }

private:
    // A message that carries a number (or nothing); the client names itself.
    bool Post(std::uint32_t message, plat::LPARAM lParam);
    // A message that hands a record to the transport.
    template <typename Message> bool PostOwned(std::unique_ptr<typename Message::Type> object);

    CNetTransportBase* transport_ = nullptr;
    CManualResetEvent detached_;
    bool detachPosted_ = false;
};

} // namespace NetEx
