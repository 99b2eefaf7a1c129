#pragma once
// A wizard view without a window: it records every page operation (page,
// language string, text, progress value) and writes the message boxes to the
// launcher log, with the progress in steps of ten percent. Used by the
// headless run and by tests; window thread only.

#include "logic/WizardView.h"

#include <functional>
#include <string>
#include <vector>

class CLogImplW;

class CRecordingWizardView final : public IWizardView {
public:
    // One recorded operation.
    struct Entry {
        std::string operation;  // "ShowFirstPage", "ShowMessageBox", ...
        int page = 0;           // the page shown after the operation
        int stringId = -1;      // language string, when the operation names one
        std::wstring text;      // the text shown, when there is one
        std::int64_t value = 0; // stage, context, percent or bytes
    };
    // How a language string is looked up (the current language).
    using StringLookup = std::function<std::wstring(int id)>;

    CRecordingWizardView(StringLookup strings, CLogImplW* log);

    // Called after a message box is recorded: a run without a window uses it
    // to answer the box, since nobody else can.
    void SetBoxAnswer(std::function<void()> answer) { answer_ = std::move(answer); }

    void SetCaption(const std::wstring& caption) override;
    void InitTextControls() override;
    void SetControlText(int controlId, int stringId) override;
    void SetFormattedText(int controlId, const std::vector<TextValue>& values) override;
    void ShowFirstPage(int stage) override;
    void ShowMessageBox(const std::wstring& text, int context, int buttons, bool error,
                        int extra) override;
    void ShowConfirm(int stringId, int context, int buttons, bool error) override;
    void ContinueInstallPages() override;
    void ShowTermsPage() override;
    void ShowDownloadPage() override;
    void ShowUninstallProgressPage() override;
    void ShowWorkPage() override;
    void ShowUninstallResult(bool success) override;
    void RefreshProgress(const logic::ProgressInputs& inputs, std::int64_t unpackedBytes) override;
    void ShowLaunchPage() override;
    void ShowNetworkError(const std::wstring& text) override;
    void ShowKbProgress(std::int64_t receivedBytes, std::int64_t totalBytes) override;
    void ShowWorkProgress(int percent) override;
    int CurrentPage() const override { return currentPage_; }
    int MessageBoxContext() const override { return boxContext_; }

    const std::vector<Entry>& Entries() const { return entries_; }
    const std::wstring& Caption() const { return caption_; }
    // The text a formatted-text entry renders to, as the skin would show it.
    std::wstring RenderFormatted(const std::vector<TextValue>& values) const;

private:
    void Record(const char* operation, int stringId, const std::wstring& text, std::int64_t value);

    StringLookup strings_;
    CLogImplW* log_;
    std::function<void()> answer_;
    std::vector<Entry> entries_;
    std::wstring caption_;
    int currentPage_ = 0;
    int boxContext_ = 0;
    std::uint32_t unpackedKb_ = 0;
    int loggedStep_ = -1; // the last tenth of the bar written to the log
    bool loggedDownload_ = false;
};
