#include "platform/posix/InternetSession.h"

#include "platform/TextCase.h"
#include "platform/posix/InternetTls.h"

#include <algorithm>
#include <atomic>
#include <mutex>
#include <poll.h>
#include <sys/select.h>
#include <unordered_map>

namespace plat::posix {

namespace {

constexpr std::uint32_t kDefaultConnectTimeoutMs = 60000;
constexpr std::uint32_t kDefaultTransferTimeoutMs = 30000;
constexpr int kLongestPumpWaitMs = 100;

std::atomic<std::uint32_t> g_connectionsPerServer{6};
std::atomic<std::uint32_t> g_connectionsPer10Server{4};

// The handle table: every open handle number and the session it belongs to.
struct HandleTable {
    std::mutex mutex;
    std::unordered_map<HINTERNET, std::shared_ptr<InternetSession>> sessions;
    HINTERNET next = 0x100;
};

HandleTable& Table() {
    static HandleTable table;
    return table;
}

void ForgetHandle(HINTERNET handle) {
    std::shared_ptr<InternetSession> last; // released outside the lock
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.sessions.find(handle);
    if (it != table.sessions.end()) {
        last = std::move(it->second);
        table.sessions.erase(it);
    }
}

HINTERNET ReserveHandle() {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    return table.next++;
}

void EnterHandle(HINTERNET handle, const std::shared_ptr<InternetSession>& session) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    table.sessions.emplace(handle, session);
}

HINTERNET NewHandle(const std::shared_ptr<InternetSession>& session) {
    HINTERNET handle = ReserveHandle();
    EnterHandle(handle, session);
    return handle;
}

void InitCurlOnce() {
    static std::once_flag once;
    std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

bool Fail(ErrorCode code) {
    SetLastError(code);
    return false;
}

// Names under the reserved "invalid" top-level domain never resolve; they
// fail here without asking any name server.
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

// libcurl refuses blanks and control bytes in a URL; they go out escaped.
std::string EscapeObject(std::string_view object) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string escaped;
    if (object.empty() || object[0] != '/')
        escaped += '/';
    for (char c : object) {
        auto byte = static_cast<unsigned char>(c);
        if (byte <= 0x20 || byte == 0x7F) {
            escaped += '%';
            escaped += kHex[byte >> 4];
            escaped += kHex[byte & 0xF];
        } else {
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

bool SetProcessInternetOption(std::uint32_t option, std::uint32_t value) {
    if (option == INTERNET_OPTION_MAX_CONNS_PER_SERVER)
        g_connectionsPerServer = std::max<std::uint32_t>(value, 1);
    else if (option == INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER)
        g_connectionsPer10Server = std::max<std::uint32_t>(value, 1);
    else if (option == INTERNET_OPTION_CONNECTED_STATE)
        return true; // always online
    else
        return Fail(kErrInternetIncorrectHandleType);
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

InternetSession::InternetSession(HINTERNET handle, std::string userAgent, ProxySettings proxies)
    : handle_(handle), userAgent_(std::move(userAgent)), proxies_(std::move(proxies)),
      owner_(std::this_thread::get_id()) {}

InternetSession::~InternetSession() {
    CloseAll();
}

std::shared_ptr<InternetSession> InternetSession::Open(const std::string& userAgent,
                                                       ProxySettings proxies) {
    InitCurlOnce();
    std::shared_ptr<InternetSession> session(
        new InternetSession(ReserveHandle(), userAgent, std::move(proxies)));
    session->multi_ = curl_multi_init();
    if (session->multi_ == nullptr) {
        SetLastError(kErrInternetInternalError);
        return nullptr;
    }
    session->ApplyProcessLimits();
    EnterHandle(session->handle_, session);
    return session;
}

std::shared_ptr<InternetSession> InternetSession::Find(HINTERNET handle) {
    HandleTable& table = Table();
    std::lock_guard<std::mutex> lock(table.mutex);
    auto it = table.sessions.find(handle);
    return it == table.sessions.end() ? nullptr : it->second;
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
    waker_.reset();
    if (window == 0)
        return true;
    waker_ = std::make_unique<InternetWaker>(window, message, handle_);
    if (!waker_->Started()) {
        waker_.reset();
        return Fail(kErrNotEnoughMemory);
    }
    Rearm();
    return true;
}

HINTERNET InternetSession::AddConnection(const std::string& server, std::uint16_t port,
                                         const std::string& user, const std::string& password,
                                         std::uint32_t flags, std::uintptr_t) {
    // Nothing about a server connection produces notices, so its context
    // value has no use here.
    HINTERNET handle = NewHandle(shared_from_this());
    connections_.emplace(handle, Connection{server, port, user, password, flags});
    return handle;
}

HINTERNET InternetSession::AddRequest(HINTERNET connection, const std::string& verb,
                                      const std::string& object, const std::string& acceptTypes,
                                      std::uint32_t flags, std::uintptr_t context) {
    HINTERNET handle = NewHandle(shared_from_this());
    requests_.emplace(handle, std::make_unique<InternetRequest>(handle, connection, context, verb,
                                                                object, acceptTypes, flags));
    return handle;
}

InternetRequest* InternetSession::Request(HINTERNET handle) {
    auto it = requests_.find(handle);
    return it == requests_.end() ? nullptr : it->second.get();
}

void InternetSession::CloseRequest(HINTERNET handle) {
    auto it = requests_.find(handle);
    if (it == requests_.end())
        return;
    if (it->second->Transferring())
        curl_multi_remove_handle(multi_, it->second->Easy());
    requests_.erase(it);
    options_.erase(handle);
    std::erase_if(notices_,
                  [handle](const InternetNotice& notice) { return notice.handle == handle; });
    ForgetHandle(handle);
}

void InternetSession::Close(HINTERNET handle) {
    if (handle == handle_) {
        CloseAll();
        return;
    }
    if (connections_.count(handle) != 0) {
        std::vector<HINTERNET> children;
        for (const auto& [requestHandle, request] : requests_) {
            if (request->Connection() == handle)
                children.push_back(requestHandle);
        }
        for (HINTERNET child : children)
            CloseRequest(child);
        connections_.erase(handle);
        options_.erase(handle);
        ForgetHandle(handle);
    } else {
        CloseRequest(handle);
    }
    Rearm();
}

void InternetSession::CloseAll() {
    if (closed_)
        return;
    closed_ = true;
    waker_.reset();
    callback_ = nullptr;
    while (!requests_.empty())
        CloseRequest(requests_.begin()->first);
    for (const auto& entry : connections_)
        ForgetHandle(entry.first);
    connections_.clear();
    options_.clear();
    notices_.clear();
    if (multi_ != nullptr)
        curl_multi_cleanup(multi_);
    multi_ = nullptr;
    ForgetHandle(handle_);
}

std::vector<HINTERNET> InternetSession::OptionChain(HINTERNET handle) const {
    std::vector<HINTERNET> chain{handle};
    if (auto it = requests_.find(handle); it != requests_.end())
        chain.push_back(it->second->Connection());
    if (handle != handle_)
        chain.push_back(handle_);
    return chain;
}

bool InternetSession::Value(HINTERNET handle, std::uint32_t option, std::uint32_t* value) const {
    for (HINTERNET link : OptionChain(handle)) {
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

bool InternetSession::Send(HINTERNET handle, std::string_view headers, std::string_view body) {
    InternetRequest* request = Request(handle);
    if (request->Busy())
        return Fail(kErrInternetIncorrectHandleState);
    const Connection& connection = connections_.at(request->Connection());
    bool secure = ((request->Flags() | connection.flags) & INTERNET_FLAG_SECURE) != 0;

    if (IsReservedInvalidName(connection.server)) {
        request->FailAtOnce(kErrInternetNameNotResolved);
        Rearm();
        return Fail(kErrIoPending);
    }
    SendSetup setup;
    std::uint16_t port = connection.port;
    if (port == INTERNET_DEFAULT_PORT)
        port = secure ? INTERNET_DEFAULT_HTTPS_PORT : INTERNET_DEFAULT_HTTP_PORT;
    bool bareIpv6 =
        connection.server.find(':') != std::string::npos && connection.server.front() != '[';
    setup.url = secure ? "https://" : "http://";
    // Appended piece by piece: "text" + string trips a false -Wrestrict in GCC 12.
    if (bareIpv6)
        setup.url.push_back('[');
    setup.url += connection.server;
    if (bareIpv6)
        setup.url.push_back(']');
    setup.url.push_back(':');
    setup.url += std::to_string(port);
    setup.url += EscapeObject(request->Object());
    setup.user = connection.user;
    setup.password = connection.password;
    setup.userAgent = userAgent_;
    std::uint32_t value = 0;
    setup.connectTimeoutMs =
        Value(handle, INTERNET_OPTION_CONNECT_TIMEOUT, &value) ? value : kDefaultConnectTimeoutMs;
    setup.sendTimeoutMs =
        Timeout(handle, INTERNET_OPTION_SEND_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT);
    setup.receiveTimeoutMs =
        Timeout(handle, INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT);
    std::uint32_t securityFlags = 0;
    Value(handle, INTERNET_OPTION_SECURITY_FLAGS, &securityFlags);
    setup.certificateWaivers = CertificateWaivers(request->Flags(), securityFlags);
    std::uint32_t decode = 0;
    setup.decode = Value(handle, INTERNET_OPTION_HTTP_DECODING, &decode) && decode != 0;
    QueryOption(handle, INTERNET_OPTION_SLOW_TRANSFER_FLOOR, &setup.slowFloorBytesPerSecond);
    QueryOption(handle, INTERNET_OPTION_SLOW_TRANSFER_WINDOW, &setup.slowWindowMs);
    setup.proxy = proxies_.For(secure, connection.server);

    if (!request->Prepare(setup, headers, body))
        return false;
    curl_easy_setopt(request->Easy(), CURLOPT_PRIVATE, reinterpret_cast<void*>(handle));
    if (curl_multi_add_handle(multi_, request->Easy()) != CURLM_OK) {
        request->Abandon(kErrInternetInternalError);
        return Fail(kErrInternetInternalError);
    }
    Rearm();
    return Fail(kErrIoPending);
}

void InternetSession::ApplyProcessLimits() {
    std::uint32_t limit = g_connectionsPerServer;
    if (limit == appliedConnectionLimit_)
        return;
    appliedConnectionLimit_ = limit;
    curl_multi_setopt(multi_, CURLMOPT_MAX_HOST_CONNECTIONS, static_cast<long>(limit));
}

void InternetSession::Pump(int timeoutMs) {
    // A callback may close the session; it stays alive until the pump ends.
    std::shared_ptr<InternetSession> keep = shared_from_this();
    if (closed_)
        return;
    ApplyProcessLimits();
    int waitMs = std::clamp(timeoutMs, 0, kLongestPumpWaitMs);
    if (waitMs > 0 && !WorkDue()) {
        Clock::time_point deadline;
        if (NextDeadline(&deadline)) {
            auto untilDeadline =
                std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
            waitMs = static_cast<int>(std::clamp<std::int64_t>(untilDeadline.count(), 0, waitMs));
        }
        curl_multi_poll(multi_, nullptr, 0, waitMs, nullptr);
    }
    int running = 0;
    curl_multi_perform(multi_, &running);
    FinishTransfers();
    EnforceDeadlines();
    for (auto& entry : requests_)
        entry.second->Advance(&notices_);
    Deliver();
    if (!closed_)
        Rearm();
}

void InternetSession::FinishTransfers() {
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(multi_, &left)) {
        if (message->msg != CURLMSG_DONE)
            continue;
        CURL* easy = message->easy_handle;
        CURLcode code = message->data.result;
        char* tag = nullptr;
        curl_easy_getinfo(easy, CURLINFO_PRIVATE, &tag);
        curl_multi_remove_handle(multi_, easy);
        if (InternetRequest* request = Request(reinterpret_cast<HINTERNET>(tag)))
            request->OnTransferDone(code);
    }
}

void InternetSession::EnforceDeadlines() {
    Clock::time_point now = Clock::now();
    for (auto& entry : requests_) {
        InternetRequest& request = *entry.second;
        Clock::time_point deadline;
        // Silence past the time-out, or a trickle below the floor, ends the
        // transfer the same way.
        if ((request.Deadline(&deadline) && now >= deadline) || request.BelowFloor(now)) {
            curl_multi_remove_handle(multi_, request.Easy());
            request.Abandon(kErrInternetTimeout);
        }
    }
}

bool InternetSession::NextDeadline(Clock::time_point* deadline) {
    bool any = false;
    for (auto& entry : requests_) {
        Clock::time_point due;
        if (entry.second->Deadline(&due) && (!any || due < *deadline)) {
            *deadline = due;
            any = true;
        }
        if (entry.second->NextFloorCheck(&due) && (!any || due < *deadline)) {
            *deadline = due;
            any = true;
        }
    }
    return any;
}

bool InternetSession::WorkDue() const {
    if (!notices_.empty())
        return true;
    return std::any_of(requests_.begin(), requests_.end(),
                       [](const auto& entry) { return entry.second->HasNews(); });
}

void InternetSession::Deliver() {
    while (!notices_.empty() && !closed_) {
        InternetNotice notice = std::move(notices_.front());
        notices_.pop_front();
        if (!callback_)
            continue;
        // The callback may replace itself; this call keeps its own copy.
        InternetStatusCallback callback = callback_;
        callback(notice.handle, notice.context, notice.status,
                 notice.info.empty() ? nullptr : notice.info.data(),
                 static_cast<std::uint32_t>(notice.info.size()));
    }
}

void InternetSession::Rearm() {
    if (!waker_ || closed_)
        return;
    if (WorkDue()) {
        waker_->Arm({}, 0);
        return;
    }
    bool transferring = std::any_of(requests_.begin(), requests_.end(),
                                    [](const auto& entry) { return entry.second->Transferring(); });
    if (!transferring) {
        waker_->Disarm();
        return;
    }
    fd_set readable;
    fd_set writable;
    fd_set failed;
    FD_ZERO(&readable);
    FD_ZERO(&writable);
    FD_ZERO(&failed);
    int highest = -1;
    curl_multi_fdset(multi_, &readable, &writable, &failed, &highest);
    std::vector<InternetWaker::Watch> watches;
    for (int fd = 0; fd <= highest; ++fd) {
        short events = 0;
        if (FD_ISSET(fd, &readable))
            events |= POLLIN;
        if (FD_ISSET(fd, &writable))
            events |= POLLOUT;
        if (FD_ISSET(fd, &failed))
            events |= POLLPRI;
        if (events != 0)
            watches.push_back({fd, events});
    }
    long curlTimeout = -1;
    curl_multi_timeout(multi_, &curlTimeout);
    // Without a socket to watch (a name being resolved) look again soon.
    long timeoutMs = watches.empty() ? kLongestPumpWaitMs : -1;
    if (curlTimeout >= 0)
        timeoutMs = timeoutMs < 0 ? curlTimeout : std::min(timeoutMs, curlTimeout);
    Clock::time_point deadline;
    if (NextDeadline(&deadline)) {
        auto untilDeadline = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        long ms = std::max<long>(0, static_cast<long>(untilDeadline.count()));
        timeoutMs = timeoutMs < 0 ? ms : std::min(timeoutMs, ms);
    }
    waker_->Arm(std::move(watches), static_cast<int>(timeoutMs));
}

} // namespace plat::posix
