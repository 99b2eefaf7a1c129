#pragma once
// The launcher's only window: a borderless dialog whose whole look comes
// from the theme. It builds every step (CSkinForm) and every control of the
// theme document at start, shows the controls of the current step only,
// gives the window the step's shape and size variant, paints the step's
// background and then its controls, lets the user drag the window by any
// background point, and reports clicks and combo-box selections through
// ISkinFormNotify. The launcher's own window messages and every timer go
// first to the owner's two handlers registered before the dialog is
// created. The presenter chosen at start (X11 or headless) puts it on
// screen. Window thread only.

#include "platform/Presenter.h"
#include "platform/Window.h"
#include "skin/SkinFormNotify.h"
#include "skin/SkinTheme.h"
#include "skin/SkinWindow.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace tinyxml2 {
class XMLElement;
}

namespace skin {
class CSkinControl;
class CSkinForm;
class CSkinSprite;
class CSkinText;
class CSkinToolTip;
class ISkinable;
} // namespace skin

class CDialog : public plat::IWindowHandler, private skin::ISkinWindowHost {
public:
    using UserMessageCallback = bool (*)(void* context, std::uint32_t message, plat::WPARAM wParam,
                                         plat::LPARAM lParam);
    using TimerCallback = bool (*)(void* context, std::uint64_t timerId);

    // The window class of the launcher's main window.
    static constexpr const wchar_t* kWindowClass = L"#32770";
    // The command message a control sends when it is clicked (wParam: id).
    static constexpr std::uint32_t kCommandMessage = 0x0111;
    // The animation timer.
    static constexpr std::uint64_t kAnimationTimer = 1;
    // Why initialisation failed (InitError).
    enum InitFailure : int {
        kInitOk = 0,
        kInitNoRegionOrSteps = 1, // common/region, forms or its steps missing
        kInitStepFailed = 3,      // a step without a valid num
        kInitWindowFailed = 4,    // a control's window could not be made
    };

    CDialog();
    ~CDialog() override;
    CDialog(const CDialog&) = delete;
    CDialog& operator=(const CDialog&) = delete;

    // The presenter the window is shown through (X11 or headless), made on
    // this thread; the dialog owns it from here on.
    void SetPresenter(std::unique_ptr<plat::IPresenter> presenter);
    plat::IPresenter* Presenter() const override { return presenter_.get(); }

    // Where the theme's pictures come from, the language strings, the log:
    // set before Create.
    skin::CSkinTheme& Theme() { return theme_; }
    const skin::CSkinTheme& Theme() const { return theme_; }
    void SetUserMessageCallback(void* context, UserMessageCallback callback);
    void SetTimerCallback(void* context, TimerCallback callback);
    void SetVersionText(const std::wstring& text) { versionText_ = text; }
    // The product's display name, shown in the caption line.
    void SetProductName(const std::wstring& name) { productName_ = name; }
    void SetPageTotal(int total) { pageTotal_ = total; }
    void SetNumberingHidden(bool hidden) { numberingHidden_ = hidden; }
    // How the step text is made from its language string (a format with the
    // page number and the total); without one the format takes the two
    // numbers through printf.
    using StepTextFormatter =
        std::function<std::wstring(const std::wstring& format, int page, int total)>;
    void SetStepTextFormatter(StepTextFormatter formatter) {
        stepTextFormatter_ = std::move(formatter);
    }

    // Creates the window with the title and builds every step and control
    // from the theme document's root element. False when the window cannot
    // be made or the theme fails to load (InitError tells why).
    bool Create(const tinyxml2::XMLElement* theme, const std::wstring& title);
    int InitError() const { return initError_; }
    void Destroy();
    plat::HWND Window() const { return window_; }
    bool IsCreated() const { return window_ != 0; }

    // The window's title.
    bool SetCaption(const std::wstring& caption);
    // Shows or hides the window. Before the first step is shown the window
    // stays hidden and appears with it.
    void Show(bool visible);
    bool IsVisible() const { return visible_; }

    // Clicks and selection changes of the controls go to `notify`.
    void SetNotify(ISkinFormNotify* notify) { notify_ = notify; }
    // Presses a control as a click would: the notification arrives through
    // the window's queue, after the messages already waiting.
    bool Click(int controlId);

    bool SetTimer(std::uint64_t id, unsigned elapseMs);
    bool KillTimer(std::uint64_t id);

    // Makes step `step` current in size variant `variant`: its shape, size
    // and controls. False (nothing changed) when no step has that number.
    bool ShowStep(int step, int variant);
    int CurrentStep() const { return currentStep_; }
    // The page number step `step` shows in the step text (0 shows none).
    void SetStepNumber(int step, int page);
    void UpdateStepText();
    // The control with that id (the first made when several share it), or
    // null.
    skin::ISkinable* FindControl(int id) const;
    template <typename T> T* FindControlAs(int id) const {
        return dynamic_cast<T*>(FindControl(id));
    }
    // A new language: its picture prefix and font index; every step and
    // shared picture reads its language pictures again, the caption line
    // and the step text follow, and the window repaints.
    void ChangeLanguage(const std::string& imagePrefix, int fontIndex);
    // The caption line: the product's name and the launcher's word for
    // itself (string 111) in the current language.
    void RefreshCaption();
    // A tooltip for the control (replacing an earlier one of it); false
    // without such a control.
    bool SetToolTip(int controlId, const std::wstring& text, int maxWidth);
    const skin::CSkinToolTip* ToolTip(int controlId) const;

    // What the dialog holds, for the launcher's checks and the tests.
    int FormCount() const { return static_cast<int>(forms_.size()); }
    skin::CSkinForm* Form(int index) const { return forms_[static_cast<std::size_t>(index)].get(); }
    skin::CSkinForm* FormByNum(int num) const;
    skin::CSkinText* CaptionText() const { return textCaption_.get(); }
    skin::CSkinText* StepText() const { return textStep_.get(); }
    skin::CSkinText* VersionTextElement() const { return textVersion_.get(); }
    skin::CSkinSprite* StepBackground() const { return spriteStepBg_.get(); }
    plat::ISurface* Surface() const { return surface_.get(); }
    bool IsAnimating() const { return animation_; }
    int PageNumber(int step) const;
    bool InMove() const { return inMove_; }
    bool SizeLocked() const { return sizeLock_; }
    skin::CSkinWindow* FocusedWindow() const override { return focus_; }
    skin::CSkinWindow* MouseCapture() const override { return capture_; }
    // Every control window, in creation order (the painting order).
    const std::vector<skin::CSkinWindow*>& ChildWindows() const { return children_; }

    // Messages from the queue (anyone may post there): those whose
    // parameters are pointers are refused.
    plat::LRESULT HandleWindowMessage(plat::HWND window, std::uint32_t message, plat::WPARAM wParam,
                                      plat::LPARAM lParam, const plat::CopyData* copyData) override;

private:
    // ISkinWindowHost
    plat::HWND HostWindow() const override { return window_; }
    void AddChildWindow(skin::CSkinWindow* window) override;
    void RemoveChildWindow(skin::CSkinWindow* window) override;
    void InvalidateArea(const plat::Rect& area) override;
    bool CaptureMouse(skin::CSkinWindow* window) override;
    bool ReleaseMouse(skin::CSkinWindow* window) override;
    void FocusWindow(skin::CSkinWindow* window) override;
    bool TrackMouseLeave(skin::CSkinWindow* window) override;
    void CancelMouseLeave(skin::CSkinWindow* window) override;
    plat::Point CursorPosition() const override;
    plat::Point ClientToScreen(plat::Point point) const override;
    skin::CSkinWindow* WindowFromPoint(plat::Point point) const override;
    plat::LRESULT SendToHost(std::uint32_t message, plat::WPARAM wParam,
                             plat::LPARAM lParam) override;
    // Every message of the dialog, pointers included (direct sends only).
    plat::LRESULT Dispatch(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam);
    void OnVisibleFlagChanged(skin::CSkinWindow* window, bool visible) override;

    // Initialisation from the theme root; the failure code, 0 on success.
    int Initialise(const tinyxml2::XMLElement* root);
    bool MakeSurface();
    void LoadIcons();
    // Creates a shared element's window before its Init, as the theme asks.
    template <typename T>
    std::unique_ptr<T> MakeSharedElement(const tinyxml2::XMLElement* forms, const char* name,
                                         const tinyxml2::XMLElement* profiles, bool keepOnFailure);
    void Paint();
    void PaintChildren(plat::Canvas& canvas, const plat::Rect& update);
    void AnimationTick();
    void ApplyWindowVisibility();
    void ResizeWindow(int width, int height);
    void OnCommand(plat::WPARAM wParam, plat::LPARAM lParam);
    // Sends a message back to the child it concerns (+OCM_BASE); false when
    // there is no such child.
    bool Reflect(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam,
                 skin::CSkinWindow* child, plat::LRESULT* result);
    skin::CSkinWindow* ChildByHandle(plat::HWND handle) const;
    skin::CSkinWindow* ChildById(int id) const;
    // Mouse and keyboard routing to the control windows.
    bool RouteMouse(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam);
    void RouteWheel(plat::WPARAM wParam, plat::LPARAM lParam);
    void RouteKey(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam);
    void MoveFocus(bool backwards);
    void UpdatePointer(skin::CSkinWindow* under);
    void OnCaptureChanged();

    plat::HWND window_ = 0;
    std::wstring title_;
    std::wstring versionText_;
    bool sizeLock_ = false;
    bool inMove_ = false;
    int lockedWidth_ = 0;
    int lockedHeight_ = 0;
    std::wstring productName_;
    bool animation_ = false;
    int currentStep_ = -1;
    bool redraw_ = false;
    bool captureFlag_ = false;
    ISkinFormNotify* notify_ = nullptr;
    std::vector<std::unique_ptr<skin::CSkinForm>> forms_;
    std::vector<int> pageNumbers_;
    std::unique_ptr<skin::CSkinText> textCaption_;
    std::unique_ptr<skin::CSkinText> textVersion_;
    std::unique_ptr<skin::CSkinText> textStep_;
    std::unique_ptr<skin::CSkinSprite> spriteStepBg_;
    int pageTotal_ = 0;
    int pageNumber_ = 0;
    bool numberingHidden_ = false;
    StepTextFormatter stepTextFormatter_;
    void* messageContext_ = nullptr;
    UserMessageCallback onUserMessage_ = nullptr;
    void* timerContext_ = nullptr;
    TimerCallback onTimer_ = nullptr;

    skin::CSkinTheme theme_;
    int initError_ = kInitOk;
    bool visible_ = false;
    std::unique_ptr<plat::IPresenter> presenter_;
    std::unique_ptr<plat::ISurface> surface_;
    plat::Bitmap largeIcon_, smallIcon_;
    std::vector<skin::CSkinWindow*> children_;
    std::unordered_map<const skin::CSkinWindow*, int> childForm_;
    skin::CSkinWindow* capture_ = nullptr;
    skin::CSkinWindow* focus_ = nullptr;
    skin::CSkinWindow* tracked_ = nullptr;
    bool shiftDown_ = false;
    std::vector<std::unique_ptr<skin::CSkinToolTip>> toolTips_;
};
