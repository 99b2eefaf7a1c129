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

bool CNetClient::CreateRequest(std::unique_ptr<CRequestHttx>& out, const IRequestHttx* from) {
    if (!from) {
        out = std::make_unique<CRequestHttx>();
        return true;
    }
    auto source = dynamic_cast<const CRequestHttx*>(from);
    if (!source)
        return false;
    out = std::make_unique<CRequestHttx>(*source);
    return true;
}

bool CNetClient::Post(std::uint32_t message, std::int64_t lParam) {
    return transport_ && plat::PostMessage(transport_->Window(), message,
                                           reinterpret_cast<plat::WPARAM>(this), lParam);
}

namespace {

template <typename T> std::int64_t AsParam(T* object) {
    return reinterpret_cast<std::int64_t>(object);
}

} // namespace

bool CNetClient::PostCreateContext(std::unique_ptr<CContextHttx> context) {
    if (!context || !Post(kMsgCreateContext, AsParam(context.get())))
        return false;
    context.release();
    return true;
}

bool CNetClient::PostModifyContext(std::unique_ptr<CContextHttx> changes) {
    if (!changes || !Post(kMsgModifyContext, AsParam(changes.get())))
        return false;
    changes.release();
    return true;
}

bool CNetClient::PostDestroyContext(std::uint32_t contextId) {
    return Post(kMsgDestroyContext, contextId);
}

bool CNetClient::SendRequest(std::unique_ptr<CRequestHttx> request) {
    if (!request || !transport_ || !transport_->IsInternetOpen())
        return false;
    if (!Post(kMsgSendRequest, AsParam(request.get())))
        return false;
    request.release();
    return true;
}

bool CNetClient::CancelRequest(std::uint32_t contextId, std::uint32_t requestId) {
    auto block = std::make_unique<CancelBlock>(CancelBlock{contextId, requestId});
    if (!Post(kMsgCancelRequest, AsParam(block.get())))
        return false;
    block.release();
    return true;
}

bool CNetClient::QueryStatistics() {
    return Post(kMsgQueryStatistics, 0);
}

bool CNetClient::Detach(int timeoutMs) {
    detached_.Reset();
    if (!Post(kMsgDetachClient, 0))
        return false;
    if (!detached_.Wait(timeoutMs))
        return false;
    return transport_->Result();
}

} // namespace NetEx
