// The downloader's completion side: dispatching a finished request to its
// callback, following redirects, reporting failures and the KB size probe.

#include "net/Downloader.h"

#include "base/Strings.h"
#include "net/PicoHttpParser.h"
#include "net/RequestHttx.h"

#include <charconv>
#include <limits>
#include <utility>

namespace NetEx {

namespace {

bool IsFailure(const CRequestHttx& request) {
    std::uint32_t status = request.GetStatusCode();
    return request.GetErrorKind() != 0 || request.GetErrorCode() != 0 ||
           (status != 0 && (status < 200 || status > 399));
}

// The received bytes alone: a request that broke off may hold more room.
CBuffer ReceivedBody(const CRequestHttx& request) {
    const CBuffer& body = request.GetResponseBody();
    return CBuffer(body.Data(), std::min(body.Size(), request.GetBodySize()));
}

FilePartResult PartOf(const CRequestHttx& request, bool failed) {
    FilePartResult part;
    part.bytes = request.GetSunkSize();
    part.failed = failed;
    part.unexpected = request.IsUnexpectedAnswer();
    part.restarted = request.IsRestartedFile();
    return part;
}

// The KB total from a probe's answer head; -1 when it names no size.
std::int32_t ContentLengthOf(const CBuffer& head) {
    CPicoHttpParser parser;
    parser.Parse(reinterpret_cast<const char*>(head.Data()), head.Size());
    std::optional<std::string_view> text = parser.ContentLength();
    if (!text)
        return CDownloader::kKBSizeUnknown;
    // Digits only: a sign, a blank or a size beyond 31 bits names no size.
    std::uint32_t total = 0;
    auto [end, problem] = std::from_chars(text->data(), text->data() + text->size(), total);
    if (problem != std::errc() || end != text->data() + text->size() || total == 0 ||
        total > static_cast<std::uint32_t>(std::numeric_limits<std::int32_t>::max()))
        return CDownloader::kKBSizeUnknown;
    return static_cast<std::int32_t>(total);
}

} // namespace

void CDownloader::OnCompletedMessage(plat::WPARAM wParam, plat::LPARAM lParam) {
    if (wParam == kContextFailed) {
        // The server's context never came up: the next request makes it
        // again instead of going to a context that does not exist.
        if (static_cast<std::uint32_t>(lParam) == kContextId)
            connectedServer_.clear();
        return;
    }
    if (wParam == kRefusedRequest || wParam == kRefusedRequestNoContext) {
        if (wParam == kRefusedRequestNoContext)
            connectedServer_.clear();
        // Only the request in flight can fail; a stale report is dropped.
        auto kind = static_cast<std::uint32_t>(lParam);
        if (kind == currentKind_ && kind != kDownloadNone)
            ReportError(NotifyKind(kind), 0, 404, {});
        return;
    }
    OnRequestDone(base::TakeOwned<DownloadCompletedMessage>(lParam));
}

void CDownloader::OnRequestDone(std::unique_ptr<CRequestHttx> request) {
    if (!request)
        return;
    std::uint32_t kind = request->GetRequestId();
    if (NotifyKind(kind) == 0)
        return;
    if (IsFailure(*request)) {
        ReportFailure(std::move(request));
        return;
    }
    if (request->IsUnexpectedAnswer() && kind == kDownloadUpdate) {
        // Not the asked range: what belonged to it is kept, and the caller
        // decides how to go on.
        currentKind_ = kDownloadNone;
        if (notify_)
            notify_->fireFilePartReceived(PartOf(*request, false));
        return;
    }
    if (request->IsRedirect()) {
        FollowRedirect(std::move(request));
        return;
    }
    if (kind == kDownloadKB && kbTotal_ == kKBNotProbed) {
        OnKBProbeAnswer(*request);
        return;
    }
    // The kind is cleared first: the callback may start the next download.
    currentKind_ = kDownloadNone;
    if (!notify_)
        return;
    const CBuffer& body = request->GetResponseBody();
    switch (kind) {
    case kDownloadCUDFile:
        notify_->fireCUDFileReceived(body);
        break;
    case kDownloadKB:
        notify_->fireKBFileReceived(body);
        break;
    case kDownloadLicense:
        notify_->fireLicenseReceived(body);
        break;
    case kDownloadUpdateXml:
        notify_->fireUpdateXmlReceived(body);
        break;
    case kDownloadUpdate:
        notify_->fireFilePartReceived(PartOf(*request, false));
        break;
    default:
        notify_->fireAffiliateUpdated();
        break;
    }
}

void CDownloader::OnKBProbeAnswer(CRequestHttx& request) {
    kbTotal_ = ContentLengthOf(request.GetResponseHeaders());
    if (kbTotal_ == kKBSizeUnknown)
        Log("failed to determine file size");
    else
        Log(base::Format("%d bytes", kbTotal_));
    kbReceived_ = 0;
    if (notify_)
        notify_->fireKBFilePartReceived(0, kbTotal_);
    std::string url = request.GetUrl().GetFullUrl();
    if (!DownloadKB(url))
        ReportError(kDownloadKB, 0, 0, {});
}

void CDownloader::FollowRedirect(std::unique_ptr<CRequestHttx> request) {
    std::string location(request->GetLocation().View());
    while (!location.empty() && location.back() == '\0')
        location.pop_back();
    if (location.empty() || request->GetRedirectCount() >= kMaxRedirects) {
        ReportFailure(std::move(request));
        return;
    }
    CUrlComponents target;
    std::unique_ptr<CRequestHttx> copy;
    // A location without a server stays on the one that answered.
    bool followed = target.Crack(location);
    if (followed) {
        std::string server = target.GetServerText();
        followed = ConnectServer(server.empty() ? connectedServer_ : server) &&
                   CreateRequest(copy, request.get()) && copy->SetUrl(target.GetObjectText()) &&
                   SendRequest(std::move(copy));
    }
    if (!followed)
        ReportFailure(std::move(request));
}

void CDownloader::ReportFailure(std::unique_ptr<CRequestHttx> request) {
    std::uint32_t kind = request->GetRequestId();
    std::uint32_t status = request->GetStatusCode();
    if (kind == kDownloadKB && kbTotal_ == kKBNotProbed) {
        // A failed probe is no error: the file comes without a known size.
        kbTotal_ = kKBSizeUnknown;
        std::string url = request->GetUrl().GetFullUrl();
        if (DownloadKB(url))
            return;
    }
    currentKind_ = kDownloadNone;
    if (kind == kDownloadUpdate && (status == 0 || (status >= 200 && status <= 299)) && notify_) {
        // The caller keeps what arrived and resumes after it.
        notify_->fireFilePartReceived(PartOf(*request, true));
    }
    std::string body;
    if (status == 502 || status == 503)
        body = std::string(ReceivedBody(*request).View());
    ReportError(NotifyKind(kind), request->GetErrorCode(), status, body);
}

void CDownloader::ReportError(std::uint32_t kind, std::uint32_t errorCode, std::uint32_t status,
                              const std::string& body) {
    currentKind_ = kDownloadNone;
    if (notify_)
        notify_->fireNetError(kind, errorCode, status, body);
}

void CDownloader::OnProgressMessage(plat::LPARAM bytes) {
    if (!notify_)
        return;
    std::uint32_t count = static_cast<std::uint32_t>(bytes);
    if (currentKind_ == kDownloadUpdate) {
        notify_->fireFilePartProgress(count, true);
    } else if (currentKind_ == kDownloadKB) {
        kbReceived_ += static_cast<std::int32_t>(count);
        notify_->fireKBFilePartReceived(kbReceived_, kbTotal_);
    }
}

} // namespace NetEx
