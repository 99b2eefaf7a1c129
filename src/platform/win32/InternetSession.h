#pragma once
// One internet handle of the HTTP layer over WinINet: WinINet's own
// asynchronous internet handle, the server connections and requests made
// under it, their options, the notices waiting for delivery and the inbox
// through which WinINet's threads reach the owner. Runs on its owner thread
// only (the thread that opened it); the handle table that maps numbers to
// sessions is the one piece any thread reads.

#include "platform/Internet.h"
#include "platform/win32/InternetInbox.h"
#include "platform/win32/InternetRequest.h"

#include <deque>
#include <map>
#include <memory>
#include <thread>
#include <vector>

namespace plat::win {

// One internet handle and everything under it; owner thread only.
class InternetSession : public std::enable_shared_from_this<InternetSession> {
public:
    enum class Kind { None, Internet, Connection, Request };

    // Opens WinINet's handle with this access and proxy, and enters the
    // session in the handle table; null with last error set on failure.
    static std::shared_ptr<InternetSession> Open(const std::string& userAgent,
                                                 std::uint32_t accessType, const std::string& proxy,
                                                 const std::string& bypass);
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
                            const std::string& password, std::uint32_t flags);
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
    // Collects what the owner's call on a request produced and wakes the
    // owner to deliver it.
    void AfterCall(InternetRequest* request);

private:
    struct Connection {
        std::string server;
        std::uint16_t port = 0;
        std::uint32_t flags = 0;
        ::HINTERNET connect = nullptr;
    };

    InternetSession(HINTERNET handle, ::HINTERNET root, std::string bypass);
    // The handle for servers the bypass list keeps away from the proxy,
    // opened when first needed; null with last error set on failure.
    ::HINTERNET DirectRoot();

    void CloseRequest(HINTERNET handle);
    void CloseAll();
    bool CheckOption(HINTERNET handle, std::uint32_t option) const;
    bool Value(HINTERNET handle, std::uint32_t option, std::uint32_t* value) const;
    static std::uint32_t DefaultOf(std::uint32_t option);
    std::uint32_t Timeout(HINTERNET request, std::uint32_t option, std::uint32_t dataOption) const;
    // Takes WinINet's events, runs the timers and collects the notices.
    void Advance();
    void ScheduleNextCheck();
    void Deliver();

    const HINTERNET handle_;
    const std::thread::id owner_;
    ::HINTERNET root_ = nullptr;
    ::HINTERNET directRoot_ = nullptr;
    const std::string bypass_; // for a proxied root only
    std::wstring agent_;
    std::shared_ptr<InternetInbox> inbox_;
    bool closed_ = false;
    bool delivering_ = false;
    InternetStatusCallback callback_;
    std::map<HINTERNET, std::map<std::uint32_t, std::uint32_t>> options_; // by handle
    std::map<HINTERNET, Connection> connections_;
    std::map<HINTERNET, std::unique_ptr<InternetRequest>> requests_;
    std::deque<InternetNotice> notices_;
};

// Process-wide limits (handle 0).
bool SetProcessInternetOption(std::uint32_t option, std::uint32_t value);
bool QueryProcessInternetOption(std::uint32_t option, std::uint32_t* value);

} // namespace plat::win
