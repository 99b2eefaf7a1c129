#include "net/Downloader.h"

#include "base/Strings.h"
#include "log/LogImplW.h"
#include "net/ContextHttx.h"
#include "net/NetTransport.h"
#include "net/RequestHttx.h"
#include "platform/Internet.h"
#include "platform/Time.h"

#include <utility>

namespace NetEx {

namespace {

constexpr std::string_view kAcceptXml = "Accept: application/xml\r\n";
constexpr std::string_view kAcceptEncoding = "Accept-Encoding: gzip, deflate\r\n";

} // namespace

// How one kind of download goes on the wire.
struct CDownloader::RequestForm {
    std::uint32_t kind = kDownloadNone;
    std::uint32_t method = kGet;
    std::uint32_t readBlock = 0;
    bool wantResponseHeaders = false;
    std::string headers;
    bool range = false;
    std::uint32_t begin = 0;
    std::uint32_t length = 0;
    // Added to the query; an empty name adds nothing.
    std::string argName;
    std::string argValue;
    // When set: an empty line, then this, the full URL and logSuffix.
    const char* logPrefix = nullptr;
    std::string logSuffix;
    std::uint32_t bodyLimit = 0;
    std::shared_ptr<IBodySink> sink;
};

CDownloader::CDownloader() = default;

CDownloader::~CDownloader() {
    // Detach here, while the overrides still exist: the transport may be
    // calling back at this moment.
    if (Transport())
        Detach(-1);
    SetTransport(nullptr);
}

std::uint32_t CDownloader::NotifyKind(std::uint32_t kind) {
    return kind >= kDownloadCUDFile && kind <= kDownloadAffiliate ? kind : 0;
}

void CDownloader::Log(std::string_view text, bool newLine) {
    if (log_)
        log_->Write(base::Utf8ToWide(text), newLine);
}

bool CDownloader::DownloadCUDFile(std::string_view url, std::string_view extraHeaders) {
    Log("CDownloader::DownloadCUDFile");
    currentKind_ = kDownloadCUDFile;
    if (!notify_ || url.empty())
        return false;
    CUrlComponents parsed;
    if (!parsed.Crack(url))
        return false;
    server_ = parsed.GetServerText();
    if (!ConnectServer(server_))
        return false;
    RequestForm form;
    form.kind = kDownloadCUDFile;
    form.headers = std::string(kAcceptXml) + std::string(extraHeaders);
    form.bodyLimit = documentLimit_;
    return Issue(form, parsed.GetObjectText());
}

bool CDownloader::DownloadKB(std::string_view url) {
    bool probed = kbTotal_ != kKBNotProbed;
    if (!probed) {
        Log("CDownloader::DownloadKB:");
        Log(url);
    }
    currentKind_ = kDownloadKB;
    if (!notify_ || url.empty())
        return false;
    CUrlComponents parsed;
    if (!parsed.Crack(url))
        return false;
    server_ = parsed.GetServerText();
    // The file itself goes to the context the probe used (and a redirect of
    // the probe may have moved).
    if (!probed && !ConnectServer(server_))
        return false;
    RequestForm form;
    form.kind = kDownloadKB;
    form.method = probed ? kGet : kHead;
    form.readBlock = kKBReadBlock;
    form.wantResponseHeaders = true;
    form.headers = kAcceptXml;
    form.bodyLimit = kKBLimit;
    return Issue(form, parsed.GetObjectText());
}

bool CDownloader::DownloadLicense(std::string_view path) {
    Log("CDownloader::DownloadLicense: ", false);
    Log(path);
    currentKind_ = kDownloadLicense;
    if (!notify_ || path.empty() || !ConnectServer(server_))
        return false;
    RequestForm form;
    form.kind = kDownloadLicense;
    form.headers = std::string(kAcceptXml) + std::string(kAcceptEncoding);
    // The bound holds for the decoded body: a small gzip body cannot grow
    // past it.
    form.bodyLimit = documentLimit_;
    form.argName = "LANG";
    form.argValue = language_;
    return Issue(form, path);
}

bool CDownloader::DownloadUpdateXml(std::string_view path) {
    currentKind_ = kDownloadUpdateXml;
    if (!notify_ || path.empty() || !ConnectServer(server_))
        return false;
    RequestForm form;
    form.kind = kDownloadUpdateXml;
    form.headers = kAcceptXml;
    form.bodyLimit = documentLimit_;
    // A new name on every request keeps caches on the way from answering.
    form.argName = std::to_string(plat::GetUtcMs());
    form.logPrefix = "CDownloader::DownloadUpdateXml: ";
    return Issue(form, path);
}

bool CDownloader::DownloadUpdate(std::string_view path, std::uint32_t begin, std::uint32_t length,
                                 std::shared_ptr<IBodySink> sink) {
    currentKind_ = kDownloadUpdate;
    if (!notify_ || path.empty() || !sink || !ConnectServer(server_))
        return false;
    RequestForm form;
    form.kind = kDownloadUpdate;
    form.readBlock = kAdaptiveBlock;
    form.headers = kAcceptXml;
    // The file's bytes go to the sink; only an error page comes in memory.
    form.bodyLimit = documentLimit_;
    form.sink = std::move(sink);
    form.range = true;
    form.begin = begin;
    form.length = length;
    form.argName = clientVersion_;
    form.logPrefix = "CDownloader::DownloadUpdate: ";
    form.logSuffix =
        base::Format(" (begin: %d, length: %d)", static_cast<int>(begin), static_cast<int>(length));
    return Issue(form, path);
}

bool CDownloader::Issue(const RequestForm& form, std::string_view objectText) {
    std::unique_ptr<CRequestHttx> request;
    if (!CreateRequest(request))
        return false;
    if (!request->Init({.contextId = kContextId,
                        .requestId = form.kind,
                        .url = objectText,
                        .method = form.method,
                        .openFlags = kOpenFlags,
                        .securityFlags = kSecurityFlags,
                        .readBlock = form.readBlock,
                        .wantResponseHeaders = form.wantResponseHeaders,
                        .bodyLimit = form.bodyLimit}))
        return false;
    request->SetBodySink(form.sink);
    request->AddHeader(form.headers);
    if (form.range)
        request->AddRange(form.begin, form.length);
    if (!form.argName.empty()) {
        CUrlComponents::Args args = request->GetUrl().Arguments();
        args[form.argName] = form.argValue;
        request->GetUrl().SetArgs(args);
    }
    if (form.logPrefix) {
        // The address as it will go out: the path completed from the server.
        CUrlComponents shown = request->GetUrl();
        shown.Merge(CUrlComponents(connectedServer_), true);
        Log("");
        Log(form.logPrefix, false);
        Log(shown.GetFullUrl() + form.logSuffix);
    }
    return SendRequest(std::move(request));
}

bool CDownloader::ConnectServer(const std::string& server) {
    if (server.empty())
        return false;
    if (server == connectedServer_)
        return true;
    CNetTransportBase* transport = Transport();
    if (!connectedServer_.empty() && transport && transport->IsRunning())
        PostDestroyContext(kContextId);
    connectedServer_ = server;
    std::unique_ptr<CContextHttx> context;
    bool created = CreateContext(context) &&
                   context->Setup(kContextId, clientName_, server, kContextTimeoutMs, kContextBgs);
    if (created) {
        std::int32_t scheme = context->GetUrl().Scheme();
        created = transport->IsRunning() &&
                  (scheme == plat::INTERNET_SCHEME_HTTP || scheme == plat::INTERNET_SCHEME_HTTPS) &&
                  context->GetBgs() != 0 && PostCreateContext(std::move(context));
    }
    if (!created)
        connectedServer_.clear();
    return created;
}

void CDownloader::OnRequestProgress(CRequestHttx& request) {
    std::uint32_t kind = request.GetRequestId();
    if (kind == kDownloadKB || kind == kDownloadUpdate)
        plat::PostMessage(progressWindow_, kMsgDownloadProgress, 0, request.GetPassSize());
}

void CDownloader::OnRequestCompleted(std::unique_ptr<CRequestHttx> request) {
    // Without a window to take it the request ends here.
    base::PostOwned<DownloadCompletedMessage>(progressWindow_, 0, std::move(request));
}

void CDownloader::OnError(std::unique_ptr<NetErrorInfo> error) {
    // Reported on the window thread like every other outcome, and matched
    // there to what it concerns: a request (its id is its kind) fails only
    // when it is the one in flight; a context that could not be made is no
    // longer connected. A context that was not there to be destroyed or
    // changed needs nothing.
    if (!error)
        return;
    if (error->requestId != NetErrorInfo::kNoRequest) {
        plat::PostMessage(progressWindow_, kMsgDownloadCompleted,
                          error->kind == NetErrorInfo::kNoContext ? kRefusedRequestNoContext
                                                                  : kRefusedRequest,
                          error->requestId);
    } else if (error->kind != NetErrorInfo::kNoContext) {
        plat::PostMessage(progressWindow_, kMsgDownloadCompleted, kContextFailed, error->contextId);
    }
}

} // namespace NetEx
