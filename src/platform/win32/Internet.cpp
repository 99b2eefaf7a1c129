// The HTTP layer's entry points on Windows: each finds the session a handle
// belongs to, checks the caller is its owner thread and the handle's kind,
// and hands the call over. Runs on the owner thread of the handle it is
// given.

#include "platform/Internet.h"

#include "platform/win32/InternetSession.h"
#include "platform/win32/WinApi.h"

#include <charconv>

namespace plat {

namespace {

// Below this a buffer gains nothing from being touched ahead.
constexpr std::size_t kLargeBufferWorthy = std::size_t{8} << 20;

using win::InternetSession;
using Kind = InternetSession::Kind;

bool Fail(ErrorCode code) {
    SetLastError(code);
    return false;
}

// The session of a handle of the wanted kind (Kind::None: any kind).
std::shared_ptr<InternetSession> Owner(HINTERNET handle, Kind wanted) {
    std::shared_ptr<InternetSession> session = InternetSession::Find(handle);
    if (!session) {
        SetLastError(kErrInvalidHandle);
        return nullptr;
    }
    if (!session->OwnedByCaller()) {
        SetLastError(kErrAccessDenied);
        return nullptr;
    }
    Kind kind = session->KindOf(handle);
    if (kind == Kind::None) {
        SetLastError(kErrInvalidHandle);
        return nullptr;
    }
    if (wanted != Kind::None && kind != wanted) {
        SetLastError(kErrInternetIncorrectHandleType);
        return nullptr;
    }
    return session;
}

} // namespace

HINTERNET OpenInternet(const std::string& userAgent, std::uint32_t accessType,
                       const std::string& proxy, const std::string& proxyBypass, std::uint32_t) {
    std::shared_ptr<InternetSession> session =
        InternetSession::Open(userAgent, accessType, proxy, proxyBypass);
    return session ? session->Handle() : 0;
}

bool SetStatusCallback(HINTERNET internet, InternetStatusCallback callback) {
    auto session = Owner(internet, Kind::Internet);
    if (!session)
        return false;
    session->SetCallback(std::move(callback));
    return true;
}

bool SetPumpWindow(HINTERNET internet, HWND window, std::uint32_t message) {
    auto session = Owner(internet, Kind::Internet);
    return session && session->SetPumpWindow(window, message);
}

bool PumpInternet(HINTERNET internet, int timeoutMs) {
    auto session = Owner(internet, Kind::Internet);
    if (!session)
        return false;
    session->Pump(timeoutMs);
    return true;
}

HINTERNET ConnectServer(HINTERNET internet, const std::string& server, std::uint16_t port,
                        const std::string& user, const std::string& password, std::uint32_t flags,
                        std::uintptr_t) {
    auto session = Owner(internet, Kind::Internet);
    if (!session)
        return 0;
    if (server.empty()) {
        SetLastError(kErrInternetInvalidUrl);
        return 0;
    }
    return session->AddConnection(server, port, user, password, flags);
}

HINTERNET OpenRequest(HINTERNET connection, const std::string& verb, const std::string& object,
                      const std::string& acceptTypes, std::uint32_t flags, std::uintptr_t context) {
    auto session = Owner(connection, Kind::Connection);
    if (!session)
        return 0;
    return session->AddRequest(connection, verb.empty() ? "GET" : verb, object, acceptTypes, flags,
                               context);
}

bool CloseInternetHandle(HINTERNET handle) {
    auto session = Owner(handle, Kind::None);
    if (!session)
        return false;
    session->Close(handle);
    return true;
}

bool SetInternetOption(HINTERNET handle, std::uint32_t option, std::uint32_t value) {
    if (handle == 0)
        return win::SetProcessInternetOption(option, value);
    auto session = Owner(handle, Kind::None);
    return session && session->SetOption(handle, option, value);
}

bool QueryInternetOption(HINTERNET handle, std::uint32_t option, std::uint32_t* value) {
    if (value == nullptr)
        return Fail(kErrInvalidParameter);
    if (handle == 0)
        return win::QueryProcessInternetOption(option, value);
    auto session = Owner(handle, Kind::None);
    return session && session->QueryOption(handle, option, value);
}

bool SendRequest(HINTERNET request, std::string_view headers, std::string_view body) {
    auto session = Owner(request, Kind::Request);
    return session && session->Send(request, headers, body);
}

bool QueryDataAvailable(HINTERNET request, std::uint32_t* available) {
    if (available == nullptr)
        return Fail(kErrInvalidParameter);
    auto session = Owner(request, Kind::Request);
    if (!session)
        return false;
    win::InternetRequest* item = session->Request(request);
    bool done = item->QueryAvailable(available);
    ErrorCode error = GetLastError();
    session->AfterCall(item);
    SetLastError(error);
    return done;
}

bool ReadResponse(HINTERNET request, void* buffer, std::uint32_t size, std::uint32_t* read) {
    auto session = Owner(request, Kind::Request);
    if (!session)
        return false;
    win::InternetRequest* item = session->Request(request);
    bool done = item->Read(buffer, size, read);
    ErrorCode error = GetLastError();
    session->AfterCall(item);
    SetLastError(error);
    return done;
}

void PrepareBodyBuffer(void* data, std::size_t size) {
    if (data == nullptr || size < kLargeBufferWorthy)
        return;
    // Windows gives large pages only to privileged processes and only to
    // memory allocated for them, so this buffer stays as it is; asking the
    // system to bring its pages in at once still saves the faults of
    // filling it page by page. Only whole pages of the buffer are named.
    SYSTEM_INFO system{};
    ::GetSystemInfo(&system);
    auto page = static_cast<std::uintptr_t>(system.dwPageSize);
    auto begin = reinterpret_cast<std::uintptr_t>(data);
    std::uintptr_t first = (begin + page - 1) & ~(page - 1);
    std::uintptr_t last = (begin + size) & ~(page - 1);
    if (last <= first)
        return;
    struct RangeEntry {
        void* address;
        SIZE_T size;
    };
    using PrefetchFn = BOOL(WINAPI*)(HANDLE, ULONG_PTR, RangeEntry*, ULONG);
    // Windows 8 and later; on older systems the hint does nothing.
    auto prefetch = reinterpret_cast<PrefetchFn>(reinterpret_cast<void*>(
        ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "PrefetchVirtualMemory")));
    if (prefetch == nullptr)
        return;
    RangeEntry range{reinterpret_cast<void*>(first), last - first};
    prefetch(::GetCurrentProcess(), 1, &range, 0);
}

bool QueryResponseInfo(HINTERNET request, std::uint32_t level, std::string* text) {
    if (text == nullptr)
        return Fail(kErrInvalidParameter);
    auto session = Owner(request, Kind::Request);
    return session && session->Request(request)->QueryInfo(level, text);
}

bool QueryResponseNumber(HINTERNET request, std::uint32_t level, std::uint32_t* number) {
    if (number == nullptr)
        return Fail(kErrInvalidParameter);
    std::string text;
    if (!QueryResponseInfo(request, level | HTTP_QUERY_FLAG_NUMBER, &text))
        return false;
    const char* end = text.data() + text.size();
    auto [stop, problem] = std::from_chars(text.data(), end, *number);
    if (problem != std::errc() || stop != end)
        return Fail(kErrHttpHeaderNotFound);
    return true;
}

bool QueryResponseHeader(HINTERNET request, std::string_view name, std::string* value) {
    if (value == nullptr)
        return Fail(kErrInvalidParameter);
    auto session = Owner(request, Kind::Request);
    return session && session->Request(request)->QueryHeader(name, value);
}

} // namespace plat
