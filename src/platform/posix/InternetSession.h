#pragma once
// One internet handle of the HTTP layer: the libcurl multi handle that
// carries all its transfers, the server connections and requests made under
// it, their options, the notices waiting for delivery and the wake-up of the
// owner. Runs on its owner thread only (the thread that opened it); the
// handle table that maps numbers to sessions is the one piece any thread
// reads.

#include "platform/Internet.h"
#include "platform/posix/InternetProxy.h"
#include "platform/posix/InternetRequest.h"
#include "platform/posix/InternetWaker.h"

#include <curl/curl.h>
#include <deque>
#include <map>
#include <memory>
#include <thread>
#include <vector>

namespace plat::posix {

// One internet handle and everything under it; owner thread only.
class InternetSession : public std::enable_shared_from_this<InternetSession> {
public:
    enum class Kind { None, Internet, Connection, Request };

    // Opens a session and enters it in the handle table; null with last
    // error set on failure.
    static std::shared_ptr<InternetSession> Open(const std::string& userAgent,
                                                 ProxySettings proxies);
    // The session a handle number belongs to, or null.
    static std::shared_ptr<InternetSession> Find(HINTERNET handle);

    ~InternetSession();
    InternetSession(const InternetSession&) = delete;
    InternetSession& operator=(const InternetSession&) = delete;

    HINTERNET Handle() const { return handle_; }
    bool OwnedByCaller() const { return owner_ == std::this_thread::get_id(); }
    Kind KindOf(HINTERNET handle) const;

    void SetCallback(InternetStatusCallback callback) { callback_ = std::move(callback); }
    bool SetPumpWindow(HWND window, std::uint32_t message);
    void Pump(int timeoutMs);

    HINTERNET AddConnection(const std::string& server, std::uint16_t port, const std::string& user,
                            const std::string& password, std::uint32_t flags,
                            std::uintptr_t context);
    HINTERNET AddRequest(HINTERNET connection, const std::string& verb, const std::string& object,
                         const std::string& acceptTypes, std::uint32_t flags,
                         std::uintptr_t context);
    // Closes a handle of this session and everything under it; closing the
    // internet handle ends the session.
    void Close(HINTERNET handle);

    bool SetOption(HINTERNET handle, std::uint32_t option, std::uint32_t value);
    bool QueryOption(HINTERNET handle, std::uint32_t option, std::uint32_t* value);

    bool Send(HINTERNET request, std::string_view headers, std::string_view body);
    InternetRequest* Request(HINTERNET handle);
    // Hands the waker what to watch after the owner's call changed things.
    void Rearm();

private:
    struct Connection {
        std::string server;
        std::uint16_t port = 0;
        std::string user;
        std::string password;
        std::uint32_t flags = 0;
    };

    InternetSession(HINTERNET handle, std::string userAgent, ProxySettings proxies);

    void CloseRequest(HINTERNET handle);
    void CloseAll();
    // Fails with last error set when the option does not apply to the handle.
    bool CheckOption(HINTERNET handle, std::uint32_t option) const;
    // A request's options are looked up in it, its connection, then the
    // session; a connection's in it, then the session.
    std::vector<HINTERNET> OptionChain(HINTERNET handle) const;
    bool Value(HINTERNET handle, std::uint32_t option, std::uint32_t* value) const;
    static std::uint32_t DefaultOf(std::uint32_t option);
    // A transfer time-out: the option, else its data variant, else the default.
    std::uint32_t Timeout(HINTERNET request, std::uint32_t option, std::uint32_t dataOption) const;
    void ApplyProcessLimits();
    void FinishTransfers();
    void EnforceDeadlines();
    bool NextDeadline(Clock::time_point* deadline);
    bool WorkDue() const;
    void Deliver();

    const HINTERNET handle_;
    const std::string userAgent_;
    const ProxySettings proxies_;
    const std::thread::id owner_;
    CURLM* multi_ = nullptr;
    bool closed_ = false;
    std::uint32_t appliedConnectionLimit_ = 0;
    InternetStatusCallback callback_;
    std::unique_ptr<InternetWaker> waker_;
    std::map<HINTERNET, std::map<std::uint32_t, std::uint32_t>> options_; // by handle
    std::map<HINTERNET, Connection> connections_;
    std::map<HINTERNET, std::unique_ptr<InternetRequest>> requests_;
    std::deque<InternetNotice> notices_;
};

// Process-wide limits (handle 0).
bool SetProcessInternetOption(std::uint32_t option, std::uint32_t value);
bool QueryProcessInternetOption(std::uint32_t option, std::uint32_t* value);

} // namespace plat::posix
