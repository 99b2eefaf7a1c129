#pragma once
// The HTTP connection context: a server connection with its time-out, read
// block bound (BGS) and the requests in flight on it. It starts the requests
// the transport hands it, routes the HTTP layer's status notices to them,
// logs every step and hands finished requests back to the client. Built on
// the client's thread, then transport thread only.

#include "net/ContextBase.h"
#include "net/RequestHttx.h"

#include <cstdint>
#include <list>
#include <memory>
#include <string>
#include <string_view>

namespace NetEx {

class CContextHttx : public CContextBase {
public:
    // Re-sends of one request after an invalid-CA answer before it fails.
    static constexpr std::uint32_t kMaxInvalidCaResends = 3;

    CContextHttx() = default;
    ~CContextHttx();

    std::uint32_t GetTimeout() const { return timeout_; }
    std::uint32_t GetBgs() const { return bgs_; }
    std::uint32_t GetCounter() const { return counter_; }
    bool Setup(std::uint32_t id, std::string_view name, std::string_view url, std::uint32_t timeout,
               std::uint32_t bgs);
    bool SetUrl(std::string_view url);
    void SetArgs(std::string_view query);
    std::uint32_t IncrementCounter() { return ++counter_; }
    std::uint32_t DecrementCounter();

    // Closes the requests in flight without notice, then the connection.
    // Hides the base's Close, which it calls.
    void Close();

    // --- Transport thread ------------------------------------------------
    void WriteCreatingRecord();
    // Takes the new arguments, time-out and BGS of `changes`.
    void Modify(CContextHttx& changes);
    // Opens and sends the request; a failure goes straight back to the client.
    void StartRequest(std::unique_ptr<CRequestHttx> request);
    void OnStatusNotice(const StatusNotice& notice);
    // False when no such request is in flight.
    bool CancelRequest(std::uint32_t requestId);
    std::size_t RequestCount() const { return requests_.size(); }

private:
    using RequestList = std::list<std::unique_ptr<CRequestHttx>>;

    RequestList::iterator FindByHandle(plat::HINTERNET handle);
    void OnRequestComplete(RequestList::iterator it, const plat::InternetAsyncResult& result);
    // Sends (again); false after a failure, which is logged.
    bool SendLogged(CRequestHttx& request);
    void ReadAndReport(RequestList::iterator it);
    void Complete(std::unique_ptr<CRequestHttx> request);
    void WriteSendingRecord(CRequestHttx& request);

    std::uint32_t timeout_ = 0;
    std::uint32_t bgs_ = 0;
    std::uint32_t counter_ = 0;
    RequestList requests_;
};

} // namespace NetEx
