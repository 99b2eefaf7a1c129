// The shared button implementation: fonts, pictures and textures, the
// state looks, the label layouts, and the mouse and keyboard handling over
// an emulated platform button (press, capture, pushed state, click).

#include "skin/SkinButton.h"

#include "platform/Font.h"
#include "platform/Unicode.h"
#include "skin/SkinImage.h"
#include "skin/Texture.h"

#include <tinyxml2.h>

#include <algorithm>

namespace skin {

CSkinButtonTextCommon::CSkinButtonTextCommon(CSkinTheme* theme)
    : CSkinControl(theme, kTypeButton) {}

std::size_t CSkinButtonTextCommon::Slot(int state) {
    switch (state) {
    case kStateHover:
        return 0;
    case kStateDisabled:
        return 1;
    case kStatePressed:
        return 3;
    default:
        return 2;
    }
}

bool CSkinButtonTextCommon::Init(const tinyxml2::XMLElement* element,
                                 const tinyxml2::XMLElement* profiles) {
    const CElementKeys keys(element, profiles);
    if (!LoadFonts(keys))
        return false;
    keys.Bool("ignoreText", &ignoreText_);
    std::string text;
    keys.Text("text", &text);
    label_ = ApplyCase(plat::Utf8ToWide(text), caseMode_);
    LoadImages(keys);
    if (common_.region.IsEmpty()) {
        noImage_ = true;
        FitToText();
    }
    return true;
}

bool CSkinButtonTextCommon::LoadFonts(const CElementKeys& keys) {
    common_.ReadCommonAttributes(keys.Element());
    keys.Size("size", &size_);
    const tinyxml2::XMLElement* profile = keys.Profile();
    CFontSet& d = fonts_[Slot(kStateDisabled)];
    if (!d.Load(ChildElement(keys.Element(), "fontD"))) {
        if (!profile)
            return false;
        d.Load(ChildElement(profile, "fontD"));
    }
    caseMode_ = d.caseMode;
    auto load = [&](int state, int copyOf) {
        CFontSet& set = fonts_[Slot(state)];
        if (set.Load(ChildElement(keys.Element(), state == kStateHover    ? "fontH"
                                                  : state == kStateNormal ? "fontN"
                                                                          : "fontP")))
            return;
        if (profile) {
            set.Load(ChildElement(profile, state == kStateHover    ? "fontH"
                                           : state == kStateNormal ? "fontN"
                                                                   : "fontP"));
            return;
        }
        set = fonts_[Slot(copyOf)];
    };
    load(kStateHover, kStateDisabled);
    load(kStateNormal, kStateDisabled);
    load(kStatePressed, kStateHover);
    keys.Point("offset", &textOffset_);
    return true;
}

bool CSkinButtonTextCommon::LoadTexture(const CElementKeys& keys, const char* attribute,
                                        std::initializer_list<std::size_t> counts,
                                        std::vector<plat::Bitmap>* pieces) {
    pieces->clear();
    const tinyxml2::XMLElement* holder = keys.Holder(attribute);
    plat::Bitmap texture;
    if (!holder || !theme_->LoadThemeImage(holder, attribute, &texture))
        return false;
    std::vector<plat::Bitmap> sliced;
    SliceTexture(texture, &sliced);
    if (std::find(counts.begin(), counts.end(), sliced.size()) == counts.end()) {
        std::wstring expected;
        for (std::size_t count : counts)
            expected += (expected.empty() ? L"" : L" or ") + std::to_wstring(count);
        theme_->Log(L"Skin: texture \"" + plat::Utf8ToWide(holder->Attribute(attribute)) +
                    L"\" of \"" + plat::Utf8ToWide(common_.name) + L"\" has " +
                    std::to_wstring(sliced.size()) + L" pieces, " + expected +
                    L" expected: texture ignored");
        return false;
    }
    *pieces = std::move(sliced);
    return true;
}

void CSkinButtonTextCommon::BuildRegionFromLook() {
    common_.region = plat::Region();
    plat::Bitmap look;
    if (!look.Create(common_.rect.Width(), common_.rect.Height()))
        return;
    plat::Canvas canvas(&look);
    DrawBackground(0, canvas, look.Bounds(), true);
    RegionFromAlpha(look, theme_->buttonThreshold, &common_.region);
}

bool CSkinButtonTextCommon::LoadImages(const CElementKeys& keys) {
    if (LoadTexture(keys, "texture", {4, 36}, &pieces_)) {
        plat::Size size;
        keys.Size("size", &size);
        if (size.cx == 0 || size.cy == 0) {
            if (pieces_.size() != 4) {
                pieces_.clear();
                return false;
            }
            size = plat::Size{pieces_[0].Width(), pieces_[0].Height()};
        }
        textureSize_ = size;
        common_.rect = plat::Rect::FromSize(common_.rect.left, common_.rect.top, size.cx, size.cy);
        BuildRegionFromLook();
        return true;
    }
    const tinyxml2::XMLElement* holder = keys.Holder("imgN");
    if (!holder || !theme_->LoadThemeImage(holder, "imgN", &images_[kStateNormal]))
        return false;
    static constexpr const char* kNames[] = {"imgN", "imgH", "imgP", "imgD"};
    for (int state : {kStateHover, kStatePressed, kStateDisabled})
        if (const tinyxml2::XMLElement* h = keys.Holder(kNames[state]))
            theme_->LoadThemeImage(h, kNames[state], &images_[state]);
    const plat::Bitmap& normal = images_[kStateNormal];
    common_.rect =
        plat::Rect::FromSize(common_.rect.left, common_.rect.top, normal.Width(), normal.Height());
    common_.region = plat::Region();
    RegionFromAlpha(normal, theme_->buttonThreshold, &common_.region);
    return true;
}

int CSkinButtonTextCommon::LabelWidth(int state) const {
    std::shared_ptr<const plat::Font> font = FontOf(StateFont(state));
    if (!font)
        font = plat::DefaultFont();
    return font ? font->TextExtent(label_).cx : 0;
}

void CSkinButtonTextCommon::FitToText() {
    int width = 0;
    for (int state : {kStateNormal, kStatePressed, kStateHover, kStateDisabled}) {
        int candidate = 0;
        if (label_.empty()) {
            candidate = size_.cx;
        } else {
            const int textWidth = LabelWidth(state);
            if (textWidth >= 1)
                candidate = std::min(size_.cx, textureSize_.cx + textOffset_.x + textWidth + 3);
        }
        width = std::max(width, candidate);
    }
    const plat::Rect rect =
        plat::Rect::FromSize(common_.rect.left, common_.rect.top, width, size_.cy);
    common_.rect = rect;
    common_.region = plat::Region(plat::Rect{0, 0, rect.Width(), rect.Height()});
    if (HasWindow())
        MoveWindow(rect);
}

int CSkinButtonTextCommon::CurrentState() const {
    if (!enabled_)
        return kStateDisabled;
    if (pushed_)
        return kStatePressed;
    if (hover_)
        return kStateHover;
    return kStateNormal;
}

void CSkinButtonTextCommon::PaintWindow(plat::Canvas& canvas) {
    const plat::Size size = ClientSize();
    DrawItem(DrawItemRecord{&canvas, plat::Rect{0, 0, size.cx, size.cy}, pushed_});
}

bool CSkinButtonTextCommon::SyncPushedWithPointer() {
    if (!pressed_ || !Host() || Host()->MouseCapture() != this)
        return false;
    const bool over = CursorOverControl();
    if (over == pushed_)
        return false;
    pushed_ = over;
    Redraw();
    return true;
}

int CSkinButtonTextCommon::StateOf(const DrawItemRecord& record) const {
    if (!enabled_)
        return kStateDisabled;
    if (record.selected)
        return kStatePressed;
    return hover_ ? kStateHover : kStateNormal;
}

void CSkinButtonTextCommon::DrawItem(const DrawItemRecord& record) {
    if (SyncPushedWithPointer())
        return;
    const int state = StateOf(record);
    plat::Canvas& canvas = *record.canvas;
    if (pieces_.size() == 4 || pieces_.size() == 36) {
        DrawBackground(pieces_.size() == 4 ? state : 9 * state, canvas, record.item, false);
        return;
    }
    if (!noImage_) {
        const plat::Bitmap& normal = images_[kStateNormal];
        if (state == kStatePressed && !images_[kStatePressed].IsEmpty())
            DrawImage(canvas, images_[kStatePressed], record.item);
        else if (state == kStatePressed || normal.IsEmpty())
            plat::FillRect(canvas, record.item, plat::RGB(255, 255, 255));
        else if (state == kStateHover && !images_[kStateHover].IsEmpty())
            DrawImage(canvas, images_[kStateHover], record.item);
        else
            DrawImage(canvas, normal, record.item);
    }
    DrawLabel(state, canvas, record.item);
}

void CSkinButtonTextCommon::DrawBackground(int index, plat::Canvas& canvas, const plat::Rect& rect,
                                           bool skipLabel) {
    if (pieces_.size() == 36 && index >= 0 && index + 9 <= 36) {
        const plat::Bitmap* p = &pieces_[static_cast<std::size_t>(index)];
        const int columns[4] = {rect.left, rect.left + p[0].Width(), rect.right - p[8].Width(),
                                rect.right};
        const int rows[4] = {rect.top, rect.top + p[0].Height(), rect.bottom - p[8].Height(),
                             rect.bottom};
        for (int row = 0; row < 3; ++row)
            for (int column = 0; column < 3; ++column)
                DrawImage(
                    canvas, p[row * 3 + column],
                    plat::Rect{columns[column], rows[row], columns[column + 1], rows[row + 1]});
    } else if (pieces_.size() == 4 && index >= 0 && index < 4) {
        DrawImage(canvas, pieces_[static_cast<std::size_t>(index)], rect);
    }
    if (!skipLabel)
        DrawLabel(pieces_.size() == 36 ? index / 9 : index, canvas, rect);
}

void CSkinButtonTextCommon::DrawLabel(int, plat::Canvas&, const plat::Rect&) {}

void CSkinButtonTextCommon::SelectStateFont(plat::Canvas& canvas, int state) const {
    const bool known = state >= kStateNormal && state <= kStateDisabled;
    const CFontSet& set = StateFont(known ? state : kStateNormal);
    std::shared_ptr<const plat::Font> font = FontOf(set);
    canvas.SelectFont(font ? font : plat::DefaultFont());
    if (known)
        canvas.SetTextColor(set.color);
}

void CSkinButtonTextCommon::DrawText(plat::Canvas& canvas, int state, plat::Rect rect,
                                     unsigned format) const {
    SelectStateFont(canvas, state);
    canvas.SetBkMode(plat::TRANSPARENT);
    plat::DrawText(canvas, label_, &rect, format | plat::DT_SINGLELINE | plat::DT_NOPREFIX);
}

void CSkinButtonTextCommon::SetEnabled(bool enabled) {
    enabled_ = enabled;
    hover_ = false;
    Redraw();
}

bool CSkinButtonTextCommon::CursorOverControl() const {
    return Host() && Host()->WindowFromPoint(Host()->CursorPosition()) == this;
}

void CSkinButtonTextCommon::PlatformButtonDown() {
    if (!Host())
        return;
    Host()->FocusWindow(this);
    Host()->CaptureMouse(this);
    if (!pushed_) {
        pushed_ = true;
        Redraw();
    }
}

void CSkinButtonTextCommon::PlatformMouseMove() {
    if (!Host() || Host()->MouseCapture() != this)
        return;
    const bool over = CursorOverControl();
    if (over != pushed_) {
        pushed_ = over;
        Redraw();
    }
}

void CSkinButtonTextCommon::PlatformButtonUp() {
    if (!Host() || Host()->MouseCapture() != this)
        return;
    const bool click = pushed_;
    pushed_ = false;
    Host()->ReleaseMouse(this);
    Redraw();
    if (click && enabled_)
        NotifyParent(BN_CLICKED);
}

void CSkinButtonTextCommon::OnLButtonDown() {
    if (!enabled_)
        return;
    if (tracking_ && Host()) {
        Host()->CancelMouseLeave(this);
        tracking_ = false;
        hover_ = false;
    }
    pressed_ = true;
    Redraw();
    PlatformButtonDown();
}

void CSkinButtonTextCommon::OnLButtonUp() {
    if (enabled_) {
        pressed_ = false;
        Redraw();
    }
    // A button disabled while held still gives the mouse back.
    PlatformButtonUp();
}

void CSkinButtonTextCommon::OnMouseMove(plat::Point) {
    if (pressed_ && Host() && Host()->MouseCapture() == this) {
        PlatformMouseMove();
        return;
    }
    if (!hover_ && Host() && Host()->TrackMouseLeave(this)) {
        tracking_ = true;
        hover_ = true;
        Redraw();
    }
}

void CSkinButtonTextCommon::OnMouseLeave() {
    tracking_ = false;
    if (enabled_) {
        hover_ = false;
        Redraw();
    }
}

void CSkinButtonTextCommon::OnKillFocus() {
    if (Host() && Host()->MouseCapture() == this) {
        Host()->ReleaseMouse(this);
        pressed_ = false;
    }
    pushed_ = false;
    Redraw();
}

void CSkinButtonTextCommon::OnSetFocus() {
    Redraw();
}

void CSkinButtonTextCommon::OnSetText(const std::wstring& text) {
    label_ = ApplyCase(text, caseMode_);
    if (noImage_)
        FitToText();
    Redraw();
}

bool CSkinButtonTextCommon::OnNcHitTest(plat::Point point) const {
    return common_.region.Contains(point.x, point.y);
}

plat::LRESULT CSkinButtonTextCommon::WindowProc(std::uint32_t message, plat::WPARAM wParam,
                                                plat::LPARAM lParam) {
    switch (message) {
    case plat::WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnLButtonDown();
        return 0;
    case plat::WM_LBUTTONUP:
        OnLButtonUp();
        return 0;
    case plat::WM_MOUSEMOVE:
        OnMouseMove(plat::Point{plat::PointParamX(lParam), plat::PointParamY(lParam)});
        return 0;
    case plat::WM_MOUSELEAVE:
        OnMouseLeave();
        return 0;
    case plat::WM_KILLFOCUS:
        OnKillFocus();
        return 0;
    case plat::WM_SETFOCUS:
        OnSetFocus();
        return 0;
    case plat::WM_CAPTURECHANGED:
        if (pushed_) {
            pushed_ = false;
            Redraw();
        }
        return 0;
    case WM_NCHITTEST:
        return OnNcHitTest(plat::Point{plat::PointParamX(lParam), plat::PointParamY(lParam)})
                   ? HTCLIENT
                   : HTTRANSPARENT;
    case WM_SETTEXT:
        OnSetText(lParam ? *reinterpret_cast<const std::wstring*>(lParam) : std::wstring());
        return 1;
    case BM_GETSTATE:
        return pushed_ ? BST_PUSHED : BST_UNCHECKED;
    case BM_SETSTATE:
        if ((wParam != 0) != pushed_) {
            pushed_ = wParam != 0;
            Redraw();
        }
        return 0;
    case plat::WM_KEYDOWN:
        if (wParam != plat::VK_SPACE && wParam != plat::VK_RETURN)
            return 0;
        if (enabled_)
            NotifyParent(BN_CLICKED);
        return 1;
    default:
        return DefWindowProc(message, wParam, lParam);
    }
}

// --- "button" --------------------------------------------------------------

bool CSkinButton::Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* profiles) {
    const CElementKeys keys(element, profiles);
    common_.ReadCommonAttributes(element);
    keys.Bool("ignoreText", &ignoreText_);
    if (!LoadImages(keys))
        return false;
    LoadTexture(keys, "text", {4}, &labelPieces_);
    return true;
}

void CSkinButton::DrawLabel(int state, plat::Canvas& canvas, const plat::Rect& rect) {
    if (ignoreText_ || state < 0 || static_cast<std::size_t>(state) >= labelPieces_.size())
        return;
    const plat::Bitmap& piece = labelPieces_[static_cast<std::size_t>(state)];
    const int x = rect.left + (rect.Width() - piece.Width()) / 2;
    const int y = rect.top + (rect.Height() - piece.Height()) / 2;
    DrawImage(canvas, piece, plat::Rect::FromSize(x, y, piece.Width(), piece.Height()));
}

void CSkinButton::OnSetText(const std::wstring&) {
    // The label is a picture; a text has nowhere to go.
}

// --- "buttontext" ----------------------------------------------------------

void CSkinButtonText::DrawLabel(int state, plat::Canvas& canvas, const plat::Rect& rect) {
    if (ignoreText_)
        return;
    DrawText(canvas, state, rect.Offset(textOffset_.x, textOffset_.y),
             plat::DT_CENTER | plat::DT_VCENTER);
}

// --- "buttoncheck" ---------------------------------------------------------

void CSkinButtonCheck::DrawItem(const DrawItemRecord& record) {
    if (pieces_.size() == 4)
        DrawBackground(checked_ ? kStatePressed : StateOf(record), *record.canvas, record.item,
                       true);
}

void CSkinCheckedButton::SetChecked(bool checked) {
    if (checked == checked_)
        return;
    checked_ = checked;
    Redraw();
}

plat::LRESULT CSkinCheckedButton::WindowProc(std::uint32_t message, plat::WPARAM wParam,
                                             plat::LPARAM lParam) {
    if (message == BM_GETCHECK)
        return checked_ ? BST_CHECKED : BST_UNCHECKED;
    if (message == BM_SETCHECK) {
        SetChecked(wParam == BST_CHECKED);
        return 0;
    }
    return CSkinButtonTextCommon::WindowProc(message, wParam, lParam);
}

// --- "checkbox" ------------------------------------------------------------

bool CSkinCheckBox::Init(const tinyxml2::XMLElement* element,
                         const tinyxml2::XMLElement* profiles) {
    const CElementKeys keys(element, profiles);
    if (!LoadFonts(keys))
        return false;
    keys.Bool("checked", &checked_);
    keys.Bool("ignoreText", &ignoreText_);
    std::string text;
    keys.Text("text", &text);
    label_ = ApplyCase(plat::Utf8ToWide(text), caseMode_);
    if (!LoadTexture(keys, "texture", {8}, &pieces_))
        return false;
    plat::Size size;
    if (!keys.Size("size", &size) || size.cx == 0 || size.cy == 0)
        return false;
    size_ = size;
    textureSize_ = plat::Size{pieces_[0].Width(), pieces_[0].Height()};
    FitToText();
    return true;
}

int CSkinCheckBox::LabelFontState(int state) const {
    switch (state) {
    case kStateNormal:
        return checked_ ? kStatePressed : kStateDisabled;
    case kStatePressed:
        return kStateHover;
    case kStateHover:
        return kStatePressed;
    default:
        return kStateDisabled;
    }
}

void CSkinCheckBox::DrawItem(const DrawItemRecord& record) {
    if (SyncPushedWithPointer() || pieces_.size() != 8)
        return;
    const int state = StateOf(record);
    static constexpr int kFirstPiece[] = {0, 4, 2, 6}; // by state N, H, P, D
    const plat::Bitmap& box = pieces_[static_cast<std::size_t>(kFirstPiece[state] + checked_)];
    const plat::Rect& item = record.item;
    const int top = item.top + (item.Height() - box.Height()) / 2;
    DrawImage(*record.canvas, box, plat::Rect::FromSize(item.left, top, box.Width(), box.Height()));
    if (ignoreText_)
        return;
    // The label takes the rest of the width: FitToText sized the control to
    // the box, 3 pixels and the label.
    const plat::Rect label =
        plat::Rect{item.left + box.Width() + 3, item.top, item.right, item.bottom}.Offset(
            textOffset_.x, textOffset_.y);
    DrawText(*record.canvas, LabelFontState(state), label, plat::DT_LEFT | plat::DT_VCENTER);
}

void CSkinCheckBox::OnSetText(const std::wstring& text) {
    label_ = ApplyCase(text, caseMode_);
    FitToText();
    Redraw();
}

// --- "buttonicontext" ------------------------------------------------------

bool CSkinIconButtonText::Init(const tinyxml2::XMLElement* element,
                               const tinyxml2::XMLElement* profiles) {
    if (!CSkinButtonTextCommon::Init(element, profiles))
        return false;
    const CElementKeys keys(element, profiles);
    if (LoadTexture(keys, "textureIcon", {4}, &iconPieces_)) {
        keys.SizeInt("iconBorder", &iconBorder_);
        keys.Text("textAlign", &textAlign_);
        keys.Text("iconAlign", &iconAlign_);
    }
    return true;
}

CSkinIconButtonText::Layout CSkinIconButtonText::LayoutFor(int state,
                                                           const plat::Rect& rect) const {
    Layout layout;
    const int w = rect.Width();
    const plat::Bitmap* icon = state >= 0 && static_cast<std::size_t>(state) < iconPieces_.size()
                                   ? &iconPieces_[static_cast<std::size_t>(state)]
                                   : nullptr;
    const int iw = icon ? icon->Width() : 0;
    const int ih = icon ? icon->Height() : 0;
    const int tw = ignoreText_ ? 0 : LabelWidth(state);
    const int b = iconBorder_;
    const int top = (rect.bottom - ih) / 2;
    if (iconAlign_ == "left" || iconAlign_ == "right") {
        layout.icon = plat::Rect{0, top, w, top + ih};
        layout.label = rect;
    } else {
        const int x = std::max(b, (w - b - iw - tw) / 2);
        if (textAlign_ == "right") {
            layout.icon = plat::Rect{x, top, x + iw, top + ih};
            layout.label =
                plat::Rect{x + iw + b, rect.top, std::min(x + iw + b + tw, w - b), rect.bottom};
        } else {
            layout.label = plat::Rect{x, rect.top, w - x - iw - b, rect.bottom};
            layout.icon = plat::Rect{w - x - iw, top, w - x, top + ih};
        }
    }
    layout.label = layout.label.Offset(textOffset_.x, textOffset_.y);
    if (state == kStatePressed) {
        layout.icon = layout.icon.Offset(1, 1);
        layout.label = layout.label.Offset(1, 1);
    }
    return layout;
}

void CSkinIconButtonText::DrawLabel(int state, plat::Canvas& canvas, const plat::Rect& rect) {
    const Layout layout = LayoutFor(state, rect);
    if (!noImage_ && state >= 0 && static_cast<std::size_t>(state) < iconPieces_.size())
        DrawImage(canvas, iconPieces_[static_cast<std::size_t>(state)], layout.icon);
    if (!ignoreText_)
        DrawText(canvas, state, layout.label, plat::DT_CENTER | plat::DT_VCENTER);
}

} // namespace skin
