// CLogic: starting and stopping the network side, the downloader's results,
// the retry timers and the server rotation.

#include "logic/Logic.h"

#include "base/Strings.h"
#include "log/LogImplW.h"
#include "logic/LauncherMessages.h"
#include "logic/MaintenanceAnswer.h"
#include "logic/NetErrors.h"
#include "net/ContextHttx.h"
#include "platform/Process.h"

namespace {

// The wizard stages a failed request resumes at.
enum : int {
    kStageLicense = 5,
    kStageManifest = 6,
    kStageFileDownload = 7,
    kStageAssistantCommand = 9,
};

constexpr int kTransportTimeoutMs = 5000;

} // namespace

bool CLogic::StartNetwork() {
    transport_ = std::make_unique<NetEx::CNetTransport>();
    if (!transport_->Start(kTransportTimeoutMs)) {
        transport_.reset();
        return false;
    }
    NetEx::InternetParams params;
    params.userAgent = "Mozilla/5.0 (Trident/7.0; rv:11.0)";
    if (transport_->OpenInternet(params))
        Log(L"Net transport successfully initialized");
    if (configuration_.logHttp) {
        auto settings = std::make_unique<NetEx::HttpLogSettings>();
        settings->enabled = true;
        settings->flushEachRecord = false;
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
    Log(transport_->Stop(kTransportTimeoutMs) ? L"OK" : L"timed out");
    downloader_.SetTransport(nullptr);
    transport_.reset();
    networkStarted_ = false;
    // A request may have completed after the message loop ended; with the
    // transport gone nothing else can arrive.
    DropQueuedMessages();
}

bool CLogic::RequestManifest() {
    return downloader_.DownloadUpdateXml(updateUrl_ + manifestRName_);
}

bool CLogic::RetryStage(int stage) {
    if (attempts_ > kMaxAttempts) {
        Log(L"attempts run out");
        return false;
    }
    if (stage == kStageLicense) {
        Log(base::FormatW(L"continue downloading license attempt #%d", attempts_));
        return downloader_.DownloadLicense(licensePath_);
    }
    if (stage == kStageManifest) {
        Log(base::FormatW(L"continue downloading xml attempt #%d", attempts_));
        if (attempts_ > 0)
            View().SetFormattedText(12411, {TextValue{TextValue::StringId, 37, 0, {}},
                                            TextValue{TextValue::Integer, attempts_, 0, {}}});
        return RequestManifest();
    }
    return ContinueDownload();
}

void CLogic::ResumeStep() {
    switch (resumeStep_) {
    case kStageLicense:
    case kStageManifest:
    case kStageFileDownload:
        attempts_ = 1;
        RetryStage(resumeStep_);
        return;
    case kStageAssistantCommand:
        NotBuilt(L"repeating the assistant command");
        return;
    default:
        return;
    }
}

bool CLogic::OnTimer(std::uint64_t timerId) {
    if (timerId < eRetryTimer_ClientUpdateData || timerId > eRetryTimer_UpdateFile)
        return false;
    dialog_.KillTimer(timerId);
    if (exiting_)
        return true;
    if (timerId != eRetryTimer_ClientUpdateData) {
        int stage = timerId == eRetryTimer_License    ? kStageLicense
                    : timerId == eRetryTimer_Manifest ? kStageManifest
                                                      : kStageFileDownload;
        if (RetryStage(stage))
            return true;
        resumeStep_ = stage;
        if (urlSelector_.SelectServer()) {
            downloader_.SetServer(urlSelector_.SelectedUrl());
            ResumeStep();
            return true;
        }
    }
    RefreshClientUpdateData();
    return true;
}

void CLogic::RefreshClientUpdateData() {
    if (urlSelector_.IsInitialised() && urlSelector_.SelectUpdateUrl()) {
        std::string header = userAgentHeader_;
        downloader_.DownloadCUDFile(urlSelector_.UpdateUrl(), header);
        return;
    }
    if (urlSelector_.AskLoginUrl()) {
        View().ShowMessageBox(GetString(112), kBoxServerAddress, kBoxButtonsOk, false, 1);
        if (urlSelector_.HasCustomUrl())
            urlSelector_.RejectCustomUrl();
        return;
    }
    // The network failure page: the last failure's text, and Retry repeats
    // the stage that failed.
    int context = resumeStep_ == kStageLicense        ? kBoxLicenseFailed
                  : resumeStep_ == kStageManifest     ? kBoxManifestFailed
                  : resumeStep_ == kStageFileDownload ? kBoxUpdateFailed
                                                      : kBoxFatal;
    View().ShowMessageBox(lastErrorText_.empty() ? GetString(26) : lastErrorText_, context,
                          kBoxButtonsRetryCancel, true, 0);
}

void CLogic::fireCUDFileReceived(const CBuffer& body) {
    urlSelector_.AcceptCustomUrl();
    if (urlSelector_.MergeIncoming(body.View()) && (urlSelector_.Save(true), true) &&
        urlSelector_.SelectServer()) {
        downloader_.SetServer(urlSelector_.SelectedUrl());
        ResumeStep();
        return;
    }
    RefreshClientUpdateData();
}

void CLogic::fireNetError(std::uint32_t kind, std::uint32_t errorCode, std::uint32_t status,
                          const std::string& body) {
    logic::MaintenanceLocale locale;
    locale.langCode = configuration_.languages.CurrentCode();
    int position = configuration_.languages.PositionOf(locale.langCode);
    if (position >= 0)
        locale.lcid = static_cast<std::uint32_t>(configuration_.languages.Entries()[position].id);
    locale.clock = logic::SystemLocalClock();
    auto lang = [this](int id) { return GetString(id); };
    logic::NetErrorText error = logic::BuildNetErrorText(
        static_cast<int>(kind), errorCode, static_cast<int>(status), body, lang, locale);
    logic::NetFailureReaction reaction =
        logic::NetFailureReactionOf(static_cast<int>(kind), error.maintenance);
    if (reaction.countAttempt)
        attempts_ = logic::NextAttemptCount(attempts_, static_cast<int>(status), errorCode);
    if (reaction.logLine)
        Log(reaction.logLine);
    if (reaction.logNetworkError) {
        std::wstring name;
        if (kind == logic::eNetRequest_Manifest)
            name = base::Utf8ToWide(manifestRName_);
        else if (!queue_.empty())
            name = base::Utf8ToWide(queue_.front().name);
        if (log_)
            log_->WriteNewLines(1);
        Log(logic::NetworkErrorLogText(name, errorCode, error.detail, static_cast<int>(status)));
        if (log_)
            log_->WriteNewLines(1);
    }
    if (reaction.storeText) {
        lastErrorText_ = error.text;
        View().ShowNetworkError(error.text);
    }
    if (reaction.showMessageBox)
        View().ShowMessageBox(error.text, kBoxFatal, kBoxButtonsOk, false, 0);
    if (reaction.timerId)
        dialog_.SetTimer(reaction.timerId, reaction.timerMs);
}

void CLogic::fireLicenseReceived(const CBuffer&) {
    NotBuilt(L"the licence page");
    ShowError(101, kBoxFatal);
}

void CLogic::fireKBFilePartReceived(std::int32_t received, std::int32_t total) {
    View().ShowKbProgress(received, total);
}

void CLogic::fireKBFileReceived(const CBuffer&) {
    NotBuilt(L"installing the platform update");
}

void CLogic::fireAffiliateUpdated() {}
