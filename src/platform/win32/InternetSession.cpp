#include "platform/win32/InternetSession.h"

#include "platform/TextCase.h"
#include "platform/win32/InternetProxy.h"
#include "platform/win32/WinApi.h"

#include <algorithm>
#include <mutex>

namespace plat::win {

namespace {

constexpr std::uint32_t kDefaultConnectTimeoutMs = 60000;
constexpr std::uint32_t kDefaultTransferTimeoutMs = 30000;
constexpr int kLongestPumpWaitMs = 100;

// The handle table: numbers of the layer's own (WinINet's pointers never
// reach the caller), never given out twice, so a closed handle stays
// invalid. Any thread.
std::mutex g_tableMutex;
std::map<HINTERNET, std::weak_ptr<InternetSession>> g_table;
// The sessions themselves, by internet handle, until that handle closes.
std::map<HINTERNET, std::shared_ptr<InternetSession>> g_sessions;
HINTERNET g_nextHandle = 0x1000;

HINTERNET Enter(const std::shared_ptr<InternetSession>& session) {
    std::lock_guard<std::mutex> lock(g_tableMutex);
    HINTERNET handle = g_nextHandle;
    g_nextHandle += 4;
    g_table[handle] = session;
    return handle;
}

void Leave(HINTERNET handle) {
    std::shared_ptr<InternetSession> session;
    {
        std::lock_guard<std::mutex> lock(g_tableMutex);
        g_table.erase(handle);
        if (auto it = g_sessions.find(handle); it != g_sessions.end()) {
            session = std::move(it->second);
            g_sessions.erase(it);
        }
    }
    // The caller still holds the session; this reference goes outside the lock.
}

HINTERNET ReserveNumber() {
    std::lock_guard<std::mutex> lock(g_tableMutex);
    HINTERNET handle = g_nextHandle;
    g_nextHandle += 4;
    return handle;
}

bool Fail(ErrorCode code) {
    SetLastError(code);
    return false;
}

// Names under the reserved top-level domain "invalid" never resolve; no
// name server is asked about them.
bool IsReservedInvalidName(std::string_view host) {
    if (!host.empty() && host.back() == '.')
        host.remove_suffix(1);
    constexpr std::string_view kTld = "invalid";
    if (host.size() < kTld.size())
        return false;
    std::string_view tail = host.substr(host.size() - kTld.size());
    return EqualsNoCase(tail, kTld) &&
           (host.size() == kTld.size() || host[host.size() - kTld.size() - 1] == '.');
}

std::uint32_t g_connectionsPerServer = 2;
std::uint32_t g_connectionsPer10Server = 4;

} // namespace

bool SetProcessInternetOption(std::uint32_t option, std::uint32_t value) {
    if (option == INTERNET_OPTION_CONNECTED_STATE)
        return true; // always online
    if (option != INTERNET_OPTION_MAX_CONNS_PER_SERVER &&
        option != INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER)
        return Fail(kErrInternetIncorrectHandleType);
    DWORD limit = std::max<std::uint32_t>(value, 1);
    // WinINet keeps the limit for the whole process; the layer remembers
    // the value too, for the query.
    ::InternetSetOptionW(nullptr, option, &limit, sizeof limit);
    if (option == INTERNET_OPTION_MAX_CONNS_PER_SERVER)
        g_connectionsPerServer = limit;
    else
        g_connectionsPer10Server = limit;
    return true;
}

bool QueryProcessInternetOption(std::uint32_t option, std::uint32_t* value) {
    if (option == INTERNET_OPTION_MAX_CONNS_PER_SERVER)
        *value = g_connectionsPerServer;
    else if (option == INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER)
        *value = g_connectionsPer10Server;
    else if (option == INTERNET_OPTION_CONNECTED_STATE)
        *value = INTERNET_STATE_CONNECTED;
    else
        return Fail(kErrInternetIncorrectHandleType);
    return true;
}

std::shared_ptr<InternetSession> InternetSession::Open(const std::string& userAgent,
                                                       std::uint32_t accessType,
                                                       const std::string& proxy,
                                                       const std::string& bypass) {
    DWORD access = INTERNET_OPEN_TYPE_DIRECT;
    std::string proxyText;
    std::string bypassText;
    switch (accessType) {
    case INTERNET_OPEN_TYPE_PRECONFIG:
    case INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY:
        // The environment's proxy when it names one, else the system's.
        if (EnvironmentProxy(&proxyText, &bypassText))
            access = INTERNET_OPEN_TYPE_PROXY;
        else
            access = INTERNET_OPEN_TYPE_PRECONFIG;
        break;
    case INTERNET_OPEN_TYPE_DIRECT:
        break;
    case INTERNET_OPEN_TYPE_PROXY:
        if (!NamesAProxy(proxy)) {
            SetLastError(kErrInvalidParameter);
            return nullptr;
        }
        access = INTERNET_OPEN_TYPE_PROXY;
        proxyText = proxy;
        bypassText = bypass;
        break;
    default:
        SetLastError(kErrInvalidParameter);
        return nullptr;
    }
    std::wstring agent = Utf8ToWide(userAgent);
    std::wstring proxyWide = Utf8ToWide(proxyText);
    // The layer applies the bypass list itself (servers it names get
    // connections under a direct handle); WinINet only hears that requests
    // to this machine go through the proxy too.
    std::wstring bypassWide = L"<-loopback>";
    ::HINTERNET root = ::InternetOpenW(
        agent.c_str(), access, access == INTERNET_OPEN_TYPE_PROXY ? proxyWide.c_str() : nullptr,
        access == INTERNET_OPEN_TYPE_PROXY ? bypassWide.c_str() : nullptr, INTERNET_FLAG_ASYNC);
    if (root == nullptr) {
        ErrorCode error = ::GetLastError();
        SetLastError(error != 0 ? error : kErrInternetInternalError);
        return nullptr;
    }
    HINTERNET handle = ReserveNumber();
    std::shared_ptr<InternetSession> session(new InternetSession(
        handle, root, access == INTERNET_OPEN_TYPE_PROXY ? bypassText : std::string()));
    session->agent_ = agent;
    if (!session->inbox_) {
        SetLastError(kErrNotEnoughMemory);
        return nullptr;
    }
    ::InternetSetStatusCallbackW(root, &InternetInbox::OnStatus);
    std::lock_guard<std::mutex> lock(g_tableMutex);
    g_table[handle] = session;
    g_sessions[handle] = session;
    return session;
}

std::shared_ptr<InternetSession> InternetSession::Find(HINTERNET handle) {
    std::lock_guard<std::mutex> lock(g_tableMutex);
    auto it = g_table.find(handle);
    return it == g_table.end() ? nullptr : it->second.lock();
}

InternetSession::InternetSession(HINTERNET handle, ::HINTERNET root, std::string bypass)
    : handle_(handle), owner_(std::this_thread::get_id()), root_(root), bypass_(std::move(bypass)),
      inbox_(std::make_shared<InternetInbox>(handle)) {}

::HINTERNET InternetSession::DirectRoot() {
    if (directRoot_ != nullptr)
        return directRoot_;
    directRoot_ = ::InternetOpenW(agent_.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr,
                                  INTERNET_FLAG_ASYNC);
    if (directRoot_ == nullptr) {
        ErrorCode error = ::GetLastError();
        SetLastError(error != 0 ? error : kErrInternetInternalError);
        return nullptr;
    }
    ::InternetSetStatusCallbackW(directRoot_, &InternetInbox::OnStatus);
    return directRoot_;
}

InternetSession::~InternetSession() {
    CloseAll();
}

InternetSession::Kind InternetSession::KindOf(HINTERNET handle) const {
    if (closed_)
        return Kind::None;
    if (handle == handle_)
        return Kind::Internet;
    if (connections_.count(handle) != 0)
        return Kind::Connection;
    if (requests_.count(handle) != 0)
        return Kind::Request;
    return Kind::None;
}

bool InternetSession::SetPumpWindow(HWND window, std::uint32_t message) {
    inbox_->SetPumpWindow(window, message);
    return true;
}

void InternetSession::Pump(int timeoutMs) {
    auto keep = shared_from_this();
    inbox_->Pumped();
    Advance();
    if (notices_.empty() && timeoutMs > 0 && !closed_) {
        DWORD wait = static_cast<DWORD>(std::min(timeoutMs, kLongestPumpWaitMs));
        inbox_->Wait(wait);
        Advance();
    }
    Deliver();
    if (!closed_)
        ScheduleNextCheck();
}

void InternetSession::Advance() {
    if (closed_)
        return;
    Clock::time_point now = Clock::now();
    for (const InternetEvent& event : inbox_->Take()) {
        auto it = requests_.find(event.request);
        if (it != requests_.end())
            it->second->OnEvent(event, now);
    }
    now = Clock::now();
    for (auto& [handle, request] : requests_) {
        request->CheckTimers(now);
        request->TakeNotices(&notices_);
    }
}

void InternetSession::ScheduleNextCheck() {
    bool any = false;
    Clock::time_point earliest{};
    for (auto& [handle, request] : requests_) {
        Clock::time_point due;
        if (request->NextCheck(&due) && (!any || due < earliest)) {
            earliest = due;
            any = true;
        }
    }
    inbox_->SetDeadline(any, earliest);
}

void InternetSession::Deliver() {
    if (delivering_)
        return;
    delivering_ = true;
    while (!notices_.empty() && !closed_) {
        InternetNotice notice = std::move(notices_.front());
        notices_.pop_front();
        // A handle closed since its notice was made hears nothing more.
        if (KindOf(notice.handle) == Kind::None)
            continue;
        if (notice.status == INTERNET_STATUS_CONNECTION_CLOSED)
            Request(notice.handle)->CloseNoticeDelivered();
        if (!callback_)
            continue;
        InternetStatusCallback callback = callback_;
        callback(notice.handle, notice.context, notice.status,
                 notice.info.empty() ? nullptr : notice.info.data(),
                 static_cast<std::uint32_t>(notice.info.size()));
    }
    delivering_ = false;
}

void InternetSession::AfterCall(InternetRequest* request) {
    if (request->HasNotices()) {
        request->TakeNotices(&notices_);
        inbox_->Poke();
    }
}

HINTERNET InternetSession::AddConnection(const std::string& server, std::uint16_t port,
                                         const std::string& user, const std::string& password,
                                         std::uint32_t flags) {
    std::wstring serverWide = Utf8ToWide(server);
    std::wstring userWide = Utf8ToWide(user);
    std::wstring passwordWide = Utf8ToWide(password);
    INTERNET_PORT wirePort = port;
    if (wirePort == INTERNET_DEFAULT_PORT)
        wirePort = (flags & INTERNET_FLAG_SECURE) != 0 ? INTERNET_DEFAULT_HTTPS_PORT
                                                       : INTERNET_DEFAULT_HTTP_PORT;
    ::HINTERNET root = root_;
    if (!bypass_.empty() && BypassesProxy(bypass_, server)) {
        root = DirectRoot();
        if (root == nullptr)
            return 0;
    }
    ::HINTERNET connect = ::InternetConnectW(
        root, serverWide.c_str(), wirePort, user.empty() ? nullptr : userWide.c_str(),
        password.empty() ? nullptr : passwordWide.c_str(), INTERNET_SERVICE_HTTP, 0, 0);
    if (connect == nullptr) {
        ErrorCode error = ::GetLastError();
        SetLastError(error != 0 ? error : kErrInternetInternalError);
        return 0;
    }
    HINTERNET handle = Enter(shared_from_this());
    connections_[handle] = Connection{server, port, flags, connect};
    return handle;
}

HINTERNET InternetSession::AddRequest(HINTERNET connection, const std::string& verb,
                                      const std::string& object, const std::string& acceptTypes,
                                      std::uint32_t flags, std::uintptr_t context) {
    HINTERNET handle = Enter(shared_from_this());
    requests_[handle] = std::make_unique<InternetRequest>(handle, connection, context, verb, object,
                                                          acceptTypes, flags);
    return handle;
}

void InternetSession::CloseRequest(HINTERNET handle) {
    requests_.erase(handle);
    options_.erase(handle);
    Leave(handle);
}

void InternetSession::Close(HINTERNET handle) {
    switch (KindOf(handle)) {
    case Kind::Request:
        CloseRequest(handle);
        break;
    case Kind::Connection: {
        std::vector<HINTERNET> under;
        for (const auto& [number, request] : requests_) {
            if (request->Connection() == handle)
                under.push_back(number);
        }
        for (HINTERNET number : under)
            CloseRequest(number);
        ::InternetCloseHandle(connections_[handle].connect);
        connections_.erase(handle);
        options_.erase(handle);
        Leave(handle);
        break;
    }
    case Kind::Internet:
        CloseAll();
        break;
    case Kind::None:
        break;
    }
}

void InternetSession::CloseAll() {
    if (closed_)
        return;
    while (!requests_.empty())
        CloseRequest(requests_.begin()->first);
    for (auto& [number, connection] : connections_) {
        ::InternetCloseHandle(connection.connect);
        Leave(number);
    }
    connections_.clear();
    options_.clear();
    notices_.clear();
    closed_ = true;
    inbox_->Shut();
    if (root_ != nullptr)
        ::InternetCloseHandle(root_);
    if (directRoot_ != nullptr)
        ::InternetCloseHandle(directRoot_);
    root_ = nullptr;
    directRoot_ = nullptr;
    Leave(handle_);
}

bool InternetSession::Value(HINTERNET handle, std::uint32_t option, std::uint32_t* value) const {
    std::vector<HINTERNET> chain{handle};
    if (auto it = requests_.find(handle); it != requests_.end())
        chain.push_back(it->second->Connection());
    if (handle != handle_)
        chain.push_back(handle_);
    for (HINTERNET link : chain) {
        auto options = options_.find(link);
        if (options == options_.end())
            continue;
        if (auto it = options->second.find(option); it != options->second.end()) {
            *value = it->second;
            return true;
        }
    }
    return false;
}

bool InternetSession::CheckOption(HINTERNET handle, std::uint32_t option) const {
    Kind kind = KindOf(handle);
    switch (option) {
    case INTERNET_OPTION_CONNECT_TIMEOUT:
    case INTERNET_OPTION_SEND_TIMEOUT:
    case INTERNET_OPTION_RECEIVE_TIMEOUT:
    case INTERNET_OPTION_DATA_SEND_TIMEOUT:
    case INTERNET_OPTION_DATA_RECEIVE_TIMEOUT:
    case INTERNET_OPTION_LISTEN_TIMEOUT:
    case INTERNET_OPTION_DISCONNECTED_TIMEOUT:
    case INTERNET_OPTION_HTTP_DECODING:
    case INTERNET_OPTION_SLOW_TRANSFER_FLOOR:
    case INTERNET_OPTION_SLOW_TRANSFER_WINDOW:
        return true;
    case INTERNET_OPTION_SECURITY_FLAGS:
        return kind == Kind::Request || Fail(kErrInternetIncorrectHandleType);
    case INTERNET_OPTION_CONNECTED_STATE:
        return kind == Kind::Internet || Fail(kErrInternetIncorrectHandleType);
    case INTERNET_OPTION_MAX_CONNS_PER_SERVER:
    case INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER:
        return Fail(kErrInternetIncorrectHandleType); // the process's, handle 0
    default:
        return Fail(kErrInternetInvalidOption);
    }
}

bool InternetSession::SetOption(HINTERNET handle, std::uint32_t option, std::uint32_t value) {
    if (!CheckOption(handle, option))
        return false;
    if (option != INTERNET_OPTION_CONNECTED_STATE) // always online
        options_[handle][option] = value;
    return true;
}

bool InternetSession::QueryOption(HINTERNET handle, std::uint32_t option, std::uint32_t* value) {
    if (!CheckOption(handle, option))
        return false;
    if (option == INTERNET_OPTION_CONNECTED_STATE)
        *value = INTERNET_STATE_CONNECTED;
    else if (!Value(handle, option, value))
        *value = DefaultOf(option);
    return true;
}

std::uint32_t InternetSession::DefaultOf(std::uint32_t option) {
    switch (option) {
    case INTERNET_OPTION_CONNECT_TIMEOUT:
        return kDefaultConnectTimeoutMs;
    case INTERNET_OPTION_SEND_TIMEOUT:
    case INTERNET_OPTION_RECEIVE_TIMEOUT:
    case INTERNET_OPTION_DATA_SEND_TIMEOUT:
    case INTERNET_OPTION_DATA_RECEIVE_TIMEOUT:
    case INTERNET_OPTION_LISTEN_TIMEOUT:
    case INTERNET_OPTION_DISCONNECTED_TIMEOUT:
        return kDefaultTransferTimeoutMs;
    case INTERNET_OPTION_SLOW_TRANSFER_FLOOR:
        return kDefaultSlowTransferFloor;
    case INTERNET_OPTION_SLOW_TRANSFER_WINDOW:
        return kDefaultSlowTransferWindow;
    default:
        return 0;
    }
}

std::uint32_t InternetSession::Timeout(HINTERNET request, std::uint32_t option,
                                       std::uint32_t dataOption) const {
    std::uint32_t value = 0;
    if (Value(request, option, &value) || Value(request, dataOption, &value))
        return value;
    return DefaultOf(option);
}

InternetRequest* InternetSession::Request(HINTERNET handle) {
    auto it = requests_.find(handle);
    return it == requests_.end() ? nullptr : it->second.get();
}

bool InternetSession::Send(HINTERNET handle, std::string_view headers, std::string_view body) {
    InternetRequest* request = Request(handle);
    if (request->Busy())
        return Fail(kErrInternetIncorrectHandleState);
    const Connection& connection = connections_.at(request->Connection());
    if (IsReservedInvalidName(connection.server)) {
        request->FailAtOnce(kErrInternetNameNotResolved);
        AfterCall(request);
        return Fail(kErrIoPending);
    }
    SendSetup setup;
    setup.connect = connection.connect;
    setup.inbox = inbox_;
    setup.extraFlags = connection.flags & INTERNET_FLAG_SECURE;
    std::uint32_t value = 0;
    setup.connectTimeoutMs =
        Value(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &value) ? value : kDefaultConnectTimeoutMs;
    setup.sendTimeoutMs =
        Timeout(handle, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT);
    setup.receiveTimeoutMs =
        Timeout(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT);
    Value(handle, INTERNET_OPTION_SECURITY_FLAGS, &setup.securityFlags);
    std::uint32_t decode = 0;
    setup.decode = Value(handle, INTERNET_OPTION_HTTP_DECODING, &decode) && decode != 0;
    QueryOption(handle, INTERNET_OPTION_SLOW_TRANSFER_FLOOR, &setup.slowFloorBytesPerSecond);
    QueryOption(handle, INTERNET_OPTION_SLOW_TRANSFER_WINDOW, &setup.slowWindowMs);
    if (!request->Start(setup, headers, body))
        return false;
    AfterCall(request);
    ScheduleNextCheck();
    return Fail(kErrIoPending);
}

} // namespace plat::win
