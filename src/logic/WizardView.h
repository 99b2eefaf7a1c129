#pragma once
// The wizard's page operations as the launcher's flows call them: which page
// is shown, the in-skin message box, progress and the controls' texts. A
// skinned view in this folder, built over skin/'s generic dialog and
// controls, implements it for a visible run (page numbering, label tables and
// language texts are the launcher's wizard logic, which skin/ knows nothing
// of); a recording view keeps what was shown for the headless run and for
// tests. Window thread only.

#include "logic/UpdateProgress.h"

#include <cstdint>
#include <string>
#include <vector>

// Button sets of the message box.
enum : int {
    kBoxButtonsOk = 0,
    kBoxButtonsYesNo = 4,
    kBoxButtonsRetryCancel = 5,
};

// The context (kind) of a message box, which decides what its buttons do.
enum : int {
    kBoxInformation = 0,
    kBoxPlatformUpdate = 1,
    kBoxServerAddress = 2,
    kBoxChooseAgain = 3,
    kBoxOkCancels = 4,
    kBoxLicenseFailed = 5,
    kBoxManifestFailed = 6,
    kBoxUpdateFailed = 7,
    kBoxExitDuringInstall = 8,
    kBoxAssistantStartFailed = 9,
    kBoxFatal = 10,
};

// One value of a formatted text: a language string id, a real, an integer or
// a text.
struct TextValue {
    enum Kind { StringId = 0, Real = 1, Integer = 2, Text = 3 };
    Kind kind = StringId;
    std::int64_t integer = 0;
    double real = 0;
    std::wstring text;
};

// The states of the single install page.
enum class InstallPageState {
    Ready,   // the options, the terms and the install button (enabled once agreed)
    Running, // the work runs: only its progress shows
    Waiting, // the first page's wait: every choice disabled, the cancel button enabled
};

class IWizardView {
public:
    virtual ~IWizardView() = default;

    virtual void SetCaption(const std::wstring& caption) = 0;
    // Fills every label from the current language.
    virtual void InitTextControls() = 0;
    virtual void SetControlText(int controlId, int stringId) = 0;
    virtual void SetFormattedText(int controlId, const std::vector<TextValue>& values) = 0;

    // A control's window text.
    virtual void SetText(int controlId, const std::wstring& text) = 0;
    // A check box's state.
    virtual void SetCheck(int controlId, bool checked) = 0;
    virtual bool IsChecked(int controlId) const = 0;

    virtual void ShowFirstPage(int stage) = 0;
    // Makes the page current and shows it (the pages of the run mode's
    // wizard: the destination, the shortcuts, the uninstall question...).
    virtual void ShowPage(int page) = 0;
    // One page of the external applications: the three slots of page
    // `pageIndex` show the names and the stored choices (check boxes
    // 12385 to 12387) of the applications there.
    virtual void ShowExternalApps(int pageIndex, const std::vector<std::wstring>& names,
                                  const std::vector<bool>& selected) = 0;
    // The folder picker, opened on the current folder; false when the user
    // cancelled it.
    virtual bool PickFolder(const std::wstring& current, std::wstring* chosen) = 0;
    virtual void ShowMessageBox(const std::wstring& text, int context, int buttons, bool error,
                                int extra) = 0;
    virtual void ShowConfirm(int stringId, int context, int buttons, bool error) = 0;
    virtual void ContinueInstallPages() = 0;
    virtual void ShowTermsPage() = 0;
    virtual void ShowDownloadPage() = 0;
    virtual void ShowUninstallProgressPage() = 0;
    // The installation progress step, where the elevated assistant's work
    // shows its progress, with the progress at 0.
    virtual void ShowWorkPage() = 0;
    virtual void ShowUninstallResult(bool success) = 0;

    // The download or unpack progress from the launcher's counters; a value
    // above 0 is the unpacker's latest report.
    virtual void RefreshProgress(const logic::ProgressInputs& inputs,
                                 std::int64_t unpackedBytes) = 0;
    // The text of the last network failure on the page that waits for the
    // retry (a maintenance notice, or the error with its codes).
    virtual void ShowNetworkError(const std::wstring& text) = 0;
    // The launch step: the page from which the client starts.
    virtual void ShowLaunchPage() = 0;
    virtual void ShowKbProgress(std::int64_t receivedBytes, std::int64_t totalBytes) = 0;
    virtual void ShowWorkProgress(int percent) = 0;

    // The page and message-box state the flows read back.
    virtual int CurrentPage() const = 0;
    // The page the message box covers.
    virtual int PreviousPage() const = 0;
    virtual int MessageBoxContext() const = 0;
    // The stage the first page was last shown with.
    virtual int FirstPageStage() const { return 0; }

    // Controls the wizard switches directly.
    virtual void EnableControl(int /*controlId*/, bool /*enabled*/) {}
    virtual void ShowControl(int /*controlId*/, bool /*shown*/) {}
    virtual void FocusControl(int /*controlId*/) {}
    // The language combo box and buttons.
    virtual void EnableLanguageControls(bool /*enabled*/) {}
    // The single install page's state.
    virtual void SetInstallPageState(InstallPageState /*state*/) {}
    // The language entry `index` is current now (the table switched): the
    // controls follow, and unless `keepTexts` every label and picture too.
    virtual void LanguageChanged(int /*index*/, bool /*keepTexts*/) {}
    // The entry the language combo box shows; -1 without one.
    virtual int SelectedLanguage() const { return -1; }
    // The text typed into the message box's edit field.
    virtual std::wstring EditText() const { return {}; }
};
