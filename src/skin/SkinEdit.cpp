#include "skin/SkinEdit.h"

#include "skin/SkinMessages.h"
#include "skin/ThemeAttributes.h"

#include <tinyxml2.h>

#include <algorithm>

namespace skin {

namespace {

const plat::COLORREF kSelectionBack = plat::RGB(51, 153, 255);
const plat::COLORREF kSelectionText = plat::RGB(255, 255, 255);

} // namespace

bool CSkinEdit::Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* profiles) {
    const CElementKeys keys(element, profiles);
    common_.ReadCommonAttributes(element);
    plat::Bitmap texture;
    if (theme_->LoadThemeImage(element, "texture", &texture)) {
        common_.rect = plat::Rect::FromSize(common_.rect.left, common_.rect.top, texture.Width(),
                                            texture.Height());
    } else {
        plat::Size size;
        if (!keys.Size("size", &size) || size.cx == 0 || size.cy == 0)
            return false;
        common_.rect = plat::Rect::FromSize(common_.rect.left, common_.rect.top, size.cx, size.cy);
    }
    keys.Colour("bgColor", &bgColor_);
    keys.Colour("fontColor", &fontColor_);
    // The field's font: the theme's when it gives one, else the dialog font.
    font_.Load(element, keys.Profile());
    return true;
}

std::shared_ptr<const plat::Font> CSkinEdit::EditFont() const {
    std::shared_ptr<const plat::Font> font = FontOf(font_);
    return font ? font : plat::DefaultFont();
}

int CSkinEdit::PixelOffset(int position) const {
    std::shared_ptr<const plat::Font> font = EditFont();
    if (!font || position <= 0)
        return 0;
    return font->TextExtent(WindowText().substr(0, static_cast<std::size_t>(position))).cx;
}

int CSkinEdit::PositionAt(int x) const {
    const int target = x - kMargin + scroll_;
    const int length = static_cast<int>(WindowText().size());
    int previous = 0;
    for (int i = 1; i <= length; ++i) {
        const int edge = PixelOffset(i);
        if (target * 2 < previous + edge)
            return i - 1;
        previous = edge;
    }
    return length;
}

void CSkinEdit::KeepCaretVisible() {
    const int room = std::max(1, ClientSize().cx - 2 * kMargin);
    const int at = PixelOffset(caret_);
    if (at - scroll_ > room)
        scroll_ = at - room;
    if (at < scroll_)
        scroll_ = at;
    const int total = PixelOffset(static_cast<int>(WindowText().size()));
    scroll_ = std::clamp(scroll_, 0, std::max(0, total - room));
    if (at < scroll_)
        scroll_ = at;
}

void CSkinEdit::SetSelection(int anchor, int caret) {
    const int length = static_cast<int>(WindowText().size());
    anchor_ = std::clamp(anchor, 0, length);
    caret_ = std::clamp(caret, 0, length);
    KeepCaretVisible();
    InvalidateWindow();
}

std::wstring CSkinEdit::SelectedText() const {
    return WindowText().substr(static_cast<std::size_t>(SelectionStart()),
                               static_cast<std::size_t>(SelectionEnd() - SelectionStart()));
}

void CSkinEdit::ReplaceSelection(const std::wstring& text) {
    std::wstring value = WindowText();
    const int start = SelectionStart();
    value.replace(static_cast<std::size_t>(start), static_cast<std::size_t>(SelectionEnd() - start),
                  text);
    DefWindowProc(WM_SETTEXT, 0, reinterpret_cast<plat::LPARAM>(&value));
    caret_ = anchor_ = start + static_cast<int>(text.size());
    KeepCaretVisible();
    InvalidateWindow();
}

void CSkinEdit::MoveCaret(int position, bool extend) {
    position = std::clamp(position, 0, static_cast<int>(WindowText().size()));
    caret_ = position;
    if (!extend)
        anchor_ = position;
    KeepCaretVisible();
    InvalidateWindow();
}

void CSkinEdit::OnKeyDown(plat::WPARAM key) {
    const int length = static_cast<int>(WindowText().size());
    switch (key) {
    case plat::VK_SHIFT:
        shift_ = true;
        break;
    case plat::VK_CONTROL:
        control_ = true;
        break;
    case plat::VK_LEFT:
        if (!shift_ && SelectionStart() != SelectionEnd())
            MoveCaret(SelectionStart(), false);
        else
            MoveCaret(caret_ - 1, shift_);
        break;
    case plat::VK_RIGHT:
        if (!shift_ && SelectionStart() != SelectionEnd())
            MoveCaret(SelectionEnd(), false);
        else
            MoveCaret(caret_ + 1, shift_);
        break;
    case plat::VK_HOME:
        MoveCaret(0, shift_);
        break;
    case plat::VK_END:
        MoveCaret(length, shift_);
        break;
    case plat::VK_DELETE:
        if (SelectionStart() == SelectionEnd()) {
            if (caret_ >= length)
                break;
            anchor_ = caret_ + 1;
        }
        ReplaceSelection(std::wstring());
        break;
    default:
        break;
    }
}

void CSkinEdit::OnChar(wchar_t c) {
    if (c == L'\b') {
        if (SelectionStart() == SelectionEnd()) {
            if (caret_ == 0)
                return;
            anchor_ = caret_ - 1;
        }
        ReplaceSelection(std::wstring());
        return;
    }
    if (c == 0x01) { // Ctrl+A
        SetSelection(0, static_cast<int>(WindowText().size()));
        return;
    }
    // A single-line field takes no line breaks, tabs or other controls.
    if (c < 0x20 || c == 0x7F)
        return;
    if (control_ && (c == L'a' || c == L'A')) {
        SetSelection(0, static_cast<int>(WindowText().size()));
        return;
    }
    ReplaceSelection(std::wstring(1, c));
}

void CSkinEdit::PaintWindow(plat::Canvas& canvas) {
    ControlColours colours{fontColor_, bgColor_, true};
    if (Host()) {
        // The dialog is asked for the colours and hands the question back to
        // the edit, as the platform's colour request goes.
        Host()->SendToHost(WM_CTLCOLOREDIT, reinterpret_cast<plat::WPARAM>(&colours),
                           static_cast<plat::LPARAM>(Handle()));
    }
    const plat::Size client = ClientSize();
    plat::FillRect(canvas, plat::Rect{0, 0, client.cx, client.cy}, colours.background);
    std::shared_ptr<const plat::Font> font = EditFont();
    if (!font)
        return;
    const int lineHeight = font->Metrics().height;
    const int top = (client.cy - lineHeight) / 2;
    canvas.IntersectClip(plat::Rect{1, 0, client.cx - 1, client.cy});
    canvas.SelectFont(font);
    canvas.SetBkMode(plat::TRANSPARENT);
    const std::wstring& text = WindowText();
    const int x0 = kMargin - scroll_;
    canvas.SetTextColor(colours.text);
    plat::Rect line =
        plat::Rect::FromSize(x0, top, PixelOffset(static_cast<int>(text.size())) + 1, lineHeight);
    plat::DrawText(canvas, text, &line, plat::DT_LEFT | plat::DT_SINGLELINE | plat::DT_NOPREFIX);
    if (SelectionStart() != SelectionEnd()) {
        const int left = x0 + PixelOffset(SelectionStart());
        const int right = x0 + PixelOffset(SelectionEnd());
        plat::FillRect(canvas, plat::Rect{left, top, right, top + lineHeight}, kSelectionBack);
        canvas.SetTextColor(kSelectionText);
        plat::Rect selected = plat::Rect{left, top, right + 1, top + lineHeight};
        plat::DrawText(canvas, SelectedText(), &selected,
                       plat::DT_LEFT | plat::DT_SINGLELINE | plat::DT_NOPREFIX);
    }
    if (focused_) {
        const int x = x0 + PixelOffset(caret_);
        plat::FillRect(canvas, plat::Rect{x, top, x + 1, top + lineHeight}, colours.text);
    }
}

plat::LRESULT CSkinEdit::WindowProc(std::uint32_t message, plat::WPARAM wParam,
                                    plat::LPARAM lParam) {
    switch (message) {
    case OCM_BASE + WM_CTLCOLOREDIT:
        if (auto* colours = reinterpret_cast<ControlColours*>(wParam)) {
            colours->text = fontColor_;
            colours->background = bgColor_;
            colours->opaque = true;
        }
        return 1;
    case WM_SETTEXT:
        DefWindowProc(message, wParam, lParam);
        caret_ = anchor_ = 0;
        scroll_ = 0;
        return 1;
    case plat::WM_SETFOCUS:
        focused_ = true;
        InvalidateWindow();
        return 0;
    case plat::WM_KILLFOCUS:
        focused_ = false;
        shift_ = control_ = false;
        InvalidateWindow();
        return 0;
    case plat::WM_KEYDOWN:
        // Tab, Return and Escape belong to the dialog.
        if (wParam == plat::VK_TAB || wParam == plat::VK_RETURN || wParam == plat::VK_ESCAPE)
            return 0;
        OnKeyDown(wParam);
        return 1;
    case plat::WM_KEYUP:
        if (wParam == plat::VK_SHIFT)
            shift_ = false;
        if (wParam == plat::VK_CONTROL)
            control_ = false;
        return 0;
    case plat::WM_CHAR:
        OnChar(static_cast<wchar_t>(wParam));
        return 0;
    case plat::WM_LBUTTONDOWN:
        if (Host()) {
            Host()->FocusWindow(this);
            Host()->CaptureMouse(this);
        }
        MoveCaret(PositionAt(plat::PointParamX(lParam)), (wParam & plat::MK_SHIFT) != 0);
        return 0;
    case plat::WM_MOUSEMOVE:
        if (Host() && Host()->MouseCapture() == this)
            MoveCaret(PositionAt(plat::PointParamX(lParam)), true);
        return 0;
    case plat::WM_LBUTTONUP:
        if (Host() && Host()->MouseCapture() == this)
            Host()->ReleaseMouse(this);
        return 0;
    default:
        return DefWindowProc(message, wParam, lParam);
    }
}

} // namespace skin
