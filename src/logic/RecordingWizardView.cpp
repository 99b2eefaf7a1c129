#include "logic/RecordingWizardView.h"

#include "log/LogImplW.h"

#include <cwchar>

namespace {

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

} // namespace

CRecordingWizardView::CRecordingWizardView(StringLookup strings, CLogImplW* log)
    : strings_(std::move(strings)), log_(log) {}

void CRecordingWizardView::Record(const char* operation, int stringId, const std::wstring& text,
                                  std::int64_t value) {
    entries_.push_back(Entry{operation, currentPage_, stringId, text, value});
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

void CRecordingWizardView::ShowFirstPage(int stage) {
    currentPage_ = 11;
    Record("ShowFirstPage", -1, {}, stage);
}

void CRecordingWizardView::ShowMessageBox(const std::wstring& text, int context, int buttons,
                                          bool error, int extra) {
    (void)buttons;
    (void)error;
    (void)extra;
    boxContext_ = context;
    currentPage_ = 5;
    if (log_) {
        log_->Write(L" --------------------------------------", true);
        log_->Write(L"|              MessageBox              |", true);
        log_->Write(L"|--------------------------------------|", true);
        log_->Write(text, true);
        log_->Write(L" --------------------------------------", true);
    }
    Record("ShowMessageBox", -1, text, context);
    if (answer_)
        answer_();
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
    currentPage_ = 1;
    Record("ShowTermsPage", -1, {}, 0);
}

void CRecordingWizardView::ShowDownloadPage() {
    currentPage_ = 3;
    Record("ShowDownloadPage", 18, strings_(18), 0);
}

void CRecordingWizardView::ShowUninstallProgressPage() {
    currentPage_ = 9;
    Record("ShowUninstallProgressPage", 78, strings_(78), 0);
}

void CRecordingWizardView::ShowWorkPage() {
    currentPage_ = 9;
    Record("ShowWorkPage", -1, {}, 0);
}

void CRecordingWizardView::ShowUninstallResult(bool success) {
    currentPage_ = 7;
    int id = success ? 100 : 99;
    Record("ShowUninstallResult", id, strings_(id), success ? 1 : 0);
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
    currentPage_ = 4;
    Record("ShowLaunchPage", -1, {}, 0);
}

void CRecordingWizardView::ShowKbProgress(std::int64_t receivedBytes, std::int64_t totalBytes) {
    Record("ShowKbProgress", -1, std::to_wstring(totalBytes), receivedBytes);
}

void CRecordingWizardView::ShowWorkProgress(int percent) {
    Record("ShowWorkProgress", 17, {}, percent < 0 ? 0 : (percent > 100 ? 100 : percent));
}
