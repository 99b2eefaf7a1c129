// CLogic: starting and stopping the network side, and the downloader's
// results: the update's go to the update cycle, the licence and the platform
// update package stay here.

#include "logic/Logic.h"

#include "base/Strings.h"
#include "logic/LauncherMessages.h"
#include "logic/LicenseText.h"
#include "logic/NetErrors.h"
#include "net/ContextHttx.h"
#include "platform/Process.h"

namespace {

constexpr int kTransportTimeoutMs = 5000;

} // namespace

bool CLogic::StartNetwork() {
    transport_ = std::make_unique<NetEx::CNetTransport>();
    transport_->SetLauncherLog(log_);
    if (!transport_->Start(kTransportTimeoutMs)) {
        NetEx::ShutDownTransport(std::move(transport_), 0);
        return false;
    }
    NetEx::InternetParams params;
    params.userAgent = "Mozilla/5.0 (Trident/7.0; rv:11.0)";
    params.certificateWaivers = settings_.acceptInvalidCertificates;
    params.slowFloorBytesPerSecond = settings_.slowFloorBytesPerSecond;
    params.slowWindowMs = settings_.slowWindowSeconds * 1000;
    if (settings_.acceptInvalidCertificates) {
        // Anyone on the way could then serve the packages: say so at every
        // start, where a publisher cannot miss it.
        BlankLine();
        Log(L"!!! WARNING: server certificates are NOT verified: config.xml sets "
            L"network/acceptInvalidCertificates. Use this for a test server only. !!!");
        BlankLine();
    }
    if (settings_.signedReleases)
        Log(settings_.releaseKeyValid
                ? L"Releases must be signed with the key of config.xml (network/releaseKey)"
                : L"!!! config.xml names a release key that is not 64 hexadecimal digits: no "
                  L"manifest will be accepted !!!");
    if (transport_->OpenInternet(params))
        Log(L"Net transport successfully initialized");
    if (configuration_.logHttp) {
        auto settings = std::make_unique<NetEx::HttpLogSettings>();
        settings->enabled = true;
        settings->flushEachRecord = false;
        // Debug mode also records every request's state changes.
        settings->debugRecords = settings_.debugMode;
        settings->folder = base::WideToUtf8(plat::GetExecutableFolder());
        settings->openSize = 4096;
        settings->bufferSize = 4096;
        transport_->SetLogSettings(std::move(settings));
    }
    downloader_.SetClientName("CLogic thread");
    downloader_.SetTransport(transport_.get());
    downloader_.SetNotify(this);
    downloader_.SetLog(log_);
    downloader_.SetProgressWindow(dialog_.Window());
    downloader_.SetLanguage(configuration_.languages.CurrentCode());
    downloader_.SetDocumentLimit(settings_.documentLimit);
    Log(L"Downloader successfully initialized");
    downloader_.SetServer(urlSelector_.SelectedUrl());
    networkStarted_ = true;
    return true;
}

void CLogic::StopNetwork() {
    if (!networkStarted_)
        return;
    Log(L"Downloader uninit .. ", false);
    Log(downloader_.Detach(kTransportTimeoutMs) ? L"OK" : L"timed out");
    Log(L"Net transport shutdown .. ", false);
    transport_->PostQuit();
    const bool stopped = NetEx::ShutDownTransport(std::move(transport_), kTransportTimeoutMs);
    Log(stopped ? L"OK" : L"timed out");
    // A transport that overstays is kept alive with everything it holds; the
    // downloader may go only once the transport will never call it again.
    if (!stopped)
        downloader_.AwaitDetach();
    downloader_.SetTransport(nullptr);
    networkStarted_ = false;
    // A request may have completed after the message loop ended; with the
    // transport gone nothing else can arrive.
    DropQueuedMessages();
}

void CLogic::fireCUDFileReceived(const CBuffer& body) {
    cycle_.fireCUDFileReceived(body);
}

void CLogic::fireUpdateXmlReceived(const CBuffer& body) {
    cycle_.fireUpdateXmlReceived(body);
}

void CLogic::fireFilePartReceived(const NetEx::FilePartResult& part) {
    cycle_.fireFilePartReceived(part);
}

void CLogic::fireFileReceived() {
    cycle_.fireFileReceived();
}

void CLogic::fireFilePartProgress(std::uint32_t bytes, bool inFlight) {
    cycle_.fireFilePartProgress(bytes, inFlight);
}

void CLogic::fireNetError(std::uint32_t kind, std::uint32_t errorCode, std::uint32_t status,
                          const std::string& body) {
    cycle_.fireNetError(kind, errorCode, status, body);
}

void CLogic::fireLicenseReceived(const CBuffer& body) {
    Log(L"License received");
    dialog_.KillTimer(eRetryTimer_License);
    std::wstring text;
    if (!logic::ReadLicenseText(body.View(), &text)) {
        // An unreadable licence counts as a failed download: it is asked for
        // again.
        fireNetError(logic::eNetRequest_License, 0, 0, std::string());
        return;
    }
    licenseText_ = text;
    Log(L"License Ready");
    cycle_.RequestManifest();
}

void CLogic::fireKBFilePartReceived(std::int32_t received, std::int32_t total) {
    Log(base::FormatW(L"KB file part received: %d of %d", received, total));
    View().ShowKbProgress(received, total);
}

void CLogic::fireKBFileReceived(const CBuffer& body) {
    SaveRuntimePackage(body);
}

void CLogic::fireAffiliateUpdated() {}
