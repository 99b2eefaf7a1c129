#include "net/ContextHttx.h"

#include "net/HttpLogRecord.h"
#include "net/NetClient.h"
#include "platform/Error.h"

#include <cstring>

namespace NetEx {

CContextHttx::~CContextHttx() {
    Close();
}

bool CContextHttx::Setup(std::uint32_t id, std::string_view name, std::string_view url,
                         std::uint32_t timeout, std::uint32_t bgs) {
    id_ = id;
    name_ = name;
    timeout_ = timeout;
    bgs_ = bgs;
    return SetUrl(url);
}

bool CContextHttx::SetUrl(std::string_view url) {
    return url_.SetUrl(url);
}

void CContextHttx::SetArgs(std::string_view query) {
    url_.SetQuery(query);
    argsChanged_ = true;
}

std::uint32_t CContextHttx::DecrementCounter() {
    if (counter_ > 0)
        --counter_;
    return counter_;
}

void CContextHttx::Close() {
    if (Connection() == 0)
        return;
    // Closing a handle ends its exchange; no notice follows.
    requests_.clear();
    CContextBase::Close();
}

void CContextHttx::WriteCreatingRecord() {
    CHttpLogRecord record(Log(), "Creating context");
    record.Line("Url:  ", url_.GetFullUrl());
    record.Number("Id:   ", id_);
    record.Line("Args: ", url_.GetQueryText());
    record.Number("T/o:  ", timeout_);
    record.Number("BGS:  ", bgs_);
}

void CContextHttx::Modify(CContextHttx& changes) {
    url_.SetArgs(changes.url_.Arguments());
    if (changes.timeout_ != 0)
        timeout_ = changes.timeout_;
    if (changes.bgs_ != 0)
        bgs_ = changes.bgs_;
    CHttpLogRecord record(Log(), "Modifying context");
    record.Line("Args: ", url_.GetQueryText());
    record.Number("T/o:  ", timeout_);
    record.Number("BGS:  ", bgs_);
}

void CContextHttx::WriteSendingRecord(CRequestHttx& request) {
    CHttpLogRecord record(Log(), "Sending request >>>");
    record.Line("Path: ", request.GetUrl().GetObjectText());
    record.Line("Type: ", VerbOf(request.GetMethod()));
    record.Number("Id:   ", request.GetRequestId());
    // No cookie store exists here, so the "IE Cookie:" part never has any.
    if ((request.GetOpenFlags() & plat::INTERNET_FLAG_NO_COOKIES) != 0 &&
        !request.GetExtraHeader().empty())
        record.Line({}, request.GetExtraHeader());
    if (!request.GetHeaders().Empty()) {
        record.Line("Header:", {});
        record.Block(request.GetHeaders().Data(), request.GetHeaders().Size());
    }
    if (!request.GetBody().Empty()) {
        record.Number("Size: ", static_cast<std::int64_t>(request.GetBody().Size()));
        record.Line("Data:", {});
        std::string body = request.BodyForLog();
        record.Block(body.data(), body.size());
    }
}

bool CContextHttx::SendLogged(CRequestHttx& request) {
    if (request.Send())
        return true;
    WriteErrorText(Log(), request.GetErrorCode());
    return false;
}

void CContextHttx::StartRequest(std::unique_ptr<CRequestHttx> request) {
    request->Attach(this);
    WriteSendingRecord(*request);
    bool started = request->Open();
    if (!started)
        WriteErrorText(Log(), request->GetErrorCode());
    else
        started = SendLogged(*request);
    if (!started) {
        Complete(std::move(request));
        return;
    }
    requests_.push_back(std::move(request));
}

CContextHttx::RequestList::iterator CContextHttx::FindByHandle(plat::HINTERNET handle) {
    for (auto it = requests_.begin(); it != requests_.end(); ++it) {
        if ((*it)->GetHandle() == handle && handle != 0)
            return it;
    }
    return requests_.end();
}

void CContextHttx::OnStatusNotice(const StatusNotice& notice) {
    auto it = FindByHandle(notice.handle);
    if (it == requests_.end())
        return;
    CRequestHttx& request = **it;
    switch (notice.status) {
    case plat::INTERNET_STATUS_CONNECTION_CLOSED:
        request.SetConnectionClosed();
        break;
    case plat::INTERNET_STATUS_REDIRECT: {
        std::string_view url = notice.info.View();
        while (!url.empty() && url.back() == '\0')
            url.remove_suffix(1);
        CHttpLogRecord record(Log(), "Request redirected");
        record.Line("Url:  ", url);
        record.Number("Id:   ", request.GetRequestId());
        break;
    }
    case plat::INTERNET_STATUS_REQUEST_COMPLETE: {
        plat::InternetAsyncResult result;
        if (notice.info.Size() != sizeof result)
            break;
        std::memcpy(&result, notice.info.Data(), sizeof result);
        OnRequestComplete(it, result);
        break;
    }
    default:
        break;
    }
}

void CContextHttx::OnRequestComplete(RequestList::iterator it,
                                     const plat::InternetAsyncResult& result) {
    CRequestHttx& request = **it;
    if (request.GetState() == kReceiving) {
        ReadAndReport(it);
        return;
    }
    if (request.GetState() != kSent)
        return;
    {
        CHttpLogRecord record(Log(), "Request completed");
        record.Line("Path: ", request.GetUrl().GetObjectText());
        record.Number("Id:   ", request.GetRequestId());
    }
    CountSent(request.SentSize());
    if (result.error == 0) {
        ReadAndReport(it);
        return;
    }
    WriteErrorText(Log(), result.error);
    if (result.error == plat::kErrInternetInvalidCa && request.TakeResend()) {
        WriteSendingRecord(request);
        if (SendLogged(request))
            return;
        Complete(std::move(*it));
        requests_.erase(it);
        return;
    }
    if (result.error == plat::kErrInternetOperationCancelled) {
        requests_.erase(it);
        return;
    }
    request.SetFailure(result.error);
    std::unique_ptr<CRequestHttx> done = std::move(*it);
    requests_.erase(it);
    Complete(std::move(done));
}

void CContextHttx::ReadAndReport(RequestList::iterator it) {
    CRequestHttx& request = **it;
    request.Read();
    if (request.GetState() == kReceiving && request.GetErrorCode() == plat::kErrIoPending) {
        if (request.GetReadBlock() != 0) {
            {
                CHttpLogRecord record(Log(), "Request progress");
                record.Line("Path: ", request.GetUrl().GetObjectText());
                record.Number("Id:   ", request.GetRequestId());
                record.Number("Size: ", request.GetPassSize());
            }
            if (Client())
                Client()->OnRequestProgress(request);
        }
        return;
    }
    if (request.IsRedirect()) {
        CHttpLogRecord record(Log(), "Request redirected");
        record.Line("Url:  ", request.GetLocation().View());
        record.Number("Id:   ", request.GetRequestId());
    }
    {
        CHttpLogRecord record(Log(), "Request data received <<<");
        record.Line("Path: ", request.GetUrl().GetObjectText());
        record.Number("Id:   ", request.GetRequestId());
        record.Number("Httx: ", request.GetStatusCode());
        const CBuffer& headers = request.GetResponseHeaders();
        if (!headers.Empty()) {
            record.Line("Header:", {});
            std::string_view text = headers.View();
            while (!text.empty() && text.back() == '\0')
                text.remove_suffix(1);
            record.Block(text.data(), text.size());
        }
        // A body that went to a sink shows its size only.
        if (request.GetReceivedSize() != 0)
            record.Number("Size: ", static_cast<std::int64_t>(request.GetReceivedSize()));
        if (request.GetBodySize() != 0) {
            record.Line("Data:", {});
            record.Block(request.GetResponseBody().Data(), request.GetBodySize());
        }
    }
    WriteErrorText(Log(), request.GetErrorCode());
    CountReceived(request.GetReceivedSize());
    std::unique_ptr<CRequestHttx> done = std::move(*it);
    requests_.erase(it);
    done->CloseHandle();
    Complete(std::move(done));
}

void CContextHttx::Complete(std::unique_ptr<CRequestHttx> request) {
    // The transport is done with the body: the sink is the client's again.
    request->EndBody();
    if (Client())
        Client()->OnRequestCompleted(std::move(request));
}

bool CContextHttx::CancelRequest(std::uint32_t requestId) {
    for (auto it = requests_.begin(); it != requests_.end(); ++it) {
        if ((*it)->GetRequestId() != requestId)
            continue;
        {
            CHttpLogRecord record(Log(), "Canceling request");
            record.Line("Path: ", (*it)->GetUrl().GetObjectText());
            record.Number("Id:   ", requestId);
        }
        requests_.erase(it);
        return true;
    }
    return false;
}

} // namespace NetEx
