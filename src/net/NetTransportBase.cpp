#include "net/NetTransport.h"

#include "net/NetClient.h"
#include "platform/Error.h"

namespace NetEx {

namespace {

// The transport window of the process; the status callback posts to it.
std::atomic<plat::HWND> g_transportWindow{0};

// Forwards the notices the transport acts on to its window as copies;
// everything else is dropped.
void NetStatusCallback(plat::HINTERNET handle, std::uintptr_t context, std::uint32_t status,
                       const void* info, std::uint32_t infoLength) {
    if (context == 0 || (status != plat::INTERNET_STATUS_CONNECTION_CLOSED &&
                         status != plat::INTERNET_STATUS_REQUEST_COMPLETE &&
                         status != plat::INTERNET_STATUS_REDIRECT))
        return;
    auto notice = std::make_unique<StatusNotice>();
    notice->handle = handle;
    notice->context = context;
    notice->status = status;
    if (info != nullptr && infoLength != 0)
        notice->info.Append(info, infoLength);
    // A notice that finds no window any more is dropped with its copy.
    base::PostOwned<StatusNoticeMessage>(g_transportWindow.load(), 0, std::move(notice));
}

void AddTo(void* total, std::uint64_t bytes) {
    *static_cast<std::uint64_t*>(total) += bytes;
}

} // namespace

CNetTransportBase::CNetTransportBase() : CWindowThread("NetTransport") {}

CNetTransportBase::~CNetTransportBase() = default;

plat::HWND CNetTransportBase::ProcessWindow() {
    return g_transportWindow.load();
}

bool CNetTransportBase::Stop(int timeoutMs) {
    PostQuit();
    return CWindowThread::Stop(timeoutMs);
}

bool CNetTransportBase::CreateThreadWindow() {
    if (!CreateMessageWindow(kWindowClass))
        return false;
    g_transportWindow = Window();
    RegisterHandlers();
    return CWindowThread::CreateThreadWindow();
}

void CNetTransportBase::RegisterHandlers() {
    SetMemberHandler<&CNetTransportBase::OnSetLogClock>(kMsgSetLogClock, this);
    SetMemberHandler<&CNetTransportBase::OnQueryStatistics>(kMsgQueryStatistics, this);
    SetMemberHandler<&CNetTransportBase::OnOpenInternet>(kMsgOpenInternet, this);
    SetMemberHandler<&CNetTransportBase::OnCloseInternet>(kMsgCloseInternet, this);
    SetRecordHandler<SetLogSettingsMessage, &CNetTransportBase::OnSetLogSettings>(this);
    SetMemberHandler<&CNetTransportBase::OnPumpInternet>(kMsgPumpInternet, this);
}

void CNetTransportBase::OnLoopEnd(bool normalEnd) {
    if (normalEnd) {
        // On the transport thread, after its loop: nothing else runs here.
        CloseInternetHandle();
        g_transportWindow = 0;
    }
    CWindowThread::OnLoopEnd(normalEnd);
}

bool CNetTransportBase::OpenInternet(const InternetParams& params) {
    event_.Reset();
    if (!base::PostOwned<OpenInternetMessage>(Window(), 0,
                                              std::make_unique<InternetParams>(params)))
        return false;
    event_.Wait(-1);
    return result_;
}

bool CNetTransportBase::CloseInternet() {
    event_.Reset();
    if (!plat::PostMessage(Window(), kMsgCloseInternet, 0, 0))
        return false;
    event_.Wait(-1);
    return result_;
}

bool CNetTransportBase::SetLogSettings(std::unique_ptr<HttpLogSettings> settings) {
    if (!settings || !open_)
        return false;
    return base::PostOwned<SetLogSettingsMessage>(Window(), 0, std::move(settings));
}

bool CNetTransportBase::SetLogClock(std::int64_t offsetMs, int zoneSeconds) {
    return plat::PostMessage(Window(), kMsgSetLogClock, static_cast<plat::WPARAM>(offsetMs),
                             zoneSeconds);
}

ByteForwarder CNetTransportBase::SentForwarder() {
    return ByteForwarder{&totalSent_, &AddTo};
}

ByteForwarder CNetTransportBase::ReceivedForwarder() {
    return ByteForwarder{&totalReceived_, &AddTo};
}

// wParam carries the whole 64-bit offset and lParam the zone bias.
plat::LRESULT CNetTransportBase::OnSetLogClock(plat::WPARAM wParam, plat::LPARAM lParam) {
    logClock_.set = true;
    logClock_.offsetMs = static_cast<std::int64_t>(wParam);
    logClock_.zoneSeconds = static_cast<int>(lParam);
    ApplyLogClockToContexts();
    return 1;
}

plat::LRESULT CNetTransportBase::OnQueryStatistics(plat::WPARAM wParam, plat::LPARAM) {
    auto client = base::Borrowed<CNetClient>(wParam);
    if (!client)
        return 0;
    auto statistics = std::make_unique<NetStatistics>();
    statistics->bytesSent = totalSent_;
    statistics->bytesReceived = totalReceived_;
    client->OnStatistics(std::move(statistics));
    return 0;
}

plat::LRESULT CNetTransportBase::OnOpenInternet(plat::WPARAM, plat::LPARAM lParam) {
    std::unique_ptr<InternetParams> params = base::TakeOwned<OpenInternetMessage>(lParam);
    CEventRiser riser(&event_);
    result_ = false;
    if (open_ || !params)
        return 0;
    internet_ = plat::OpenInternet(params->userAgent, params->accessType, params->proxy,
                                   params->proxyBypass, plat::INTERNET_FLAG_ASYNC);
    if (internet_ == 0)
        return 0;
    if (!plat::SetStatusCallback(internet_, &NetStatusCallback) ||
        !plat::SetPumpWindow(internet_, Window(), kMsgPumpInternet)) {
        plat::CloseInternetHandle(internet_);
        internet_ = 0;
        return 0;
    }
    std::uint32_t state = 0;
    if (plat::QueryInternetOption(internet_, plat::INTERNET_OPTION_CONNECTED_STATE, &state) &&
        (state & plat::INTERNET_STATE_DISCONNECTED_BY_USER) != 0)
        plat::SetInternetOption(internet_, plat::INTERNET_OPTION_CONNECTED_STATE,
                                plat::INTERNET_STATE_CONNECTED);
    std::uint32_t connections = 0;
    if (plat::QueryInternetOption(0, plat::INTERNET_OPTION_MAX_CONNS_PER_SERVER, &connections) &&
        connections < 32)
        plat::SetInternetOption(0, plat::INTERNET_OPTION_MAX_CONNS_PER_SERVER, 32);
    plat::SetInternetOption(internet_, plat::INTERNET_OPTION_HTTP_DECODING, 1);
    plat::SetInternetOption(internet_, plat::INTERNET_OPTION_SLOW_TRANSFER_FLOOR,
                            params->slowFloorBytesPerSecond);
    plat::SetInternetOption(internet_, plat::INTERNET_OPTION_SLOW_TRANSFER_WINDOW,
                            params->slowWindowMs);
    certificateWaivers_ = params->certificateWaivers;
    open_ = true;
    result_ = true;
    return 0;
}

void CNetTransportBase::CloseInternetHandle() {
    result_ = false;
    if (!open_)
        return;
    CloseContexts(nullptr);
    plat::SetStatusCallback(internet_, {});
    plat::SetPumpWindow(internet_, 0, 0);
    plat::CloseInternetHandle(internet_);
    internet_ = 0;
    open_ = false;
    result_ = true;
}

plat::LRESULT CNetTransportBase::OnCloseInternet(plat::WPARAM, plat::LPARAM) {
    CEventRiser riser(&event_);
    CloseInternetHandle();
    return 0;
}

void CNetTransportBase::OnSetLogSettings(CNetClient*, std::unique_ptr<HttpLogSettings> settings) {
    logSettings_ = std::move(settings);
}

plat::LRESULT CNetTransportBase::OnPumpInternet(plat::WPARAM, plat::LPARAM) {
    if (internet_ != 0)
        plat::PumpInternet(internet_, 0);
    return 0;
}

} // namespace NetEx
