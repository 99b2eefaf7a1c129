// CUpdateCycle: the rotation to the next server once a stage's attempts ran
// out on one, and when every server failed, fresh client update data from
// the data-update addresses; the stage then resumes on the server chosen.

#include "base/Buffer.h"
#include "base/Strings.h"
#include "config/UrlSelector.h"
#include "logic/LaunchSettings.h"
#include "logic/UpdateCycle.h"
#include "net/Downloader.h"

namespace logic {

void CUpdateCycle::RotateServer() {
    if (urlSelector_.SelectServer()) {
        downloader_.SetServer(urlSelector_.SelectedUrl());
        ResumeStage();
        return;
    }
    // A typed address is not a reason to fetch fresh data: data received
    // while it is in use would take it into the login list although it just
    // failed. The user is asked again and the address forgotten.
    if (urlSelector_.HasCustomUrl()) {
        AskForServerAddress();
        return;
    }
    RefreshClientUpdateData();
}

void CUpdateCycle::ResumeStage() {
    switch (stage_) {
    case CycleStage::License:
    case CycleStage::Manifest:
    case CycleStage::Download:
        attempts_ = 1;
        RetryStage(stage_);
        return;
    default:
        return;
    }
}

void CUpdateCycle::RefreshClientUpdateData() {
    if (urlSelector_.IsInitialised() && urlSelector_.SelectUpdateUrl()) {
        downloader_.DownloadCUDFile(urlSelector_.UpdateUrl(), settings_.userAgentHeader);
        return;
    }
    if (urlSelector_.AskLoginUrl()) {
        AskForServerAddress();
        return;
    }
    // The network failure page: the last failure's text, and Retry repeats
    // the stage that failed.
    host_.View().ShowMessageBox(lastErrorText_.empty() ? host_.GetString(26) : lastErrorText_,
                                StageInfo(stage_).failureBox, kBoxButtonsRetryCancel, true, 0);
}

void CUpdateCycle::AskForServerAddress() {
    host_.View().ShowMessageBox(host_.GetString(112), kBoxServerAddress, kBoxButtonsOk, false, 1);
    if (urlSelector_.HasCustomUrl()) {
        Log(L"The server address typed has failed: " + base::Utf8ToWide(urlSelector_.CustomUrl()));
        urlSelector_.RejectCustomUrl();
    }
}

CUpdateCycle::TypedAddress CUpdateCycle::OfferServerAddress(const std::wstring& typed) {
    // Blanks around a pasted address are not part of it.
    const std::size_t first = typed.find_first_not_of(L" \t\r\n");
    const std::wstring address =
        first == std::wstring::npos
            ? std::wstring()
            : typed.substr(first, typed.find_last_not_of(L" \t\r\n") - first + 1);
    if (urlSelector_.SetCustomUrl(base::WideToUtf8(address))) {
        downloader_.SetServer(urlSelector_.SelectedUrl());
        ResumeStage();
        return TypedAddress::Retried;
    }
    return urlSelector_.Face().loginUrls.empty() ? TypedAddress::Cancel : TypedAddress::AskAgain;
}

void CUpdateCycle::fireCUDFileReceived(const CBuffer& body) {
    urlSelector_.AcceptCustomUrl();
    if (urlSelector_.MergeIncoming(body.View()) && (urlSelector_.Save(true), true) &&
        urlSelector_.SelectServer()) {
        downloader_.SetServer(urlSelector_.SelectedUrl());
        ResumeStage();
        return;
    }
    RefreshClientUpdateData();
}

} // namespace logic
