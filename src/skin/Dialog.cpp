#include "skin/Dialog.h"

CDialog::~CDialog() {
    Destroy();
}

void CDialog::SetPresenter(std::unique_ptr<plat::IPresenter> presenter) {
    presenter_ = std::move(presenter);
}

void CDialog::SetUserMessageCallback(void* context, UserMessageCallback callback) {
    messageContext_ = context;
    onUserMessage_ = callback;
}

void CDialog::SetTimerCallback(void* context, TimerCallback callback) {
    timerContext_ = context;
    onTimer_ = callback;
}

bool CDialog::Create(const tinyxml2::XMLElement*, const std::wstring& caption) {
    if (window_)
        return false;
    window_ = plat::CreateWindow(kWindowClass, caption, this, false);
    return window_ != 0;
}

void CDialog::Destroy() {
    if (window_) {
        plat::DestroyWindow(window_);
        window_ = 0;
    }
    visible_ = false;
}

bool CDialog::SetCaption(const std::wstring& caption) {
    return window_ && plat::SetWindowText(window_, caption);
}

bool CDialog::SetTimer(std::uint64_t id, unsigned elapseMs) {
    return window_ && plat::SetTimer(window_, id, elapseMs) != 0;
}

bool CDialog::KillTimer(std::uint64_t id) {
    return window_ && plat::KillTimer(window_, id);
}

bool CDialog::Click(int controlId) {
    return window_ &&
           plat::PostMessage(window_, kCommandMessage, static_cast<plat::WPARAM>(controlId), 0);
}

plat::LRESULT CDialog::HandleWindowMessage(plat::HWND, std::uint32_t message, plat::WPARAM wParam,
                                           plat::LPARAM lParam, const plat::CopyData*) {
    if (message == kCommandMessage) {
        if (notify_)
            notify_->OnBtnClicked(static_cast<int>(wParam));
        return 0;
    }
    if (message == plat::WM_TIMER) {
        if (onTimer_)
            onTimer_(timerContext_, wParam);
        return 0;
    }
    if (message >= plat::WM_USER && onUserMessage_)
        return onUserMessage_(messageContext_, message, wParam, lParam) ? 1 : 0;
    return 0;
}
