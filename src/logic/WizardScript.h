#pragma once
// The answers of a run nobody clicks in: a script (from
// LAUNCHER_HEADLESS_ANSWERS) says what the user would choose, and each page
// and box is answered by pressing the controls a user would press, through
// the window's queue like clicks. Both wizard views use it. Window thread
// only.

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

class CLogImplW;

// What the user of a headless run answers. Whatever is not answered is
// answered the way that ends the run: disagree, cancel, close.
struct WizardAnswers {
    bool agreeToTerms = false;           // on the licence page
    std::wstring folder;                 // picked on the destination page (empty: none)
    std::optional<bool> portable;        // the portable check box
    std::optional<bool> desktopShortcut; // the shortcut check boxes
    std::optional<bool> programShortcuts;
    bool uninstall = false;       // on the uninstall question
    bool waitOnUninstall = false; // leave the uninstall question open
    bool launch = false;          // on the launch page
    std::vector<int> boxButtons;  // the message boxes' buttons, in order; then Cancel

    // "key=value" pairs separated by ";": terms=agree, folder=PATH,
    // portable=0|1, desktop=0|1, programs=0|1, uninstall=0|1|wait, launch=0|1,
    // boxes=ok,yes,no,retry,cancel (or button ids). False (and `bad` set to
    // the pair) for anything else.
    static bool Parse(const std::wstring& text, WizardAnswers* answers, std::wstring* bad);
};

class CWizardScript {
public:
    // Presses a control as a click would (through the window's queue).
    using Press = std::function<void(int controlId)>;
    // Reads a check box of the view.
    using Checked = std::function<bool(int controlId)>;

    // From here on pages and boxes are answered from the script.
    void Set(const WizardAnswers& answers, Press press);
    bool Active() const { return answers_.has_value(); }

    // The scripted answer to the page just shown.
    void AnswerPage(int page, const Checked& checked);
    // The scripted answer to the message box just shown: the script's next
    // button, else Cancel.
    void AnswerBox(CLogImplW* log);
    // The folder the script picks; false when it picks none.
    bool PickFolder(std::wstring* chosen) const;

private:
    void PressIf(int controlId);

    std::optional<WizardAnswers> answers_;
    Press press_;
    std::size_t nextBox_ = 0;
    std::map<int, int> answered_; // how often each page was answered
};
