// The dialog: creation from the theme, the steps and their shapes, the
// step text, the shared caption, version and step elements, painting,
// language changes, and the dialog's own messages. Mouse and keyboard
// routing to the control windows is in DialogInput.cpp.

#include "skin/Dialog.h"

#include "base/Strings.h"
#include "config/XmlQuery.h"
#include "platform/Resources.h"
#include "skin/SkinControl.h"
#include "skin/SkinForm.h"
#include "skin/SkinImage.h"
#include "skin/SkinMessages.h"
#include "skin/SkinStatic.h"
#include "skin/SkinToolTip.h"
#include "skin/ThemeAttributes.h"

#include <tinyxml2.h>

#include <algorithm>

using skin::CSkinControl;
using skin::CSkinForm;
using skin::CSkinWindow;

CDialog::CDialog() = default;

CDialog::~CDialog() {
    Destroy();
}

void CDialog::SetPresenter(std::unique_ptr<plat::IPresenter> presenter) {
    surface_.reset();
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

bool CDialog::Create(const tinyxml2::XMLElement* theme, const std::wstring& title) {
    if (window_)
        return false;
    initError_ = kInitOk;
    title_ = title;
    window_ = plat::CreateWindow(kWindowClass, title, this, false);
    if (!window_)
        return false;
    Dispatch(skin::WM_INITDIALOG, 0, reinterpret_cast<plat::LPARAM>(theme));
    if (initError_ != kInitOk) {
        const int code = initError_;
        Destroy();
        initError_ = code;
        return false;
    }
    return true;
}

void CDialog::Destroy() {
    toolTips_.clear();
    if (window_ && animation_)
        plat::KillTimer(window_, kAnimationTimer);
    animation_ = false;
    // The controls' windows go with their owners; what the dialog routes to
    // them is forgotten first.
    capture_ = focus_ = tracked_ = nullptr;
    textCaption_.reset();
    textVersion_.reset();
    textStep_.reset();
    spriteStepBg_.reset();
    forms_.clear();
    children_.clear();
    childForm_.clear();
    pageNumbers_.clear();
    surface_.reset();
    if (window_) {
        plat::DestroyWindow(window_);
        window_ = 0;
    }
    visible_ = false;
    currentStep_ = -1;
}

bool CDialog::SetCaption(const std::wstring& caption) {
    title_ = caption;
    if (surface_)
        surface_->SetTitle(caption);
    return window_ && plat::SetWindowText(window_, caption);
}

void CDialog::Show(bool visible) {
    visible_ = visible;
    ApplyWindowVisibility();
}

void CDialog::ApplyWindowVisibility() {
    if (!surface_)
        return;
    const bool shown = visible_ && currentStep_ != -1;
    if (!shown && surface_->IsVisible()) {
        for (const auto& tip : toolTips_)
            tip->Hide();
    }
    surface_->Show(shown);
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

// --- creation ---------------------------------------------------------------

template <typename T>
std::unique_ptr<T> CDialog::MakeSharedElement(const tinyxml2::XMLElement* forms, const char* name,
                                              const tinyxml2::XMLElement* profiles,
                                              bool keepOnFailure) {
    const tinyxml2::XMLElement* element = forms->FirstChildElement(name);
    if (!element)
        return nullptr;
    auto shared = std::make_unique<T>(&theme_);
    // The window comes first, at the element's rectangle as it stands
    // before Init; ShowStep and the step text move it into place.
    if (!shared->CreateWindowIn(this))
        return nullptr;
    if (!shared->Init(element, profiles) && !keepOnFailure)
        return nullptr;
    return shared;
}

int CDialog::Initialise(const tinyxml2::XMLElement* root) {
    if (!root)
        return kInitNoRegionOrSteps;
    const tinyxml2::XMLElement* profiles = root->FirstChildElement("profiles");
    const tinyxml2::XMLElement* region = config::QueryElement(root, "common/region");
    if (!region)
        return kInitNoRegionOrSteps;
    theme_.useAlpha = true;
    skin::ReadBool(region, "useAlpha", &theme_.useAlpha);
    int sense = 50;
    skin::ReadInt(region, "alphaSense", &sense);
    theme_.alphaSense = static_cast<std::uint8_t>(sense < 0 || sense > 255 ? 50 : sense);

    const tinyxml2::XMLElement* forms = root->FirstChildElement("forms");
    if (!forms || !forms->FirstChildElement("step"))
        return kInitNoRegionOrSteps;
    for (const tinyxml2::XMLElement* step = forms->FirstChildElement("step"); step;
         step = step->NextSiblingElement("step")) {
        auto form = std::make_unique<CSkinForm>(&theme_);
        if (!form->Init(step, profiles))
            return kInitStepFailed;
        forms_.push_back(std::move(form));
    }
    pageNumbers_.assign(forms_.size(), 0);
    if (!MakeSurface())
        return kInitWindowFailed;

    for (const auto& form : forms_) {
        for (int i = 0; i < form->GetControlCount(); ++i) {
            CSkinControl* control = form->GetControl(i);
            if (!control->CreateWindowIn(this) || !control->HasWindow())
                return kInitWindowFailed;
            childForm_[control] = form->GetNum();
        }
    }
    spriteStepBg_ = MakeSharedElement<skin::CSkinSprite>(forms, "sprite_stepbg", profiles, true);
    textCaption_ = MakeSharedElement<skin::CSkinText>(forms, "text_caption", profiles, false);
    textStep_ = MakeSharedElement<skin::CSkinText>(forms, "text_step", profiles, false);
    textVersion_ = MakeSharedElement<skin::CSkinText>(forms, "text_version", profiles, false);
    RefreshCaption();
    if (textVersion_)
        textVersion_->SetWindowText(versionText_);
    plat::SetWindowText(window_, title_);

    const tinyxml2::XMLElement* animation = config::QueryElement(root, "common/animation");
    bool use = false;
    if (animation && skin::ReadBool(animation, "use", &use) && use) {
        int elapse = 10;
        skin::ReadInt(animation, "timerElapse", &elapse);
        elapse = std::clamp(elapse, 10, 5000);
        animation_ = true;
        plat::SetTimer(window_, kAnimationTimer, static_cast<unsigned>(elapse));
    }
    return kInitOk;
}

bool CDialog::MakeSurface() {
    if (!presenter_)
        return true; // a dialog without a presenter keeps its state only
    plat::Size size{1, 1};
    for (const auto& form : forms_)
        if (!form->GetImage().IsEmpty()) {
            size = form->GetSize();
            break;
        }
    plat::SurfaceOptions options;
    options.kind = plat::SurfaceKind::Main;
    options.window = window_;
    options.className = kWindowClass;
    options.title = title_;
    options.bounds = plat::Rect::FromSize(0, 0, size.cx, size.cy);
    options.topmost = true;
    surface_ = presenter_->CreateSurface(options);
    if (!surface_)
        return false;
    LoadIcons();
    return true;
}

void CDialog::LoadIcons() {
    // Icon resource 101, a PNG, at 32 and 16 pixels.
    plat::ResourceData icon;
    plat::Bitmap picture;
    if (!plat::FindResource("ICON", 101, &icon) ||
        !skin::DecodeImage(icon.data, icon.size, true, &picture))
        return;
    auto scaled = [&](int side, plat::Bitmap* out) {
        if (!out->Create(side, side))
            return;
        plat::Canvas canvas(out);
        plat::StretchBlt(canvas, 0, 0, side, side, picture, 0, 0, picture.Width(),
                         picture.Height());
    };
    scaled(32, &largeIcon_);
    scaled(16, &smallIcon_);
    surface_->SetIcons(&largeIcon_, &smallIcon_);
}

void CDialog::AddChildWindow(CSkinWindow* window) {
    children_.push_back(window);
}

void CDialog::RemoveChildWindow(CSkinWindow* window) {
    std::erase(children_, window);
    childForm_.erase(window);
    if (capture_ == window)
        capture_ = nullptr;
    if (focus_ == window)
        focus_ = nullptr;
    if (tracked_ == window)
        tracked_ = nullptr;
}

// --- steps ------------------------------------------------------------------

CSkinForm* CDialog::FormByNum(int num) const {
    for (const auto& form : forms_)
        if (form->GetNum() == num)
            return form.get();
    return nullptr;
}

void CDialog::ResizeWindow(int width, int height) {
    if (!surface_ || width < 1 || height < 1)
        return;
    if (sizeLock_) {
        width = lockedWidth_;
        height = lockedHeight_;
    }
    const plat::Rect bounds = surface_->Bounds();
    surface_->SetBounds(plat::Rect::FromSize(bounds.left, bounds.top, width, height));
}

bool CDialog::ShowStep(int step, int variant) {
    for (skin::CSkinText* shared : {textCaption_.get(), textVersion_.get()})
        if (shared) {
            shared->MoveWindow(shared->GetRect());
            shared->ShowWindow(true);
        }
    bool found = false;
    for (const auto& form : forms_) {
        if (form->GetNum() != step)
            continue;
        found = true;
        form->SetSize(variant);
        if (surface_)
            surface_->SetShape(form->GetRegion().IsEmpty() ? nullptr : &form->GetRegion());
        const plat::Rect rect = form->GetRect();
        if (inMove_)
            sizeLock_ = true;
        lockedWidth_ = rect.Width();
        lockedHeight_ = rect.Height();
        ResizeWindow(rect.Width(), rect.Height());
        if (currentStep_ == -1 && surface_ && presenter_) {
            const plat::Size screen = presenter_->ScreenSize();
            const plat::Rect bounds = surface_->Bounds();
            surface_->SetBounds(plat::Rect::FromSize((screen.cx - bounds.Width()) / 2,
                                                     (screen.cy - bounds.Height()) / 2,
                                                     bounds.Width(), bounds.Height()));
        }
        currentStep_ = step;
    }
    UpdateStepText();
    if (!found)
        return false;
    for (const auto& form : forms_) {
        const bool current = form->GetNum() == currentStep_;
        for (int i = 0; i < form->GetControlCount(); ++i) {
            CSkinControl* control = form->GetControl(i);
            control->ShowWindow(current && control->IsVisible());
        }
    }
    for (const auto& tip : toolTips_)
        if (!tip->Tool()->IsWindowVisible())
            tip->Hide();
    if (textCaption_)
        FocusWindow(textCaption_.get());
    if (surface_)
        surface_->Invalidate(nullptr);
    ApplyWindowVisibility();
    return true;
}

void CDialog::SetStepNumber(int step, int page) {
    if (step >= 1 && step <= static_cast<int>(pageNumbers_.size()))
        pageNumbers_[static_cast<std::size_t>(step - 1)] = page;
}

int CDialog::PageNumber(int step) const {
    if (step < 1 || step > static_cast<int>(pageNumbers_.size()))
        return 0;
    return pageNumbers_[static_cast<std::size_t>(step - 1)];
}

void CDialog::UpdateStepText() {
    if (!textStep_ || currentStep_ < 1 || static_cast<int>(pageNumbers_.size()) < currentStep_)
        return;
    pageNumber_ = pageNumbers_[static_cast<std::size_t>(currentStep_ - 1)];
    const bool shown = pageNumber_ >= 1 && !numberingHidden_;
    if (spriteStepBg_) {
        spriteStepBg_->ShowWindow(shown);
        spriteStepBg_->SetVisible(shown);
        spriteStepBg_->MoveWindow(spriteStepBg_->GetRect());
    }
    const std::wstring format = theme_.GetString(41);
    std::wstring text;
    if (!format.empty())
        text = stepTextFormatter_ ? stepTextFormatter_(format, pageNumber_, pageTotal_)
                                  : base::FormatW(format.c_str(), pageNumber_, pageTotal_);
    textStep_->SetWindowText(text);
    textStep_->ShowWindow(shown);
    textStep_->SetVisible(shown);
    textStep_->MoveWindow(textStep_->GetRect());
}

skin::ISkinable* CDialog::FindControl(int id) const {
    // Controls without a known function name share -1 and are never found.
    CSkinWindow* child = id == -1 ? nullptr : ChildById(id);
    if (!child)
        return nullptr;
    for (const auto& form : forms_)
        for (int i = 0; i < form->GetControlCount(); ++i)
            if (form->GetControl(i)->Handle() == child->Handle())
                return form->GetControl(i);
    return nullptr;
}

CSkinWindow* CDialog::ChildById(int id) const {
    for (CSkinWindow* child : children_)
        if (child->ControlId() == id && child->HasWindow())
            return child;
    return nullptr;
}

CSkinWindow* CDialog::ChildByHandle(plat::HWND handle) const {
    for (CSkinWindow* child : children_)
        if (child->Handle() == handle)
            return child;
    return nullptr;
}

void CDialog::ChangeLanguage(const std::string& imagePrefix, int fontIndex) {
    theme_.SetLanguagePrefix(imagePrefix);
    theme_.SetFontIndex(fontIndex);
    // Every step that shows language pictures reads them again, not only
    // the one shown now: a step shown later must not keep the old language.
    for (const auto& form : forms_)
        form->ReloadImages();
    if (spriteStepBg_)
        spriteStepBg_->ReloadImages();
    RefreshCaption();
    UpdateStepText();
    if (surface_)
        surface_->Invalidate(nullptr);
}

void CDialog::RefreshCaption() {
    if (textCaption_)
        textCaption_->SetWindowText(productName_ + L" " + theme_.GetString(111));
}

bool CDialog::SetToolTip(int controlId, const std::wstring& text, int maxWidth) {
    CSkinWindow* tool = ChildById(controlId);
    if (!tool)
        return false;
    std::erase_if(toolTips_, [&](const auto& tip) { return tip->Tool() == tool; });
    toolTips_.push_back(std::make_unique<skin::CSkinToolTip>(tool, text, maxWidth));
    return true;
}

const skin::CSkinToolTip* CDialog::ToolTip(int controlId) const {
    for (const auto& tip : toolTips_)
        if (tip->Tool()->ControlId() == controlId)
            return tip.get();
    return nullptr;
}

// --- painting ---------------------------------------------------------------

void CDialog::InvalidateArea(const plat::Rect& area) {
    if (surface_)
        surface_->Invalidate(&area);
}

void CDialog::Paint() {
    if (!surface_)
        return;
    plat::PaintStruct paint;
    surface_->BeginPaint(&paint);
    if (!paint.canvas || paint.update.IsEmpty()) {
        surface_->EndPaint(paint);
        return;
    }
    for (const auto& form : forms_)
        if (form->GetNum() == currentStep_) {
            form->Draw(*paint.canvas, paint.bounds);
            break;
        }
    // The shared elements follow their visible flags.
    if (textCaption_)
        textCaption_->ShowWindow(textCaption_->IsVisible());
    if (textStep_)
        textStep_->ShowWindow(textStep_->IsVisible());
    if (spriteStepBg_)
        spriteStepBg_->ShowWindow(spriteStepBg_->IsVisible());
    if (textVersion_)
        textVersion_->ShowWindow(textVersion_->IsVisible());
    PaintChildren(*paint.canvas, paint.bounds);
    redraw_ = false;
    surface_->EndPaint(paint);
}

void CDialog::PaintChildren(plat::Canvas& canvas, const plat::Rect& update) {
    const plat::Region clip = canvas.Clip();
    for (CSkinWindow* child : children_) {
        if (!child->IsWindowVisible())
            continue;
        const plat::Rect rect = child->WindowRect();
        if (rect.Intersect(update).IsEmpty())
            continue;
        canvas.SetClip(&clip);
        canvas.SetOrigin(plat::Point{rect.left, rect.top});
        canvas.IntersectClip(plat::Rect{0, 0, rect.Width(), rect.Height()});
        child->PaintWindow(canvas);
    }
    canvas.SetOrigin(plat::Point{});
    canvas.SetClip(&clip);
}

void CDialog::AnimationTick() {
    theme_.animationPosition += 8;
    for (const auto& form : forms_) {
        if (form->GetNum() != currentStep_)
            continue;
        for (int i = 0; i < form->GetControlCount(); ++i) {
            auto* range = dynamic_cast<skin::CSkinSpriteRange*>(form->GetControl(i));
            if (!range || !range->IsVisible())
                continue;
            range->SetPosition(theme_.animationPosition);
            if (range->Range() > 0)
                range->InvalidateWindow();
        }
        break;
    }
}

// --- messages ---------------------------------------------------------------

bool CDialog::Reflect(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam,
                      CSkinWindow* child, plat::LRESULT* result) {
    if (!child)
        return false;
    *result = child->Send(skin::OCM_BASE + message, wParam, lParam);
    return true;
}

void CDialog::OnCommand(plat::WPARAM wParam, plat::LPARAM lParam) {
    const std::uint32_t code = static_cast<std::uint32_t>(wParam >> 16) & 0xFFFF;
    if (code == skin::BN_CLICKED) {
        int id = static_cast<int>(wParam & 0xFFFF);
        if (id == skin::IDOK || id == skin::IDCANCEL)
            id = 12345;
        if (notify_)
            notify_->OnBtnClicked(id);
        return;
    }
    if (code == skin::CBN_SELCHANGE) {
        if (notify_)
            notify_->OnCBNSelChange(static_cast<unsigned>(wParam));
        return;
    }
    plat::LRESULT ignored = 0;
    Reflect(skin::WM_COMMAND, wParam, lParam, ChildByHandle(static_cast<plat::HWND>(lParam)),
            &ignored);
}

plat::LRESULT CDialog::HandleWindowMessage(plat::HWND, std::uint32_t message, plat::WPARAM wParam,
                                           plat::LPARAM lParam, const plat::CopyData*) {
    if (CSkinWindow::CarriesPointers(message))
        return 0;
    return Dispatch(message, wParam, lParam);
}

plat::LRESULT CDialog::SendToHost(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
    return Dispatch(message, wParam, lParam);
}

plat::LRESULT CDialog::Dispatch(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
    plat::LRESULT result = 0;
    switch (message) {
    case skin::WM_INITDIALOG:
        initError_ = Initialise(reinterpret_cast<const tinyxml2::XMLElement*>(lParam));
        return initError_ == kInitOk ? 1 : 0;
    case skin::WM_COMMAND:
        OnCommand(wParam, lParam);
        return 0;
    case skin::WM_DRAWITEM:
        Reflect(message, wParam, lParam, ChildById(static_cast<int>(wParam)), &result);
        return result;
    case skin::WM_CTLCOLOREDIT:
    case skin::WM_CTLCOLORSTATIC:
    case skin::WM_VSCROLL:
        Reflect(message, wParam, lParam, ChildByHandle(static_cast<plat::HWND>(lParam)), &result);
        return result;
    case plat::WM_PAINT:
        Paint();
        return 0;
    case plat::WM_CLOSE:
        // The window manager's close request is the platform's Cancel.
        OnCommand(skin::IDCANCEL, 0);
        return 0;
    case plat::WM_ENTERSIZEMOVE:
        inMove_ = true;
        return 0;
    case plat::WM_EXITSIZEMOVE:
        inMove_ = false;
        sizeLock_ = false;
        return 0;
    case plat::WM_CAPTURECHANGED:
        captureFlag_ = false;
        OnCaptureChanged();
        return 0;
    case plat::WM_TIMER:
        if (onTimer_ && onTimer_(timerContext_, wParam))
            return 0;
        AnimationTick();
        return 0;
    case plat::WM_MOUSEMOVE:
    case plat::WM_LBUTTONDOWN:
    case plat::WM_LBUTTONUP:
    case plat::WM_RBUTTONDOWN:
    case plat::WM_RBUTTONUP:
    case plat::WM_MBUTTONDOWN:
    case plat::WM_MBUTTONUP:
    case skin::WM_LBUTTONDBLCLK:
        RouteMouse(message, wParam, lParam);
        return 0;
    case plat::WM_MOUSEWHEEL:
        RouteWheel(wParam, lParam);
        return 0;
    case plat::WM_MOUSELEAVE:
        UpdatePointer(nullptr);
        return 0;
    case plat::WM_KEYDOWN:
    case plat::WM_KEYUP:
    case plat::WM_CHAR:
        RouteKey(message, wParam, lParam);
        return 0;
    case plat::WM_SETFOCUS:
        if (focus_)
            focus_->Send(plat::WM_SETFOCUS);
        return 0;
    case plat::WM_KILLFOCUS:
        if (focus_)
            focus_->Send(plat::WM_KILLFOCUS);
        return 0;
    default:
        break;
    }
    if (message >= skin::kOwnerMessageFirst && message <= skin::kOwnerMessageLast) {
        if (onUserMessage_)
            onUserMessage_(messageContext_, message, wParam, lParam);
        return 0;
    }
    if (message == plat::WM_COPYDATA && onUserMessage_)
        onUserMessage_(messageContext_, message, wParam, lParam);
    return 0;
}
