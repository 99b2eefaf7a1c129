#include "logic/WizardScript.h"

#include "log/LogImplW.h"
#include "logic/WizardControls.h"

#include <cwctype>

using namespace logic; // the page and control numbers

namespace {

// How often one page is answered from the script before the run is closed.
constexpr int kMaxAnswersPerPage = 3;

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

void CWizardScript::Set(const WizardAnswers& answers, Press press) {
    answers_ = answers;
    press_ = std::move(press);
    nextBox_ = 0;
}

void CWizardScript::PressIf(int controlId) {
    if (press_)
        press_(controlId);
}

void CWizardScript::AnswerPage(int page, const Checked& checked) {
    // Presses a check box when its state differs from the wanted one.
    auto setOption = [&](int controlId, const std::optional<bool>& wanted) {
        if (wanted && checked(controlId) != *wanted)
            PressIf(controlId);
    };
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
        setOption(kCheckGuest, answers_->portable);
        PressIf(kBtnNext);
        return;
    case kPageShortcuts:
        setOption(kCheckIconDesktop, answers_->desktopShortcut);
        setOption(kCheckIconPrograms, answers_->programShortcuts);
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

void CWizardScript::AnswerBox(CLogImplW* log) {
    if (!answers_)
        return;
    if (nextBox_ < answers_->boxButtons.size()) {
        const int button = answers_->boxButtons[nextBox_++];
        if (log)
            log->Write(L"Scripted answer to the message box: " + std::to_wstring(button), true);
        PressIf(button);
    } else {
        if (log)
            log->Write(L"No window to answer the message box: Cancel", true);
        PressIf(kBtnMboxCancel);
    }
}

bool CWizardScript::PickFolder(std::wstring* chosen) const {
    if (!answers_ || answers_->folder.empty())
        return false;
    *chosen = answers_->folder;
    return true;
}
