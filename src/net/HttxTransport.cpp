#include "base/Strings.h"
#include "log/HttpLogName.h"
#include "log/LogImplW.h"
#include "net/ContextHttx.h"
#include "net/NetClient.h"
#include "net/NetTransport.h"
#include "platform/Error.h"
#include "platform/Process.h"

#include <mutex>
#include <vector>

namespace NetEx {

namespace {

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

bool ShutDownTransport(std::unique_ptr<CNetTransport> transport, int timeoutMs) {
    if (!transport)
        return true;
    // A start that timed out leaves a thread behind that may come up late;
    // it is kept like one that overstays its stop.
    if (transport->Stop(timeoutMs) && transport->ThreadEnded())
        return true;
    static std::mutex keptMutex;
    // Never destroyed: the threads that use these run until the process ends.
    static auto* kept = new std::vector<std::unique_ptr<CNetTransport>>();
    std::lock_guard<std::mutex> lock(keptMutex);
    kept->push_back(std::move(transport));
    return false;
}

void CHttxTransport::RegisterHandlers() {
    CNetTransportBase::RegisterHandlers();
    SetMemberHandler<&CHttxTransport::OnDetachClient>(kMsgDetachClient, this);
    SetRecordHandler<CreateContextMessage, &CHttxTransport::OnCreateContext>(this);
    SetRecordHandler<ModifyContextMessage, &CHttxTransport::OnModifyContext>(this);
    SetMemberHandler<&CHttxTransport::OnDestroyContext>(kMsgDestroyContext, this);
    SetRecordHandler<SendRequestMessage, &CHttxTransport::OnSendRequest>(this);
    SetRecordHandler<CancelRequestMessage, &CHttxTransport::OnCancelRequest>(this);
    SetRecordHandler<StatusNoticeMessage, &CHttxTransport::OnStatusNotice>(this);
}

CHttxTransport::ContextList::iterator CHttxTransport::Find(CNetClient* client, std::uint32_t id) {
    for (auto it = contexts_.begin(); it != contexts_.end(); ++it) {
        if ((*it)->Client() == client && (*it)->GetId() == id)
            return it;
    }
    return contexts_.end();
}

CHttxTransport::ContextList::iterator CHttxTransport::ContextFor(CNetClient* client,
                                                                 std::uint32_t contextId,
                                                                 std::uint32_t requestId,
                                                                 bool needOpen) {
    if (needOpen && !IsInternetOpen()) {
        RaiseError(client, NetErrorInfo::kNotOpen, 0, contextId, requestId);
        return contexts_.end();
    }
    auto it = Find(client, contextId);
    if (it == contexts_.end())
        RaiseError(client, NetErrorInfo::kNoContext, 0, contextId, requestId);
    return it;
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
    auto client = base::Borrowed<CNetClient>(wParam);
    CEventRiser riser(client ? &client->DetachEvent() : nullptr);
    SetResult(true);
    CloseContexts(client);
    return 0;
}

void CHttxTransport::OnCreateContext(CNetClient* client, std::unique_ptr<CContextHttx> context) {
    const std::uint32_t id = context->GetId();
    if (!IsInternetOpen()) {
        RaiseError(client, NetErrorInfo::kNotOpen, 0, id);
        return;
    }
    if (Find(client, id) != contexts_.end()) {
        RaiseError(client, NetErrorInfo::kFailed, plat::kErrInternetHandleExists, id);
        return;
    }
    context->Attach(client, this);
    const HttpLogSettings* settings = LogSettings();
    if (settings && settings->enabled) {
        // A log that cannot be written (a folder without write access) is
        // no reason to stay offline: the context goes on without it.
        std::uint32_t code = context->OpenLog(*settings, plat::GetCurrentProcessId(), LogClock());
        if (code != 0 && LauncherLog())
            LauncherLog()->Write(
                base::FormatW(L"HTTP log %ls can not be opened (error %u), going on without it",
                              base::Utf8ToWide(settings->folder +
                                               httplog::MakeLogFileName(plat::GetCurrentProcessId(),
                                                                        context->LogName()))
                                  .c_str(),
                              code),
                true);
    }
    context->WriteCreatingRecord();
    std::uint32_t code = 0;
    if (!context->Connect(Internet(), &code)) {
        RaiseError(client, NetErrorInfo::kFailed, code, id);
        return;
    }
    context->SetForwarders(SentForwarder(), ReceivedForwarder());
    contexts_.push_back(std::move(context));
    if (client)
        client->OnContextCreated(id);
}

void CHttxTransport::OnModifyContext(CNetClient* client, std::unique_ptr<CContextHttx> changes) {
    const std::uint32_t id = changes->GetId();
    auto it = ContextFor(client, id, NetErrorInfo::kNoRequest, true);
    if (it == contexts_.end())
        return;
    (*it)->Modify(*changes);
    if (client)
        client->OnContextModified(id);
}

plat::LRESULT CHttxTransport::OnDestroyContext(plat::WPARAM wParam, plat::LPARAM lParam) {
    auto client = base::Borrowed<CNetClient>(wParam);
    const auto id = static_cast<std::uint32_t>(lParam);
    auto it = ContextFor(client, id, NetErrorInfo::kNoRequest, true);
    if (it == contexts_.end())
        return 0;
    std::unique_ptr<CContextHttx> context = std::move(*it);
    contexts_.erase(it);
    context->Close();
    context.reset();
    if (client)
        client->OnContextDestroyed(id);
    return 0;
}

void CHttxTransport::OnSendRequest(CNetClient* client, std::unique_ptr<CRequestHttx> request) {
    auto it = ContextFor(client, request->GetContextId(), request->GetRequestId(), false);
    if (it != contexts_.end())
        (*it)->StartRequest(std::move(request));
}

void CHttxTransport::OnCancelRequest(CNetClient* client, std::unique_ptr<CancelBlock> block) {
    auto it = ContextFor(client, block->contextId, block->requestId, false);
    if (it != contexts_.end() && !(*it)->CancelRequest(block->requestId))
        RaiseError(client, NetErrorInfo::kNoContext, 0, block->contextId, block->requestId);
}

void CHttxTransport::OnStatusNotice(CNetClient*, std::unique_ptr<StatusNotice> notice) {
    // The context value is a context's address; one that is gone is ignored.
    for (auto& context : contexts_) {
        if (reinterpret_cast<std::uintptr_t>(context.get()) == notice->context) {
            context->OnStatusNotice(*notice);
            break;
        }
    }
}

} // namespace NetEx
