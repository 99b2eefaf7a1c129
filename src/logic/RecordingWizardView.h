#pragma once
// A wizard view without a window: it records every page operation (page,
// language string, text, progress value) and writes the message boxes to the
// launcher log, with the progress in steps of ten percent. Nobody can click
// in it, so it answers each question from a script (WizardAnswers) by
// pressing the buttons a user would press; the presses arrive through the
// window's queue like clicks. Used by the headless run and by tests; window
// thread only.

#include "logic/WizardControls.h"
#include "logic/WizardScript.h"
#include "logic/WizardView.h"

#include <functional>
#include <map>
#include <optional>
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

    using Press = CWizardScript::Press;
    // From here on the view answers from the script by pressing controls.
    void SetAnswers(const WizardAnswers& answers, Press press);
    // Called after a message box is recorded, instead of the script's answer
    // (tests).
    void SetBoxAnswer(std::function<void()> answer) { boxAnswer_ = std::move(answer); }

    void SetCaption(const std::wstring& caption) override;
    void InitTextControls() override;
    void SetControlText(int controlId, int stringId) override;
    void SetFormattedText(int controlId, const std::vector<TextValue>& values) override;
    void SetText(int controlId, const std::wstring& text) override;
    void SetCheck(int controlId, bool checked) override;
    bool IsChecked(int controlId) const override;
    void ShowFirstPage(int stage) override;
    void ShowPage(int page) override;
    void ShowExternalApps(int pageIndex, const std::vector<std::wstring>& names,
                          const std::vector<bool>& selected) override;
    bool PickFolder(const std::wstring& current, std::wstring* chosen) override;
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
    int PreviousPage() const override { return previousPage_; }
    int MessageBoxContext() const override { return boxContext_; }
    int FirstPageStage() const override { return firstPageStage_; }
    // What SetText last put into the message box's edit field.
    std::wstring EditText() const override { return Text(logic::kMboxEdit); }
    void SetInstallPageState(InstallPageState state) override;
    void LanguageChanged(int index, bool keepTexts) override;

    const std::vector<Entry>& Entries() const { return entries_; }
    const std::wstring& Caption() const { return caption_; }
    // The last text a control was given.
    std::wstring Text(int controlId) const;
    // The text a formatted-text entry renders to, as the skin would show it.
    std::wstring RenderFormatted(const std::vector<TextValue>& values) const;

private:
    void Record(const char* operation, int stringId, const std::wstring& text, std::int64_t value);
    // The scripted answer to the page just shown.
    void AnswerPage(int page);

    StringLookup strings_;
    CLogImplW* log_;
    CWizardScript script_;
    std::function<void()> boxAnswer_;
    std::vector<Entry> entries_;
    std::wstring caption_;
    std::map<int, std::wstring> texts_;
    std::map<int, bool> checks_;
    int currentPage_ = 0;
    int previousPage_ = 0;
    int boxContext_ = 0;
    int firstPageStage_ = 0;
    std::uint32_t unpackedKb_ = 0;
    int loggedStep_ = -1; // the last tenth of the bar written to the log
    bool loggedDownload_ = false;
};
