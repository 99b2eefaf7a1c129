// CUpdateCycle: failed requests and their retries — the failure's text and
// reaction, the attempt counter, the retry timers and the Retry button of a
// failure page. When a stage's attempts run out on a server the cycle turns
// to the next one (CycleRotateServers.cpp).

#include "base/Buffer.h"
#include "base/Strings.h"
#include "config/LauncherLang.h"
#include "config/LauncherLanguages.h"
#include "logic/LaunchSettings.h"
#include "logic/LauncherMessages.h"
#include "logic/MaintenanceAnswer.h"
#include "logic/NetErrors.h"
#include "logic/UpdateCycle.h"
#include "net/Downloader.h"

namespace logic {

namespace {

constexpr int kManifestAttemptTextControl = 12411;

} // namespace

void CUpdateCycle::fireNetError(std::uint32_t kind, std::uint32_t errorCode, std::uint32_t status,
                                const std::string& body) {
    MaintenanceLocale locale;
    locale.langCode = languages_.CurrentCode();
    // The locale of the language's locale name, not the entry's own number.
    if (const config::CLauncherLang* current = languages_.Table().Current())
        locale.lcid = current->Lcid();
    locale.clock = SystemLocalClock();
    auto lang = [this](int id) { return host_.GetString(id); };
    NetErrorText error = BuildNetErrorText(static_cast<int>(kind), errorCode,
                                           static_cast<int>(status), body, lang, locale);
    NetFailureReaction reaction = NetFailureReactionOf(static_cast<int>(kind), error.maintenance);
    if (reaction.countAttempt)
        attempts_ = NextAttemptCount(attempts_, static_cast<int>(status), errorCode);
    if (reaction.logLine)
        Log(reaction.logLine);
    if (reaction.logNetworkError) {
        std::wstring name;
        if (kind == eNetRequest_Manifest)
            name = base::Utf8ToWide(settings_.manifestRName);
        else if (!queue_.empty())
            name = base::Utf8ToWide(queue_.front().name);
        BlankLine();
        Log(NetworkErrorLogText(name, errorCode, error.detail, static_cast<int>(status)));
        BlankLine();
    }
    // When the servers answered with a maintenance notice, a data-update
    // address that cannot be reached does not replace it: the notice says
    // more about why the update waits.
    const bool keepNotice = kind == eNetRequest_ClientUpdateData && lastErrorIsNotice_;
    if (reaction.storeText && !keepNotice) {
        lastErrorText_ = error.text;
        lastErrorIsNotice_ = error.maintenance;
        host_.View().ShowNetworkError(error.text);
    }
    if (reaction.showMessageBox)
        host_.View().ShowMessageBox(error.text, kBoxFatal, kBoxButtonsOk, false, 0);
    if (reaction.timerId)
        host_.SetRetryTimer(reaction.timerId, reaction.timerMs);
}

void CUpdateCycle::OnRequestSucceeded() {
    // The next failure on this server is its first: earlier failures of a
    // request that succeeded in the end do not count against it.
    attempts_ = 0;
    lastErrorIsNotice_ = false;
}

void CUpdateCycle::ReportUnexpectedAnswer() {
    ++attempts_;
    if (!queue_.empty()) {
        BlankLine();
        Log(UnexpectedAnswerLogText(base::Utf8ToWide(queue_.front().name)));
        BlankLine();
        lastErrorText_ = host_.GetString(kLangUnexpectedAnswer);
        lastErrorIsNotice_ = false;
    }
    host_.SetRetryTimer(kUnexpectedAnswerTimer, kRetryTimerMs);
}

bool CUpdateCycle::RetryStage(CycleStage stage) {
    if (attempts_ > kMaxAttempts) {
        Log(L"attempts run out");
        return false;
    }
    switch (stage) {
    case CycleStage::License:
        Log(base::FormatW(L"continue downloading license attempt #%d", attempts_));
        return downloader_.DownloadLicense(settings_.licensePath);
    case CycleStage::Manifest:
        Log(base::FormatW(L"continue downloading xml attempt #%d", attempts_));
        if (attempts_ > 0)
            host_.View().SetFormattedText(kManifestAttemptTextControl,
                                          {TextValue{TextValue::StringId, 37, 0, {}},
                                           TextValue{TextValue::Integer, attempts_, 0, {}}});
        return RequestManifest();
    default:
        return ContinueDownload();
    }
}

bool CUpdateCycle::OnRetryTimer(std::uint64_t timerId) {
    CycleStage stage = CycleStage::Idle;
    if (StageOfRetryTimer(timerId, &stage)) {
        SetStage(stage);
        if (!RetryStage(stage))
            RotateServer();
        return true;
    }
    if (timerId != eRetryTimer_ClientUpdateData)
        return false;
    RefreshClientUpdateData();
    return true;
}

bool CUpdateCycle::RetryFromBox(int context) {
    CycleStage stage = CycleStage::Idle;
    if (!StageOfFailureBox(context, &stage))
        return false;
    // Back to the page and the failed request once more.
    SetStage(stage);
    attempts_ = 1;
    RetryStage(stage);
    return true;
}

} // namespace logic
