#include "net/NetClient.h"

#include "net/ContextHttx.h"
#include "net/NetTransport.h"
#include "net/RequestHttx.h"

namespace NetEx {

CNetClient::~CNetClient() {
    if (transport_)
        Detach(-1);
}

void CNetClient::OnStatistics(std::unique_ptr<NetStatistics>) {}
void CNetClient::OnContextCreated(std::uint32_t) {}
void CNetClient::OnContextModified(std::uint32_t) {}
void CNetClient::OnContextDestroyed(std::uint32_t) {}
void CNetClient::OnRequestProgress(CRequestHttx&) {}
void CNetClient::OnRequestCompleted(std::unique_ptr<CRequestHttx>) {}
void CNetClient::OnError(std::unique_ptr<NetErrorInfo>) {}
void CNetClient::OnReserved(std::unique_ptr<NetReservedInfo>) {}

bool CNetClient::CreateContext(std::unique_ptr<CContextHttx>& out) {
    if (!transport_ || !transport_->IsInternetOpen())
        return false;
    out = std::make_unique<CContextHttx>();
    return true;
}

bool CNetClient::CreateRequest(std::unique_ptr<CRequestHttx>& out, const CRequestHttx* from) {
    out = from ? std::make_unique<CRequestHttx>(*from) : std::make_unique<CRequestHttx>();
    return true;
}

bool CNetClient::Post(std::uint32_t message, plat::LPARAM lParam) {
    return transport_ &&
           plat::PostMessage(transport_->Window(), message, base::BorrowedParam(this), lParam);
}

template <typename Message>
bool CNetClient::PostOwned(std::unique_ptr<typename Message::Type> object) {
    return object && transport_ &&
           base::PostOwned<Message>(transport_->Window(), base::BorrowedParam(this),
                                    std::move(object));
}

bool CNetClient::PostCreateContext(std::unique_ptr<CContextHttx> context) {
    return PostOwned<CreateContextMessage>(std::move(context));
}

bool CNetClient::PostModifyContext(std::unique_ptr<CContextHttx> changes) {
    return PostOwned<ModifyContextMessage>(std::move(changes));
}

bool CNetClient::PostDestroyContext(std::uint32_t contextId) {
    return Post(kMsgDestroyContext, contextId);
}

bool CNetClient::SendRequest(std::unique_ptr<CRequestHttx> request) {
    if (!request || !transport_ || !transport_->IsInternetOpen())
        return false;
    return PostOwned<SendRequestMessage>(std::move(request));
}

bool CNetClient::CancelRequest(std::uint32_t contextId, std::uint32_t requestId) {
    return PostOwned<CancelRequestMessage>(
        std::make_unique<CancelBlock>(CancelBlock{contextId, requestId}));
}

bool CNetClient::QueryStatistics() {
    return Post(kMsgQueryStatistics, 0);
}

bool CNetClient::Detach(int timeoutMs) {
    detached_.Reset();
    detachPosted_ = Post(kMsgDetachClient, 0);
    if (!detachPosted_)
        return false;
    if (!detached_.Wait(timeoutMs))
        return false;
    return transport_->Result();
}

void CNetClient::AwaitDetach() {
    // The message comes before anything posted after it, the quit message
    // included, so it is handled unless the thread never runs again.
    if (detachPosted_)
        detached_.Wait(-1);
}

} // namespace NetEx
