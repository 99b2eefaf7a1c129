#pragma once
// Asynchronous HTTP for the network transport: an internet handle (one per
// transport thread), server connections and requests under it, and a URL
// cracker and builder. Handle kinds, option, flag, status and error numbers
// keep the values WinINet gives them, so the transport's logic, its logs and
// the texts users see stay the same on every platform.
//
// Threads: the thread that opens an internet handle owns it and everything
// made under it; every call on those handles comes from that thread (another
// thread gets last error 5). Nothing here blocks the owner for longer than a
// short poll: sends, reads and data queries that cannot finish at once fail
// with last error 997 (I/O pending) and complete later through a status
// notice 100 delivered to the owner's status callback.
//
// How work moves on: the owner either calls PumpInternet from its loop, or
// names a window and message with SetPumpWindow; the layer then posts that
// message whenever the network has something for it (a socket became ready,
// a time-out is due, a notice waits) and the owner answers by calling
// PumpInternet(internet, 0) from its handler. Status notices are delivered
// only from inside PumpInternet, on the owner's thread, never after the
// handle they concern was closed.

#include "platform/Error.h"
#include "platform/Window.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace plat {

// A handle number; 0 is none.
using HINTERNET = std::uintptr_t;

// InternetOpen access types. The preconfigured proxy is the one the
// environment names (http_proxy, https_proxy, all_proxy and no_proxy, in
// either case but http_proxy); PROXY takes the proxy and bypass list given
// to OpenInternet.
enum : std::uint32_t {
    INTERNET_OPEN_TYPE_PRECONFIG = 0,
    INTERNET_OPEN_TYPE_DIRECT = 1,
    INTERNET_OPEN_TYPE_PROXY = 3,
    INTERNET_OPEN_TYPE_PRECONFIG_WITH_NO_AUTOPROXY = 4,
};

// Flags of OpenInternet and OpenRequest (INTERNET_FLAG_*).
enum : std::uint32_t {
    INTERNET_FLAG_IGNORE_CERT_CN_INVALID = 0x00001000,
    INTERNET_FLAG_IGNORE_CERT_DATE_INVALID = 0x00002000,
    INTERNET_FLAG_NO_COOKIES = 0x00080000,
    INTERNET_FLAG_NO_AUTO_REDIRECT = 0x00200000,
    INTERNET_FLAG_KEEP_CONNECTION = 0x00400000,
    INTERNET_FLAG_SECURE = 0x00800000,
    INTERNET_FLAG_NO_CACHE_WRITE = 0x04000000,
    INTERNET_FLAG_ASYNC = 0x10000000,
    INTERNET_FLAG_EXISTING_CONNECT = 0x20000000,
    INTERNET_FLAG_RELOAD = 0x80000000,
};

// Certificate checks a request may waive (SECURITY_FLAG_*), added to a
// request handle through INTERNET_OPTION_SECURITY_FLAGS. Everything not
// waived is checked.
enum : std::uint32_t {
    SECURITY_FLAG_IGNORE_REVOCATION = 0x00000080,
    SECURITY_FLAG_IGNORE_UNKNOWN_CA = 0x00000100,
    SECURITY_FLAG_IGNORE_WRONG_USAGE = 0x00000200,
    SECURITY_FLAG_IGNORE_CERT_CN_INVALID = 0x00001000,
    SECURITY_FLAG_IGNORE_CERT_DATE_INVALID = 0x00002000,
};

// Options (INTERNET_OPTION_*). All values are 32-bit numbers; time-outs are
// milliseconds.
enum : std::uint32_t {
    INTERNET_OPTION_CONNECT_TIMEOUT = 2,
    INTERNET_OPTION_SEND_TIMEOUT = 5,
    INTERNET_OPTION_RECEIVE_TIMEOUT = 6,
    INTERNET_OPTION_DATA_SEND_TIMEOUT = 7,
    INTERNET_OPTION_DATA_RECEIVE_TIMEOUT = 8,
    INTERNET_OPTION_LISTEN_TIMEOUT = 11,
    INTERNET_OPTION_SECURITY_FLAGS = 31,
    INTERNET_OPTION_DISCONNECTED_TIMEOUT = 49,
    INTERNET_OPTION_CONNECTED_STATE = 50,
    INTERNET_OPTION_HTTP_DECODING = 65,
    INTERNET_OPTION_MAX_CONNS_PER_SERVER = 73,
    INTERNET_OPTION_MAX_CONNS_PER_1_0_SERVER = 74,
    // This layer's own: the slowest transfer it keeps. A transfer that
    // receives fewer than FLOOR bytes per second on average over WINDOW
    // milliseconds (counted once its connection stands, and never while the
    // reader holds it back) ends like a time-out, with 12002. A floor of 0
    // turns the check off. Set on the internet handle (the requests' default)
    // or on a request.
    INTERNET_OPTION_SLOW_TRANSFER_FLOOR = 0x10001,
    INTERNET_OPTION_SLOW_TRANSFER_WINDOW = 0x10002,
};

// The slow-transfer floor when no option says otherwise.
constexpr std::uint32_t kDefaultSlowTransferFloor = 1024;   // bytes per second
constexpr std::uint32_t kDefaultSlowTransferWindow = 60000; // milliseconds

// Values of INTERNET_OPTION_CONNECTED_STATE.
enum : std::uint32_t {
    INTERNET_STATE_CONNECTED = 0x01,
    INTERNET_STATE_DISCONNECTED = 0x02,
    INTERNET_STATE_DISCONNECTED_BY_USER = 0x10,
};

// Status notices. The only ones this layer sends.
enum : std::uint32_t {
    INTERNET_STATUS_CONNECTION_CLOSED = 51, // no information
    INTERNET_STATUS_REQUEST_COMPLETE = 100, // an InternetAsyncResult
    INTERNET_STATUS_REDIRECT = 110,         // the new URL; never sent: redirects are not followed
};

// Response queries (HTTP_QUERY_*); a level may carry one modifier flag.
enum : std::uint32_t {
    HTTP_QUERY_CONTENT_TYPE = 1,
    HTTP_QUERY_CONTENT_LENGTH = 5,
    HTTP_QUERY_VERSION = 18,
    HTTP_QUERY_STATUS_CODE = 19,
    HTTP_QUERY_STATUS_TEXT = 20,
    HTTP_QUERY_RAW_HEADERS_CRLF = 22,
    HTTP_QUERY_CONTENT_ENCODING = 29,
    HTTP_QUERY_LOCATION = 33,
    HTTP_QUERY_CONTENT_RANGE = 53,
    HTTP_QUERY_FLAG_NUMBER = 0x20000000,
    HTTP_QUERY_FLAG_REQUEST_HEADERS = 0x80000000,
};

// Schemes as the URL cracker numbers them (INTERNET_SCHEME).
enum InternetScheme : std::int32_t {
    INTERNET_SCHEME_PARTIAL = -2,
    INTERNET_SCHEME_UNKNOWN = -1,
    INTERNET_SCHEME_DEFAULT = 0,
    INTERNET_SCHEME_FTP = 1,
    INTERNET_SCHEME_GOPHER = 2,
    INTERNET_SCHEME_HTTP = 3,
    INTERNET_SCHEME_HTTPS = 4,
    INTERNET_SCHEME_FILE = 5,
    INTERNET_SCHEME_NEWS = 6,
    INTERNET_SCHEME_MAILTO = 7,
    INTERNET_SCHEME_SOCKS = 8,
    INTERNET_SCHEME_JAVASCRIPT = 9,
    INTERNET_SCHEME_VBSCRIPT = 10,
    INTERNET_SCHEME_RES = 11,
};

enum : std::uint16_t {
    INTERNET_DEFAULT_PORT = 0, // the scheme's own port
    INTERNET_DEFAULT_HTTP_PORT = 80,
    INTERNET_DEFAULT_HTTPS_PORT = 443,
};

// The information of INTERNET_STATUS_REQUEST_COMPLETE: exactly 8 bytes.
// For a send or a read, result is 1 on success and 0 on failure; for a data
// query it is the number of bytes now available. error is 0 or the failure's
// number.
struct InternetAsyncResult {
    std::uint32_t result = 0;
    std::uint32_t error = 0;
};
static_assert(sizeof(InternetAsyncResult) == 8);

// Receives the status notices of an internet handle and of everything under
// it, on the owner's thread, from inside PumpInternet. `context` is the value
// given when the handle was made; `info` is valid only during the call. The
// callback may call any function here, including closing handles.
using InternetStatusCallback =
    std::function<void(HINTERNET handle, std::uintptr_t context, std::uint32_t status,
                       const void* info, std::uint32_t infoLength)>;

// --- Handles --------------------------------------------------------------

// InternetOpen: a new internet handle owned by the calling thread; its
// requests go out with this user agent, through the proxy the access type
// names. With INTERNET_OPEN_TYPE_PROXY, `proxy` is "host:port" (or a URL)
// for every scheme, or per scheme "http=host:port https=host:port"
// (blanks or ";" between); `proxyBypass` lists the hosts reached directly,
// with "*" wildcards, blanks or ";" between, and "<local>" for names
// without a dot. 0 on failure (87 for a PROXY access without a proxy).
HINTERNET OpenInternet(const std::string& userAgent, std::uint32_t accessType,
                       const std::string& proxy, const std::string& proxyBypass,
                       std::uint32_t flags);
// InternetSetStatusCallback: the callback for the handle and its children
// (an empty one stops the notices).
bool SetStatusCallback(HINTERNET internet, InternetStatusCallback callback);
// Asks the layer to post `message` (wParam = the internet handle, lParam 0)
// to `window` whenever PumpInternet has work; window 0 stops it. At most one
// such message is outstanding: the next comes after the owner has pumped.
// One may still arrive after the handle was closed; PumpInternet then fails
// with 6 (invalid handle).
bool SetPumpWindow(HINTERNET internet, HWND window, std::uint32_t message);
// Moves the network on: waits up to timeoutMs (at most 100) for activity
// when nothing is due yet, runs the transfers, fails the ones whose time-out
// passed and delivers the notices that became due.
bool PumpInternet(HINTERNET internet, int timeoutMs);

// InternetConnect for HTTP: names a server; nothing goes on the wire yet.
// Port 0 is the scheme's own port. With INTERNET_FLAG_SECURE in `flags`
// every request under it uses HTTPS; otherwise the request's own flags say.
HINTERNET ConnectServer(HINTERNET internet, const std::string& server, std::uint16_t port,
                        const std::string& user, const std::string& password, std::uint32_t flags,
                        std::uintptr_t context);
// HttpOpenRequest: a request for `object` (path and query, sent as given)
// with this verb ("GET", "POST", "HEAD", "DELETE"...). `acceptTypes` is
// sent as the Accept header when not empty. Redirects are never followed.
HINTERNET OpenRequest(HINTERNET connection, const std::string& verb, const std::string& object,
                      const std::string& acceptTypes, std::uint32_t flags, std::uintptr_t context);
// InternetCloseHandle: closes a handle and everything under it. A request in
// flight is abandoned; no notice for it is delivered afterwards.
bool CloseInternetHandle(HINTERNET handle);

// --- Options ----------------------------------------------------------------

// InternetSetOption / InternetQueryOption for the numeric options above.
// Time-outs set on an internet or connection handle are the defaults of
// the requests under it. Handle 0 stands for the process: only the
// per-server connection limits live there. Unknown options: 12009.
bool SetInternetOption(HINTERNET handle, std::uint32_t option, std::uint32_t value);
bool QueryInternetOption(HINTERNET handle, std::uint32_t option, std::uint32_t* value);

// --- The exchange -----------------------------------------------------------

// HttpSendRequest: sends the request with these extra header lines (each
// ending "\r\n", e.g. a Range line) and body. Always completes later: false
// with 997, then notice 100 once the response's headers have arrived
// (result 1) or the exchange failed (result 0, error set). A handle whose
// previous exchange is over may be sent again.
bool SendRequest(HINTERNET request, std::string_view headers, std::string_view body);
// InternetQueryDataAvailable: the number of body bytes that can be read at
// once, 0 at the end of the body. With nothing there yet: false with 997,
// and notice 100 carries the count when bytes (or the end) arrive. Once the
// bytes received before a failure are consumed, fails with the failure's
// number.
bool QueryDataAvailable(HINTERNET request, std::uint32_t* available);
// InternetReadFileEx: copies up to `size` body bytes into `buffer`; *read is
// 0 at the end of the body. Bytes already received are returned at once,
// however few. With nothing there yet: false with 997; the layer then fills
// `buffer` as the body arrives, completely or up to the body's end (or a
// failure), sets `*read` and sends notice 100, so both must stay valid until
// that notice or until the handle is closed.
bool ReadResponse(HINTERNET request, void* buffer, std::uint32_t size, std::uint32_t* read);
// A hint, on any thread: `size` bytes at `data` are about to receive a
// response body front to back. A large buffer is then backed by large pages
// where the system has them, which cuts the page faults of filling it.
void PrepareBodyBuffer(void* data, std::size_t size);

// HttpQueryInfo, once the send has completed: a level of the list above as
// text (RAW_HEADERS_CRLF gives the status line and header lines, each ending
// "\r\n", and an empty line; with FLAG_REQUEST_HEADERS the request as it was
// sent). 12150 when the response has no such header, 12154 for a level
// this layer does not know, 12019 before the response's headers are in.
bool QueryResponseInfo(HINTERNET request, std::uint32_t level, std::string* text);
// The same as a number (HTTP_QUERY_FLAG_NUMBER may be given or not).
bool QueryResponseNumber(HINTERNET request, std::uint32_t level, std::uint32_t* number);
// Any response header by name (the first one; names ignore case).
bool QueryResponseHeader(HINTERNET request, std::string_view name, std::string* value);

// --- URLs -------------------------------------------------------------------

// The parts of a URL as InternetCrackUrl gives them. The port is the
// scheme's own when the text names none; `extra` is the query and fragment
// with its leading "?" or "#".
struct UrlParts {
    std::string schemeText;
    std::int32_t scheme = INTERNET_SCHEME_UNKNOWN;
    std::string host;
    std::uint16_t port = INTERNET_DEFAULT_PORT;
    std::string user;
    std::string password;
    std::string path;
    std::string extra;
};

// InternetCrackUrl: splits a URL; no escaping or unescaping. Fails with 12006
// when the text has no scheme or one this layer does not know, and with 12005
// when it is malformed (a server scheme with no host, a bad port).
bool CrackUrl(std::string_view url, UrlParts* parts);
// InternetCreateUrl: the text of the parts. The scheme text wins over the
// number; with neither (or scheme -1/0) it is "http". The port is written
// only when it is not the scheme's own. 12006 for an unknown scheme number,
// 12005 for a server scheme without a host.
bool CreateUrl(const UrlParts& parts, std::string* url);

} // namespace plat
