#include "net/ContextHttx.h"
#include "net/NetClient.h"
#include "net/NetTransport.h"
#include "platform/Error.h"
#include "platform/Process.h"

namespace NetEx {

namespace {

template <plat::LRESULT (CHttxTransport::*Method)(plat::WPARAM, plat::LPARAM)>
plat::LRESULT Call(void* self, plat::WPARAM wParam, plat::LPARAM lParam) {
    return (static_cast<CHttxTransport*>(self)->*Method)(wParam, lParam);
}

void RaiseError(CNetClient* client, std::uint32_t kind, std::uint32_t code, std::uint32_t contextId,
                std::uint32_t requestId = NetErrorInfo::kNoRequest) {
    if (!client)
        return;
    auto error = std::make_unique<NetErrorInfo>();
    error->kind = kind;
    error->code = code;
    error->contextId = contextId;
    error->requestId = requestId;
    client->OnError(std::move(error));
}

} // namespace

CHttxTransport::~CHttxTransport() {
    // Normally stopped by the most derived transport already.
    if (HasThread())
        CNetTransportBase::Stop(-1);
    contexts_.clear();
}

CNetTransport::~CNetTransport() {
    if (HasThread())
        Stop(-1);
}

void CHttxTransport::RegisterHandlers() {
    CNetTransportBase::RegisterHandlers();
    CHttxTransport* self = this;
    SetHandler(kMsgDetachClient, &Call<&CHttxTransport::OnDetachClient>, self);
    SetHandler(kMsgCreateContext, &Call<&CHttxTransport::OnCreateContext>, self);
    SetHandler(kMsgModifyContext, &Call<&CHttxTransport::OnModifyContext>, self);
    SetHandler(kMsgDestroyContext, &Call<&CHttxTransport::OnDestroyContext>, self);
    SetHandler(kMsgSendRequest, &Call<&CHttxTransport::OnSendRequest>, self);
    SetHandler(kMsgCancelRequest, &Call<&CHttxTransport::OnCancelRequest>, self);
    SetHandler(kMsgStatusNotice, &Call<&CHttxTransport::OnStatusNotice>, self);
}

CHttxTransport::ContextList::iterator CHttxTransport::Find(CNetClient* client, std::uint32_t id) {
    for (auto it = contexts_.begin(); it != contexts_.end(); ++it) {
        if ((*it)->Client() == client && (*it)->GetId() == id)
            return it;
    }
    return contexts_.end();
}

void CHttxTransport::CloseContexts(CNetClient* client) {
    for (auto it = contexts_.begin(); it != contexts_.end();) {
        if (client && (*it)->Client() != client) {
            ++it;
            continue;
        }
        std::unique_ptr<CContextHttx> context = std::move(*it);
        it = contexts_.erase(it);
        context->Close();
    }
}

void CHttxTransport::ApplyLogClockToContexts() {
    for (auto& context : contexts_)
        context->ApplyLogClock(LogClock());
}

plat::LRESULT CHttxTransport::OnDetachClient(plat::WPARAM wParam, plat::LPARAM) {
    auto client = reinterpret_cast<CNetClient*>(wParam);
    CEventRiser riser(client ? &client->DetachEvent() : nullptr);
    SetResult(true);
    CloseContexts(client);
    return 0;
}

plat::LRESULT CHttxTransport::OnCreateContext(plat::WPARAM wParam, plat::LPARAM lParam) {
    auto client = reinterpret_cast<CNetClient*>(wParam);
    std::unique_ptr<CContextHttx> context(reinterpret_cast<CContextHttx*>(lParam));
    if (!context)
        return 0;
    const std::uint32_t id = context->GetId();
    if (!IsInternetOpen()) {
        RaiseError(client, NetErrorInfo::kNotOpen, 0, id);
        return 0;
    }
    if (Find(client, id) != contexts_.end()) {
        RaiseError(client, NetErrorInfo::kFailed, plat::kErrInternetHandleExists, id);
        return 0;
    }
    context->Attach(client, this);
    const HttpLogSettings* settings = LogSettings();
    if (settings && settings->enabled) {
        std::uint32_t code = context->OpenLog(*settings, plat::GetCurrentProcessId(), LogClock());
        if (code != 0) {
            RaiseError(client, NetErrorInfo::kFailed, code, id);
            return 0;
        }
    }
    context->WriteCreatingRecord();
    std::uint32_t code = 0;
    if (!context->Connect(Internet(), &code)) {
        RaiseError(client, NetErrorInfo::kFailed, code, id);
        return 0;
    }
    context->SetForwarders(SentForwarder(), ReceivedForwarder());
    contexts_.push_back(std::move(context));
    if (client)
        client->OnContextCreated(id);
    return 0;
}

plat::LRESULT CHttxTransport::OnModifyContext(plat::WPARAM wParam, plat::LPARAM lParam) {
    auto client = reinterpret_cast<CNetClient*>(wParam);
    std::unique_ptr<CContextHttx> changes(reinterpret_cast<CContextHttx*>(lParam));
    if (!changes)
        return 0;
    const std::uint32_t id = changes->GetId();
    if (!IsInternetOpen()) {
        RaiseError(client, NetErrorInfo::kNotOpen, 0, id);
        return 0;
    }
    auto it = Find(client, id);
    if (it == contexts_.end()) {
        RaiseError(client, NetErrorInfo::kNoContext, 0, id);
        return 0;
    }
    (*it)->Modify(*changes);
    if (client)
        client->OnContextModified(id);
    return 0;
}

plat::LRESULT CHttxTransport::OnDestroyContext(plat::WPARAM wParam, plat::LPARAM lParam) {
    auto client = reinterpret_cast<CNetClient*>(wParam);
    const auto id = static_cast<std::uint32_t>(lParam);
    if (!IsInternetOpen()) {
        RaiseError(client, NetErrorInfo::kNotOpen, 0, id);
        return 0;
    }
    auto it = Find(client, id);
    if (it == contexts_.end()) {
        RaiseError(client, NetErrorInfo::kNoContext, 0, id);
        return 0;
    }
    std::unique_ptr<CContextHttx> context = std::move(*it);
    contexts_.erase(it);
    context->Close();
    context.reset();
    if (client)
        client->OnContextDestroyed(id);
    return 0;
}

plat::LRESULT CHttxTransport::OnSendRequest(plat::WPARAM wParam, plat::LPARAM lParam) {
    auto client = reinterpret_cast<CNetClient*>(wParam);
    std::unique_ptr<CRequestHttx> request(reinterpret_cast<CRequestHttx*>(lParam));
    if (!request)
        return 0;
    auto it = Find(client, request->GetContextId());
    if (it == contexts_.end()) {
        RaiseError(client, NetErrorInfo::kNoContext, 0, request->GetContextId(),
                   request->GetRequestId());
        return 0;
    }
    (*it)->StartRequest(std::move(request));
    return 0;
}

plat::LRESULT CHttxTransport::OnCancelRequest(plat::WPARAM wParam, plat::LPARAM lParam) {
    auto client = reinterpret_cast<CNetClient*>(wParam);
    std::unique_ptr<CancelBlock> block(reinterpret_cast<CancelBlock*>(lParam));
    if (!block)
        return 0;
    auto it = Find(client, block->contextId);
    if (it == contexts_.end() || !(*it)->CancelRequest(block->requestId))
        RaiseError(client, NetErrorInfo::kNoContext, 0, block->contextId, block->requestId);
    return 0;
}

plat::LRESULT CHttxTransport::OnStatusNotice(plat::WPARAM, plat::LPARAM lParam) {
    std::unique_ptr<StatusNotice> notice(reinterpret_cast<StatusNotice*>(lParam));
    if (!notice)
        return 0;
    // The context value is a context's address; one that is gone is ignored.
    for (auto& context : contexts_) {
        if (reinterpret_cast<std::uintptr_t>(context.get()) == notice->context) {
            context->OnStatusNotice(*notice);
            break;
        }
    }
    return 0;
}

} // namespace NetEx
