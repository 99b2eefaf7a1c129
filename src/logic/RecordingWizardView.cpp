#include "logic/RecordingWizardView.h"

#include "log/LogImplW.h"
#include "logic/FormattedText.h"
#include "logic/WizardControls.h"

using namespace logic; // the page and control numbers

CRecordingWizardView::CRecordingWizardView(StringLookup strings, CLogImplW* log)
    : strings_(std::move(strings)), log_(log) {}

void CRecordingWizardView::Record(const char* operation, int stringId, const std::wstring& text,
                                  std::int64_t value) {
    entries_.push_back(Entry{operation, currentPage_, stringId, text, value});
}

void CRecordingWizardView::SetAnswers(const WizardAnswers& answers, Press press) {
    script_.Set(answers, std::move(press));
}

void CRecordingWizardView::AnswerPage(int page) {
    script_.AnswerPage(page, [this](int controlId) { return IsChecked(controlId); });
}

void CRecordingWizardView::SetCaption(const std::wstring& caption) {
    caption_ = caption;
    Record("SetCaption", -1, caption, 0);
}

void CRecordingWizardView::InitTextControls() {
    Record("InitTextControls", -1, {}, 0);
}

void CRecordingWizardView::SetControlText(int controlId, int stringId) {
    Record("SetControlText", stringId, strings_(stringId), controlId);
}

void CRecordingWizardView::SetFormattedText(int controlId, const std::vector<TextValue>& values) {
    Record("SetFormattedText",
           values.empty() || values[0].kind != TextValue::StringId
               ? -1
               : static_cast<int>(values[0].integer),
           RenderFormatted(values), controlId);
}

std::wstring CRecordingWizardView::RenderFormatted(const std::vector<TextValue>& values) const {
    std::wstring text;
    logic::RenderFormattedText(values, strings_, &text);
    return text;
}

void CRecordingWizardView::SetText(int controlId, const std::wstring& text) {
    texts_[controlId] = text;
    Record("SetText", -1, text, controlId);
}

std::wstring CRecordingWizardView::Text(int controlId) const {
    auto found = texts_.find(controlId);
    return found == texts_.end() ? std::wstring() : found->second;
}

void CRecordingWizardView::SetCheck(int controlId, bool checked) {
    checks_[controlId] = checked;
    Record("SetCheck", -1, {}, controlId * 2 + (checked ? 1 : 0));
}

bool CRecordingWizardView::IsChecked(int controlId) const {
    auto found = checks_.find(controlId);
    return found != checks_.end() && found->second;
}

void CRecordingWizardView::ShowFirstPage(int stage) {
    currentPage_ = kPageFirst;
    firstPageStage_ = stage;
    Record("ShowFirstPage", -1, {}, stage);
}

void CRecordingWizardView::ShowPage(int page) {
    currentPage_ = page;
    Record("ShowPage", -1, {}, page);
    AnswerPage(page);
}

void CRecordingWizardView::ShowExternalApps(int pageIndex, const std::vector<std::wstring>& names,
                                            const std::vector<bool>& selected) {
    currentPage_ = kPageExternalApps;
    std::wstring text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        const bool on = i < selected.size() && selected[i];
        checks_[kCheckExtAppFirst + static_cast<int>(i)] = on;
        text += (text.empty() ? L"" : L", ") + names[i] + (on ? L" [x]" : L" [ ]");
    }
    Record("ShowExternalApps", -1, text, pageIndex);
    AnswerPage(kPageExternalApps);
}

bool CRecordingWizardView::PickFolder(const std::wstring& current, std::wstring* chosen) {
    Record("PickFolder", -1, current, 0);
    return script_.PickFolder(chosen);
}

void CRecordingWizardView::ShowMessageBox(const std::wstring& text, int context, int buttons,
                                          bool error, int extra) {
    (void)buttons;
    (void)error;
    // The address box opens with its edit field emptied.
    if (extra == 1)
        texts_.erase(logic::kMboxEdit);
    boxContext_ = context;
    // A box over a box keeps the page the first one covered.
    if (currentPage_ != kPageMessageBox)
        previousPage_ = currentPage_;
    currentPage_ = kPageMessageBox;
    if (log_) {
        log_->Write(L" --------------------------------------", true);
        log_->Write(L"|              MessageBox              |", true);
        log_->Write(L"|--------------------------------------|", true);
        log_->Write(text, true);
        log_->Write(L" --------------------------------------", true);
    }
    Record("ShowMessageBox", -1, text, context);
    if (boxAnswer_)
        boxAnswer_();
    else
        script_.AnswerBox(log_);
}

void CRecordingWizardView::ShowConfirm(int stringId, int context, int buttons, bool error) {
    ShowMessageBox(strings_(stringId), context, buttons, error, 0);
    entries_.back().operation = "ShowConfirm";
    entries_.back().stringId = stringId;
}

void CRecordingWizardView::ContinueInstallPages() {
    Record("ContinueInstallPages", -1, {}, 0);
}

void CRecordingWizardView::ShowTermsPage() {
    currentPage_ = kPageTerms;
    Record("ShowTermsPage", -1, {}, 0);
    AnswerPage(kPageTerms);
}

void CRecordingWizardView::ShowDownloadPage() {
    currentPage_ = kPageDownload;
    Record("ShowDownloadPage", 18, strings_(18), 0);
}

void CRecordingWizardView::ShowUninstallProgressPage() {
    currentPage_ = kPageProgress;
    Record("ShowUninstallProgressPage", 78, strings_(78), 0);
}

void CRecordingWizardView::ShowWorkPage() {
    currentPage_ = kPageProgress;
    Record("ShowWorkPage", -1, {}, 0);
}

void CRecordingWizardView::ShowUninstallResult(bool success) {
    currentPage_ = kPageUninstallResult;
    int id = success ? 100 : 99;
    Record("ShowUninstallResult", id, strings_(id), success ? 1 : 0);
    AnswerPage(kPageUninstallResult);
}

void CRecordingWizardView::RefreshProgress(const logic::ProgressInputs& inputs,
                                           std::int64_t unpackedBytes) {
    logic::ProgressDisplay display = logic::ComputeProgress(inputs, unpackedBytes, &unpackedKb_);
    // Only a change of the bar is kept: a long download reports often.
    int step = display.barPosition / 10;
    if (!entries_.empty() && entries_.back().operation == "RefreshProgress" &&
        entries_.back().value == display.barPosition && loggedDownload_ == display.downloading)
        return;
    std::vector<TextValue> info;
    if (display.downloading)
        info = {TextValue{TextValue::StringId, 4, 0, {}},
                TextValue{TextValue::Real, 0, display.doneKb, {}},
                TextValue{TextValue::Real, 0, display.totalKb, {}}};
    else
        info = {TextValue{TextValue::StringId, 16, 0, {}},
                TextValue{TextValue::Integer, static_cast<std::int64_t>(display.percent), 0, {}},
                TextValue{TextValue::Text, 0, 0, L"%"}};
    Record("RefreshProgress", display.downloading ? 4 : 16, RenderFormatted(info),
           display.barPosition);
    if (log_ && (step != loggedStep_ || display.downloading != loggedDownload_)) {
        log_->Write(
            std::wstring(display.downloading ? L"Download progress: " : L"Unpack progress: ") +
                std::to_wstring(display.barPosition) + L" %",
            true);
    }
    loggedStep_ = step;
    loggedDownload_ = display.downloading;
}

void CRecordingWizardView::ShowNetworkError(const std::wstring& text) {
    if (log_) {
        log_->Write(L"Network error shown:", true);
        log_->Write(text, true);
    }
    Record("ShowNetworkError", -1, text, 0);
}

void CRecordingWizardView::ShowLaunchPage() {
    currentPage_ = kPageLaunch;
    Record("ShowLaunchPage", -1, {}, 0);
    AnswerPage(kPageLaunch);
}

void CRecordingWizardView::ShowKbProgress(std::int64_t receivedBytes, std::int64_t totalBytes) {
    Record("ShowKbProgress", -1, std::to_wstring(totalBytes), receivedBytes);
}

void CRecordingWizardView::ShowWorkProgress(int percent) {
    Record("ShowWorkProgress", 17, {}, percent < 0 ? 0 : (percent > 100 ? 100 : percent));
}

void CRecordingWizardView::SetInstallPageState(InstallPageState state) {
    Record("SetInstallPageState", -1, {}, static_cast<int>(state));
}

void CRecordingWizardView::LanguageChanged(int index, bool keepTexts) {
    Record("LanguageChanged", -1, {}, keepTexts ? -1 - index : index);
}
