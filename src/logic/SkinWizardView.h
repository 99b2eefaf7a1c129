#pragma once
// The wizard on the skinned dialog: the view a visible run uses. It numbers
// the pages for the run mode, fills every control's label from the language
// table and keeps the formatted texts (rendered through the checked
// language formatter, again after each language change), shows the pages,
// the in-skin message box (a box over a box returns to the page under both)
// and the progress, and lays out the licence and the box texts into their
// lists. What it reads of the launcher comes through IWizardViewHost.
// Window thread only.

#include "config/LauncherLanguages.h"
#include "logic/LaunchSettings.h"
#include "logic/WizardScript.h"
#include "logic/WizardView.h"

#include <functional>
#include <map>
#include <string>
#include <vector>

class CDialog;
class CLogImplW;

namespace skin {
class ISkinable;
}

namespace logic {

// What the skinned view reads of the launcher.
class IWizardViewHost {
public:
    virtual ~IWizardViewHost() = default;
    virtual std::wstring GetString(int id) const = 0;
    virtual const LaunchSettings& Settings() const = 0;
    virtual const std::wstring& LicenseText() const = 0;
    // The external applications offered on their pages.
    virtual int ExternalAppCount() const = 0;
    // The checker reported shortcut changes for the assistant.
    virtual bool HasShortcutChanges() const = 0;
    virtual const std::vector<config::LanguageEntry>& Languages() const = 0;
    virtual const std::string& CurrentLanguage() const = 0;
};

class CSkinWizardView final : public IWizardView {
public:
    CSkinWizardView(CDialog& dialog, IWizardViewHost& host, CLogImplW* log);

    void SetCaption(const std::wstring& caption) override;
    void InitTextControls() override;
    void SetControlText(int controlId, int stringId) override;
    void SetFormattedText(int controlId, const std::vector<TextValue>& values) override;
    void SetText(int controlId, const std::wstring& text) override;
    void SetCheck(int controlId, bool checked) override;
    bool IsChecked(int controlId) const override;
    void EnableControl(int controlId, bool enabled) override;
    void ShowControl(int controlId, bool shown) override;
    void FocusControl(int controlId) override;
    void EnableLanguageControls(bool enabled) override;
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
    void RefreshProgress(const ProgressInputs& inputs, std::int64_t unpackedBytes) override;
    void ShowNetworkError(const std::wstring& text) override;
    void ShowLaunchPage() override;
    void ShowKbProgress(std::int64_t receivedBytes, std::int64_t totalBytes) override;
    void ShowWorkProgress(int percent) override;
    void LanguageChanged(int index, bool keepTexts) override;
    int SelectedLanguage() const override;
    void SetInstallPageState(InstallPageState state) override;
    std::wstring EditText() const override;
    int CurrentPage() const override { return currentPage_; }
    int PreviousPage() const override { return previousPage_; }
    int MessageBoxContext() const override { return boxContext_; }
    int FirstPageStage() const override { return firstPageStage_; }

    // The size variant every step is shown in.
    int SizeVariant() const { return variant_; }
    // Pages and boxes are answered from the script (a demo or test that
    // nobody clicks in).
    void SetAnswers(const WizardAnswers& answers, CWizardScript::Press press) {
        script_.Set(answers, std::move(press));
    }
    // Called after each page is shown, with its number.
    void SetPageObserver(std::function<void(int page)> observer) {
        observer_ = std::move(observer);
    }

private:
    skin::ISkinable* Find(int id) const;
    void ShowStep(int page);
    void RenderFormatted(int controlId, const std::vector<TextValue>& values);
    // A label from the language table, set once (the label refresh sets it
    // again).
    void SetLabel(int controlId, int stringId);
    void Labels();
    void SinglePageLabels();
    // The language combo box and buttons show entry `index`.
    void SelectLanguageControls(int index);
    // The single install page's options (check boxes, their caption and the
    // picture over them) shown or hidden; page 4 is shown again.
    void ShowInstallOptions(bool show);
    void SetProgressBar(int barId, int position);
    int InfoTextId() const;
    void AnswerPage(int page);

    CDialog& dialog_;
    IWizardViewHost& host_;
    CLogImplW* log_;
    std::map<int, std::vector<TextValue>> formatted_;
    int currentPage_ = 0;
    int previousPage_ = 0;
    int boxContext_ = 0;
    int firstPageStage_ = 0;
    int variant_ = 0;
    int editCaption_ = 0; // the edit caption's string once the address box was opened
    int pageForFirstStage4_ = 0;
    int pageForFirstStage56_ = 0;
    int externalBase_ = 1;
    std::uint32_t unpackedKb_ = 0;
    std::function<void(int page)> observer_;
    CWizardScript script_;
};

} // namespace logic
