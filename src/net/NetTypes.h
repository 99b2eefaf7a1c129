#pragma once
// The records that travel between a client's thread and the transport thread
// with the transport's window messages, and the message numbers themselves.
// Each record belongs to one thread at a time: the poster until the message
// is handled, then the handler (or the client it is handed to). The messages
// that carry a record name its type with their number (OwnedMessage), so
// that poster and handler cannot disagree; the client that posts names
// itself in wParam.

#include "base/Buffer.h"
#include "base/OwnedMessage.h"
#include "platform/Internet.h"
#include "platform/Window.h"

#include <cstdint>
#include <string>

namespace NetEx {

// The transport window's messages (WM_USER + n); 11 has no handler.
enum TransportMessage : std::uint32_t {
    kMsgSetLogClock = plat::WM_USER + 0,
    kMsgQueryStatistics = plat::WM_USER + 1,
    kMsgDetachClient = plat::WM_USER + 2,
    kMsgOpenInternet = plat::WM_USER + 3,
    kMsgCloseInternet = plat::WM_USER + 4,
    kMsgSetLogSettings = plat::WM_USER + 5,
    kMsgCreateContext = plat::WM_USER + 6,
    kMsgModifyContext = plat::WM_USER + 7,
    kMsgDestroyContext = plat::WM_USER + 8,
    kMsgSendRequest = plat::WM_USER + 9,
    kMsgCancelRequest = plat::WM_USER + 10,
    kMsgStatusNotice = plat::WM_USER + 12,
    // Posted by the HTTP layer when the internet handle has work.
    kMsgPumpInternet = plat::WM_USER + 13,
};

// What OpenInternet carries.
struct InternetParams {
    std::string userAgent;
    // The preconfigured proxy is the environment's; with
    // INTERNET_OPEN_TYPE_PROXY the proxy and bypass list below are used.
    std::uint32_t accessType = plat::INTERNET_OPEN_TYPE_PRECONFIG;
    std::string proxy;
    std::string proxyBypass;
    // Server certificates are verified (trust store, host name, dates)
    // whatever a request's flags say, unless this is set: then the checks
    // the flags waive are waived. Only a distribution that opts in for a
    // test server sets it.
    bool certificateWaivers = false;
    // The slowest transfer kept: fewer bytes per second than the floor,
    // averaged over the window, end it like a time-out. 0 turns it off.
    std::uint32_t slowFloorBytesPerSecond = plat::kDefaultSlowTransferFloor;
    std::uint32_t slowWindowMs = plat::kDefaultSlowTransferWindow;
};

// What SetLogSettings carries. An empty key writes the HTTP logs in plain
// text; the folder ends with a separator.
struct HttpLogSettings {
    bool enabled = false;
    bool flushEachRecord = false;
    // Debug-level records too: every state change of every request.
    bool debugRecords = false;
    std::string folder;
    std::uint32_t reserved = 0;
    CBuffer key;
    std::uint32_t openSize = 4096;
    std::uint32_t bufferSize = 4096;
};

// What OnError hands to the client.
struct NetErrorInfo {
    enum Kind : std::uint32_t {
        kNotOpen = 1,   // the internet handle is not open
        kFailed = 2,    // the operation failed with `code`
        kNoContext = 3, // the client has no context with this id
    };
    static constexpr std::uint32_t kNoRequest = 0x80000000u;

    std::uint32_t kind = 0;
    std::uint32_t code = 0;
    std::uint32_t reserved = 0;
    std::uint32_t contextId = 0;
    std::uint32_t requestId = kNoRequest;
};

// What OnStatistics hands to the client: the transport's byte totals.
struct NetStatistics {
    std::uint64_t bytesSent = 0;
    std::uint64_t bytesReceived = 0;
    std::uint8_t reserved[16] = {};
};

// A status notice of the HTTP layer as the status callback copied it.
struct StatusNotice {
    plat::HINTERNET handle = 0;
    std::uintptr_t context = 0; // the address of the context
    std::uint32_t status = 0;
    CBuffer info;
};

// The block CancelRequest carries.
struct CancelBlock {
    std::uint32_t contextId = 0;
    std::uint32_t requestId = 0;
};

// An object OnReserved may carry; that callback is never raised.
struct NetReservedInfo {
    virtual ~NetReservedInfo() = default;
};

class CContextHttx;
class CRequestHttx;

// The messages that carry a record; the handler takes it over.
using OpenInternetMessage = base::OwnedMessage<kMsgOpenInternet, InternetParams>;
using SetLogSettingsMessage = base::OwnedMessage<kMsgSetLogSettings, HttpLogSettings>;
using CreateContextMessage = base::OwnedMessage<kMsgCreateContext, CContextHttx>;
using ModifyContextMessage = base::OwnedMessage<kMsgModifyContext, CContextHttx>;
using SendRequestMessage = base::OwnedMessage<kMsgSendRequest, CRequestHttx>;
using CancelRequestMessage = base::OwnedMessage<kMsgCancelRequest, CancelBlock>;
using StatusNoticeMessage = base::OwnedMessage<kMsgStatusNotice, StatusNotice>;

} // namespace NetEx
