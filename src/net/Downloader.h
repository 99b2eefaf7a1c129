#pragma once
// The launcher's network client: turns its five kinds of download into HTTP
// requests on the transport, one at a time on one context, and hands each
// result to an IDownloaderNotify as a body, a byte count or an error.
//
// Threads: the Download... operations, OnCompletedMessage, OnRequestDone and
// OnProgressMessage run on the launcher window's thread. OnRequestProgress,
// OnRequestCompleted and OnError run on the transport thread; they read the
// current kind and post to the progress window, nothing else. Every notify
// callback is made on the window thread.

#include "net/BodySink.h"
#include "net/DownloaderMessages.h"
#include "net/DownloaderNotify.h"
#include "net/NetClient.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

class CLogImplW;

namespace NetEx {

class CDownloader : public CNetClient {
public:
    static constexpr std::uint32_t kContextId = 0;
    static constexpr std::uint32_t kContextTimeoutMs = 15000;
    static constexpr std::uint32_t kContextBgs = 0x400000;
    // Reload, no automatic redirect, no cookies, certificate date and name
    // waived.
    static constexpr std::uint32_t kOpenFlags = 0x80283000;
    // Revocation and unknown CA waived.
    static constexpr std::uint32_t kSecurityFlags = 0x180;
    static constexpr std::uint32_t kKBReadBlock = 102400;
    // The most bytes a body kept in memory may have: the documents (client
    // update data, licence, manifest, and an error page of any kind) and the
    // platform update package. Update files go to their sinks.
    static constexpr std::uint32_t kDefaultDocumentLimit = 16u << 20;
    static constexpr std::uint32_t kKBLimit = 64u << 20;
    // A redirect count this high fails instead of being followed.
    static constexpr std::uint32_t kMaxRedirects = 3;
    // The KB total before the probe and when the probe found no size.
    static constexpr std::int32_t kKBNotProbed = 0;
    static constexpr std::int32_t kKBSizeUnknown = -1;

    CDownloader();
    // Detaches from the transport without a time limit.
    ~CDownloader() override;

    // --- Set-up, window thread ------------------------------------------
    void SetClientName(std::string name) { clientName_ = std::move(name); }
    void SetNotify(IDownloaderNotify* notify) { notify_ = notify; }
    void SetLog(CLogImplW* log) { log_ = log; }
    void SetClientVersion(std::string version) { clientVersion_ = std::move(version); }
    // Scheme, host and port that license, manifest and update paths go to.
    void SetServer(std::string server) { server_ = std::move(server); }
    void SetLanguage(std::string language) { language_ = std::move(language); }
    void SetProgressWindow(plat::HWND window) { progressWindow_ = window; }
    // The documents' bound (see kDefaultDocumentLimit); 0 keeps the default.
    void SetDocumentLimit(std::uint32_t bytes) {
        documentLimit_ = bytes != 0 ? bytes : kDefaultDocumentLimit;
    }
    std::uint32_t DocumentLimit() const { return documentLimit_; }

    const std::string& Server() const { return server_; }
    const std::string& ConnectedServer() const { return connectedServer_; }
    const std::string& ClientVersion() const { return clientVersion_; }
    std::uint32_t CurrentKind() const { return currentKind_; }
    std::int32_t KBReceived() const { return kbReceived_; }
    std::int32_t KBTotal() const { return kbTotal_; }

    // --- Operations, window thread; false when nothing was sent ----------
    // A full URL; extraHeaders are header lines ending "\r\n", sent as given.
    bool DownloadCUDFile(std::string_view url, std::string_view extraHeaders);
    // A full URL: the first call probes the size with HEAD, the probe's
    // answer fetches the file with GET.
    bool DownloadKB(std::string_view url);
    // Paths on the server set with SetServer.
    bool DownloadLicense(std::string_view path);
    bool DownloadUpdateXml(std::string_view path);
    // length 0 asks for everything from begin on. The answer's bytes go to
    // the sink as they arrive (refused without one); only an answer to this
    // range is taken.
    bool DownloadUpdate(std::string_view path, std::uint32_t begin, std::uint32_t length,
                        std::shared_ptr<IBodySink> sink);

    // Makes the one context point at this server, re-creating it only when
    // the server changed. False for an empty or unusable server text.
    bool ConnectServer(const std::string& server);

    // --- The launcher window's handlers, window thread -------------------
    // kMsgDownloadCompleted: takes over what the message carries.
    void OnCompletedMessage(plat::WPARAM wParam, plat::LPARAM lParam);
    // Dispatches a completed request to its callback, then destroys it.
    void OnRequestDone(std::unique_ptr<CRequestHttx> request);
    // kMsgDownloadProgress: progress of an update range or of the KB file.
    void OnProgressMessage(plat::LPARAM bytes);

    // --- CNetClient callbacks, transport thread --------------------------
    void OnRequestProgress(CRequestHttx& request) override;
    void OnRequestCompleted(std::unique_ptr<CRequestHttx> request) override;
    void OnError(std::unique_ptr<NetErrorInfo> error) override;

    // The notify kind of a request kind: the same number for 1..6, else 0.
    static std::uint32_t NotifyKind(std::uint32_t kind);

private:
    struct RequestForm;

    // Creates, decorates and sends one request; `objectText` is a path
    // (and query) on the connected server.
    bool Issue(const RequestForm& form, std::string_view objectText);
    void FollowRedirect(std::unique_ptr<CRequestHttx> request);
    void ReportFailure(std::unique_ptr<CRequestHttx> request);
    void OnKBProbeAnswer(CRequestHttx& request);
    // Clears the current kind, then reports; the callback may start the
    // next download.
    void ReportError(std::uint32_t kind, std::uint32_t errorCode, std::uint32_t status,
                     const std::string& body);
    void Log(std::string_view text, bool newLine = true);

    std::string clientName_;
    IDownloaderNotify* notify_ = nullptr;
    CLogImplW* log_ = nullptr;
    std::string clientVersion_;
    std::string server_;
    std::string connectedServer_;
    std::string language_;
    std::atomic<std::uint32_t> currentKind_{kDownloadNone};
    std::int32_t kbReceived_ = 0;
    std::int32_t kbTotal_ = kKBNotProbed;
    std::atomic<plat::HWND> progressWindow_{0};
    std::uint32_t documentLimit_ = kDefaultDocumentLimit;
};

} // namespace NetEx
