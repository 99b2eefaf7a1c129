#pragma once
// The launcher's main window. It receives the launcher's window messages and
// the retry timers and hands them to the launcher object through two
// callbacks registered before it is created. It keeps the presenter chosen at
// start, through which the skinned drawing of the steps and controls will put
// the window on screen; today it is a window of the message layer without a
// picture. Window thread only.

#include "platform/Presenter.h"
#include "platform/Window.h"
#include "skin/SkinFormNotify.h"

#include <cstdint>
#include <memory>
#include <string>

namespace tinyxml2 {
class XMLElement;
}

class CDialog : public plat::IWindowHandler {
public:
    using UserMessageCallback = bool (*)(void* context, std::uint32_t message, plat::WPARAM wParam,
                                         plat::LPARAM lParam);
    using TimerCallback = bool (*)(void* context, std::uint64_t timerId);

    // The window class of the launcher's main window.
    static constexpr const wchar_t* kWindowClass = L"#32770";
    // The command message a control sends when it is clicked (wParam: id).
    static constexpr std::uint32_t kCommandMessage = 0x0111;

    CDialog() = default;
    ~CDialog() override;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // The presenter the window is shown through (X11 or headless), made on
    // this thread; the dialog owns it from here on.
    void SetPresenter(std::unique_ptr<plat::IPresenter> presenter);
    plat::IPresenter* Presenter() const { return presenter_.get(); }

    void SetUserMessageCallback(void* context, UserMessageCallback callback);
    void SetTimerCallback(void* context, TimerCallback callback);

    // Creates the window with the caption; the theme element describes the
    // skin. False when the window cannot be created.
    bool Create(const tinyxml2::XMLElement* theme, const std::wstring& caption);
    void Destroy();
    plat::HWND Window() const { return window_; }
    bool IsCreated() const { return window_ != 0; }

    bool SetCaption(const std::wstring& caption);
    void Show(bool visible) { visible_ = visible; }
    bool IsVisible() const { return visible_; }

    // Clicks and selection changes of the controls go to `notify`.
    void SetNotify(ISkinFormNotify* notify) { notify_ = notify; }
    // Presses a control as a click would: the notification arrives through
    // the window's queue, after the messages already waiting.
    bool Click(int controlId);

    bool SetTimer(std::uint64_t id, unsigned elapseMs);
    bool KillTimer(std::uint64_t id);

    plat::LRESULT HandleWindowMessage(plat::HWND window, std::uint32_t message, plat::WPARAM wParam,
                                      plat::LPARAM lParam, const plat::CopyData* copyData) override;

private:
    plat::HWND window_ = 0;
    bool visible_ = false;
    void* messageContext_ = nullptr;
    UserMessageCallback onUserMessage_ = nullptr;
    void* timerContext_ = nullptr;
    TimerCallback onTimer_ = nullptr;
    ISkinFormNotify* notify_ = nullptr;
    std::unique_ptr<plat::IPresenter> presenter_;
};
