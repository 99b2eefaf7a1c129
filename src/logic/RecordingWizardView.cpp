#include "logic/RecordingWizardView.h"

#include "log/LogImplW.h"
#include "logic/WizardControls.h"

#include <cwchar>
#include <cwctype>

using namespace logic; // the page and control numbers

namespace {

// How often one page is answered from the script before the run is closed.
constexpr int kMaxAnswersPerPage = 3;

// Formats one printf directive `directive` (for example "%.1f" or "%d") with a
// value of the given kind, adapting the length modifier to the value.
std::wstring FormatOne(std::wstring directive, const TextValue& value) {
    wchar_t conversion = directive.back();
    directive.pop_back();
    while (!directive.empty() &&
           (directive.back() == L'l' || directive.back() == L'h' || directive.back() == L'z' ||
            directive.back() == L'j' || directive.back() == L't' || directive.back() == L'L'))
        directive.pop_back();
    wchar_t buffer[512];
    int written = -1;
    switch (conversion) {
    case L's':
    case L'S':
        directive += L"ls";
        written = std::swprintf(buffer, 512, directive.c_str(),
                                value.kind == TextValue::Text ? value.text.c_str() : L"");
        break;
    case L'f':
    case L'F':
    case L'e':
    case L'E':
    case L'g':
    case L'G':
        directive += conversion;
        written = std::swprintf(buffer, 512, directive.c_str(),
                                value.kind == TextValue::Real ? value.real
                                                              : static_cast<double>(value.integer));
        break;
    case L'c':
        directive += L"lc";
        written = std::swprintf(buffer, 512, directive.c_str(), static_cast<wint_t>(value.integer));
        break;
    default: // integer conversions
        directive += L"ll";
        directive += conversion;
        written =
            std::swprintf(buffer, 512, directive.c_str(),
                          value.kind == TextValue::Real ? static_cast<long long>(value.real)
                                                        : static_cast<long long>(value.integer));
        break;
    }
    return written < 0 ? std::wstring() : std::wstring(buffer, static_cast<std::size_t>(written));
}

bool ParseFlag(const std::wstring& value, bool* flag) {
    if (value == L"1" || value == L"yes" || value == L"true") {
        *flag = true;
        return true;
    }
    if (value == L"0" || value == L"no" || value == L"false") {
        *flag = false;
        return true;
    }
    return false;
}

bool ParseBoxButton(const std::wstring& word, int* id) {
    static const std::map<std::wstring, int> kNames = {
        {L"yes", kBtnMboxYes},     {L"no", kBtnMboxNo},         {L"ok", kBtnMboxOk},
        {L"retry", kBtnMboxRetry}, {L"cancel", kBtnMboxCancel},
    };
    if (auto found = kNames.find(word); found != kNames.end()) {
        *id = found->second;
        return true;
    }
    if (word.empty() || word.size() > 6)
        return false;
    for (wchar_t c : word) {
        if (!std::iswdigit(c))
            return false;
    }
    *id = std::stoi(word);
    return true;
}

} // namespace

bool WizardAnswers::Parse(const std::wstring& text, WizardAnswers* answers, std::wstring* bad) {
    WizardAnswers parsed;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find(L';', start);
        if (end == std::wstring::npos)
            end = text.size();
        const std::wstring pair = text.substr(start, end - start);
        start = end + 1;
        if (pair.empty())
            continue;
        const std::size_t equals = pair.find(L'=');
        const std::wstring key = pair.substr(0, equals);
        const std::wstring value = equals == std::wstring::npos ? L"" : pair.substr(equals + 1);
        bool flag = false;
        bool ok = equals != std::wstring::npos;
        if (!ok) {
        } else if (key == L"terms") {
            ok = value == L"agree" || value == L"disagree";
            parsed.agreeToTerms = value == L"agree";
        } else if (key == L"folder") {
            parsed.folder = value;
        } else if (key == L"portable" && (ok = ParseFlag(value, &flag))) {
            parsed.portable = flag;
        } else if (key == L"desktop" && (ok = ParseFlag(value, &flag))) {
            parsed.desktopShortcut = flag;
        } else if (key == L"programs" && (ok = ParseFlag(value, &flag))) {
            parsed.programShortcuts = flag;
        } else if (key == L"uninstall" && value == L"wait") {
            parsed.waitOnUninstall = true;
        } else if (key == L"uninstall" && (ok = ParseFlag(value, &flag))) {
            parsed.uninstall = flag;
        } else if (key == L"launch" && (ok = ParseFlag(value, &flag))) {
            parsed.launch = flag;
        } else if (key == L"boxes") {
            std::size_t from = 0;
            while (ok && from <= value.size()) {
                std::size_t comma = value.find(L',', from);
                if (comma == std::wstring::npos)
                    comma = value.size();
                int id = 0;
                ok = ParseBoxButton(value.substr(from, comma - from), &id);
                if (ok)
                    parsed.boxButtons.push_back(id);
                from = comma + 1;
            }
        } else {
            ok = false;
        }
        if (!ok) {
            if (bad)
                *bad = pair;
            return false;
        }
    }
    *answers = parsed;
    return true;
}

CRecordingWizardView::CRecordingWizardView(StringLookup strings, CLogImplW* log)
    : strings_(std::move(strings)), log_(log) {}

void CRecordingWizardView::Record(const char* operation, int stringId, const std::wstring& text,
                                  std::int64_t value) {
    entries_.push_back(Entry{operation, currentPage_, stringId, text, value});
}

void CRecordingWizardView::SetAnswers(const WizardAnswers& answers, Press press) {
    answers_ = answers;
    press_ = std::move(press);
    nextBox_ = 0;
}

void CRecordingWizardView::PressIf(int controlId) {
    if (press_)
        press_(controlId);
}

void CRecordingWizardView::SetOption(int controlId, const std::optional<bool>& wanted) {
    if (wanted && IsChecked(controlId) != *wanted)
        PressIf(controlId);
}

void CRecordingWizardView::AnswerPage(int page) {
    if (!answers_)
        return;
    // A script that leads back to the same page again and again (a folder
    // the installation refuses) gives up: the run is closed.
    if (++answered_[page] > kMaxAnswersPerPage) {
        PressIf(kBtnCaptionClose);
        return;
    }
    switch (page) {
    case kPageTerms:
        PressIf(answers_->agreeToTerms ? kBtnAgree : kBtnDisagree);
        return;
    case kPageDestination:
        if (!answers_->folder.empty())
            PressIf(kBtnChangeFolder);
        SetOption(kCheckGuest, answers_->portable);
        PressIf(kBtnNext);
        return;
    case kPageShortcuts:
        SetOption(kCheckIconDesktop, answers_->desktopShortcut);
        SetOption(kCheckIconPrograms, answers_->programShortcuts);
        PressIf(kBtnNextIcons);
        return;
    case kPageExternalApps:
        PressIf(kBtnNextExtApp);
        return;
    case kPageUninstallQuestion:
        if (answers_->waitOnUninstall)
            return;
        PressIf(answers_->uninstall ? kBtnUninstall : kBtnCancelUninstall);
        return;
    case kPageUninstallResult:
        PressIf(kBtnCloseUninstall);
        return;
    case kPageLaunch:
        PressIf(answers_->launch ? kBtnLaunch : kBtnCaptionClose);
        return;
    default:
        return;
    }
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
    if (values.empty())
        return {};
    std::wstring format;
    if (values[0].kind == TextValue::StringId)
        format = strings_(static_cast<int>(values[0].integer));
    else if (values[0].kind == TextValue::Text)
        format = values[0].text;
    else
        return {};
    std::wstring out;
    std::size_t next = 1;
    for (std::size_t i = 0; i < format.size(); ++i) {
        if (format[i] != L'%') {
            out += format[i];
            continue;
        }
        if (i + 1 < format.size() && format[i + 1] == L'%') {
            out += L'%';
            ++i;
            continue;
        }
        std::size_t end = i + 1;
        while (end < format.size() && std::wcschr(L"-+ #0123456789.lhzjtL", format[end]))
            ++end;
        if (end >= format.size())
            break;
        std::wstring directive = format.substr(i, end - i + 1);
        out += FormatOne(directive, next < values.size() ? values[next] : TextValue{});
        ++next;
        i = end;
    }
    return out;
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
    if (!answers_ || answers_->folder.empty())
        return false;
    *chosen = answers_->folder;
    return true;
}

void CRecordingWizardView::ShowMessageBox(const std::wstring& text, int context, int buttons,
                                          bool error, int extra) {
    (void)buttons;
    (void)error;
    (void)extra;
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
    if (boxAnswer_) {
        boxAnswer_();
    } else if (answers_) {
        if (nextBox_ < answers_->boxButtons.size()) {
            const int button = answers_->boxButtons[nextBox_++];
            if (log_)
                log_->Write(L"Scripted answer to the message box: " + std::to_wstring(button),
                            true);
            PressIf(button);
        } else {
            if (log_)
                log_->Write(L"No window to answer the message box: Cancel", true);
            PressIf(kBtnMboxCancel);
        }
    }
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
