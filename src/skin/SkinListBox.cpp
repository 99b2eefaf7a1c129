// The list box with its scroll bar: items, top index and selection, the
// scroll commands, keys and wheel, and the scroll bar's geometry, drawing
// and mouse handling with its auto-repeat.

#include "skin/SkinListBox.h"

#include "platform/Unicode.h"
#include "skin/SkinMessages.h"
#include "skin/Texture.h"
#include "skin/ThemeAttributes.h"

#include <tinyxml2.h>

#include <algorithm>
#include <cstdlib>

namespace skin {

// --- scroll bar ------------------------------------------------------------

bool CSkinScrollBar::Init(const tinyxml2::XMLElement* element,
                          const tinyxml2::XMLElement* profiles) {
    const CElementKeys keys(element, profiles);
    common_.ReadCommonAttributes(element);
    bool fromTexture = false;
    if (const tinyxml2::XMLElement* holder = keys.Holder("texture")) {
        plat::Bitmap texture;
        std::vector<plat::Bitmap> pieces;
        if (theme_->LoadThemeImage(holder, "texture", &texture) && SliceTexture(texture, &pieces) &&
            pieces.size() == 8) {
            for (std::size_t i = 0; i < 8; ++i)
                images_[i] = std::move(pieces[i]);
            pieceCount_ = 8;
            fromTexture = true;
        } else {
            theme_->Log(L"Skin: scroll bar texture \"" +
                        plat::Utf8ToWide(holder->Attribute("texture")) + L"\" has " +
                        std::to_wstring(pieces.size()) + L" pieces, 8 expected: texture ignored");
        }
    }
    if (!fromTexture) {
        static constexpr const char* kNames[] = {"imgBtnUpN", "imgBtnUpH", "imgBtnUpP", "imgBtnDnN",
                                                 "imgBtnDnH", "imgBtnDnP", "imgBg",     "imgThumb"};
        for (std::size_t i = 0; i < 8; ++i)
            if (const tinyxml2::XMLElement* holder = keys.Holder(kNames[i]))
                theme_->LoadThemeImage(holder, kNames[i], &images_[i]);
        for (std::size_t required : {0u, 3u, 6u, 7u})
            if (images_[required].IsEmpty())
                return false;
    }
    const int width = images_[6].Width();
    const int height = images_[0].Height() + images_[6].Height() + images_[3].Height();
    common_.rect = plat::Rect::FromSize(common_.rect.left, common_.rect.top, width, height);
    return true;
}

plat::Rect CSkinScrollBar::UpButton() const {
    return plat::Rect{0, 0, images_[0].Width(), images_[0].Height()};
}

plat::Rect CSkinScrollBar::Track() const {
    const int top = images_[0].Height();
    return plat::Rect{0, top, images_[6].Width(), top + images_[6].Height()};
}

plat::Rect CSkinScrollBar::DownButton() const {
    const int top = Track().bottom;
    return plat::Rect{0, top, images_[3].Width(), top + images_[3].Height()};
}

int CSkinScrollBar::Travel() const {
    return images_[6].Height() - images_[7].Height();
}

int CSkinScrollBar::ThumbTopFor(int position) const {
    const int range = maximum_ - minimum_ == 0 ? 1 : maximum_ - minimum_;
    return Track().top +
           static_cast<int>(static_cast<long long>(Travel()) * (position - minimum_) / range);
}

int CSkinScrollBar::PositionForThumbTop(int top) const {
    const int travel = Travel();
    if (travel <= 0)
        return minimum_;
    const int percent = (top - Track().top) * 100 / travel;
    return static_cast<int>(static_cast<long long>(percent) * (maximum_ - minimum_) / 100) +
           minimum_;
}

plat::Rect CSkinScrollBar::Thumb() const {
    if (Travel() <= 0)
        return plat::Rect{};
    const int top = ThumbTopFor(position_);
    return plat::Rect{0, top, images_[7].Width(), top + images_[7].Height()};
}

void CSkinScrollBar::SetRange(int minimum, int maximum, bool redraw) {
    minimum_ = minimum;
    maximum_ = std::max(minimum, maximum);
    position_ = std::clamp(position_, minimum_, maximum_);
    if (redraw)
        InvalidateWindow();
}

void CSkinScrollBar::SetPos(int position, bool redraw) {
    position_ = std::clamp(position, minimum_, maximum_);
    if (redraw)
        InvalidateWindow();
}

void CSkinScrollBar::PaintWindow(plat::Canvas& canvas) {
    auto draw = [&](const plat::Bitmap& image, int x, int y) {
        DrawImage(canvas, image, plat::Rect::FromSize(x, y, image.Width(), image.Height()));
    };
    auto look = [&](std::size_t normal, bool held) -> const plat::Bitmap& {
        return held && !images_[normal + 2].IsEmpty() ? images_[normal + 2] : images_[normal];
    };
    draw(look(0, held_ == kUp), 0, 0);
    draw(images_[6], 0, Track().top);
    draw(look(3, held_ == kDown), 0, DownButton().top);
    const plat::Rect thumb = Thumb();
    if (!thumb.IsEmpty())
        draw(images_[7], 0, held_ == kThumb ? dragTop_ : thumb.top);
}

void CSkinScrollBar::Command(int code, int position) {
    if (list_)
        list_->OnScrollCommand(code, position);
}

void CSkinScrollBar::OnLButtonDown(plat::Point point) {
    if (Host() && list_)
        Host()->FocusWindow(list_);
    const plat::Rect thumb = Thumb();
    const plat::Rect track = Track();
    held_ = kNone;
    if (UpButton().Contains(point.x, point.y)) {
        held_ = kUp;
        InvalidateWindow();
        Command(SB_LINEUP);
    } else if (DownButton().Contains(point.x, point.y)) {
        held_ = kDown;
        InvalidateWindow();
        Command(SB_LINEDOWN);
    } else if (thumb.Contains(point.x, point.y)) {
        held_ = kThumb;
        dragOffset_ = point.y - thumb.top;
        dragTop_ = thumb.top;
    } else if (!track.Contains(point.x, point.y)) {
        held_ = kNone;
    } else if (point.y < thumb.top) {
        held_ = kPageUp;
        Command(SB_PAGEUP);
    } else if (point.y < thumb.bottom) {
        held_ = kNone;
    } else {
        held_ = kPageDown;
        Command(SB_PAGEDOWN);
    }
    if (held_ != kThumb)
        plat::SetTimer(Handle(), kRepeatTimer, kRepeatMs);
    lastPoint_ = point;
    if (Host())
        Host()->CaptureMouse(this);
}

void CSkinScrollBar::OnRepeat() {
    const plat::Point p = lastPoint_;
    const plat::Rect track = Track();
    const plat::Rect thumb = Thumb();
    switch (held_) {
    case kUp:
        if (UpButton().Contains(p.x, p.y))
            Command(SB_LINEUP);
        break;
    case kDown:
        if (DownButton().Contains(p.x, p.y))
            Command(SB_LINEDOWN);
        break;
    case kPageUp:
        if (track.Contains(p.x, p.y) && p.y < thumb.top)
            Command(SB_PAGEUP);
        break;
    case kPageDown:
        if (track.Contains(p.x, p.y) && p.y >= thumb.bottom)
            Command(SB_PAGEDOWN);
        break;
    default:
        break;
    }
}

void CSkinScrollBar::OnMouseMove(plat::Point point) {
    lastPoint_ = point;
    const plat::Rect track = Track();
    if (held_ != kThumb || point.y < track.top || point.y > track.bottom)
        return;
    const int newTop =
        std::clamp(point.y - dragOffset_, track.top, track.bottom - images_[7].Height());
    const int position = PositionForThumbTop(newTop);
    const bool changed = position != PositionForThumbTop(dragTop_);
    dragTop_ = newTop;
    if (changed)
        Command(SB_THUMBTRACK, position);
    InvalidateWindow();
}

void CSkinScrollBar::OnLButtonUp() {
    if (held_ == kThumb)
        Command(SB_THUMBPOSITION, PositionForThumbTop(dragTop_));
    if (held_ != kNone) {
        Command(SB_ENDSCROLL);
        held_ = kNone;
        InvalidateWindow();
    }
    plat::KillTimer(Handle(), kRepeatTimer);
    if (Host() && Host()->MouseCapture() == this)
        Host()->ReleaseMouse(this);
}

plat::LRESULT CSkinScrollBar::WindowProc(std::uint32_t message, plat::WPARAM wParam,
                                         plat::LPARAM lParam) {
    const plat::Point point{plat::PointParamX(lParam), plat::PointParamY(lParam)};
    switch (message) {
    case plat::WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK:
        OnLButtonDown(point);
        return 0;
    case plat::WM_MOUSEMOVE:
        OnMouseMove(point);
        return 0;
    case plat::WM_LBUTTONUP:
        OnLButtonUp();
        return 0;
    case plat::WM_TIMER:
        if (wParam == kRepeatTimer)
            OnRepeat();
        return 0;
    case plat::WM_MOUSEWHEEL:
        return list_ ? list_->Send(message, wParam, lParam) : 0;
    case WM_NCHITTEST:
        return common_.region.IsEmpty() || common_.region.Contains(point.x, point.y)
                   ? HTCLIENT
                   : HTTRANSPARENT;
    default:
        return DefWindowProc(message, wParam, lParam);
    }
}

// --- list box --------------------------------------------------------------

CSkinListBox::~CSkinListBox() {
    if (scroll_)
        scroll_->DestroyControlWindow();
}

bool CSkinListBox::Init(const tinyxml2::XMLElement* element, const tinyxml2::XMLElement* profiles) {
    const CElementKeys keys(element, profiles);
    common_.ReadCommonAttributes(element);
    if (const tinyxml2::XMLElement* holder = keys.Holder("imgItemH"))
        theme_->LoadThemeImage(holder, "imgItemH", &imgItemH_);
    keys.Colour("fontColor", &fontColor_);
    keys.Colour("fontColorH", &fontColorH_);
    keys.Text("align", &align_);
    ReadSizeInt(element, "maxCharsInLine", &maxCharsInLine_);
    if (!font_.Load(element, keys.Profile()))
        return false;
    const int first = font_.FirstHeight();
    rowHeight_ = first > 0 ? first : 5 + std::abs(first);
    if (!imgItemH_.IsEmpty() && imgItemH_.Height() > rowHeight_)
        rowHeight_ = imgItemH_.Height();
    rowHeight_ = std::max(rowHeight_, 1);
    if (const tinyxml2::XMLElement* scroll = keys.Child("scroll")) {
        scroll_ = std::make_unique<CSkinScrollBar>(theme_, this);
        if (!scroll_->Init(scroll, profiles))
            return false;
    }
    return true;
}

bool CSkinListBox::CreateWindowIn(ISkinWindowHost* host) {
    if (!CSkinControl::CreateWindowIn(host))
        return false;
    if (scroll_) {
        if (!scroll_->CreateWindowIn(host))
            return false;
        scroll_->ShowWindow(false);
    }
    return true;
}

int CSkinListBox::RowsPerPage() const {
    return common_.rect.Height() / rowHeight_;
}

int CSkinListBox::TextRoom() const {
    return common_.rect.Width() - 2 * kTextMargin;
}

int CSkinListBox::MaxTop() const {
    return std::max(0, GetItemCount() - RowsPerPage());
}

void CSkinListBox::AddItem(const std::wstring& text) {
    items_.push_back(text);
    ItemsChanged();
}

void CSkinListBox::DeleteAllItems() {
    items_.clear();
    selected_ = -1;
    ItemsChanged();
}

void CSkinListBox::ItemsChanged() {
    if (scroll_) {
        if (BarNeeded()) {
            scroll_->SetRange(0, GetItemCount() - RowsPerPage(), false);
            scroll_->ShowWindow(IsWindowVisible());
        } else {
            scroll_->ShowWindow(false);
        }
    }
    SetTop(0, true);
    InvalidateWindow();
}

void CSkinListBox::SetTop(int top, bool moveBar) {
    top = std::max(0, top);
    if (top != top_) {
        top_ = top;
        InvalidateWindow();
    }
    if (moveBar && scroll_)
        scroll_->SetPos(top_, true);
}

void CSkinListBox::OnScrollCommand(int code, int position) {
    const int rows = RowsPerPage();
    const int maxTop = GetItemCount() - rows;
    switch (code) {
    case SB_LINEUP:
        if (top_ > 0)
            SetTop(top_ - 1, true);
        break;
    case SB_LINEDOWN:
        if (top_ < maxTop)
            SetTop(top_ + 1, true);
        break;
    case SB_PAGEUP:
        SetTop(std::max(0, top_ - rows), true);
        break;
    case SB_PAGEDOWN:
        SetTop(std::min(top_ + rows, maxTop), true);
        break;
    case SB_THUMBPOSITION:
        SetTop(position, true);
        break;
    case SB_THUMBTRACK:
        SetTop(position, false);
        break;
    case SB_TOP:
        SetTop(0, true);
        break;
    case SB_BOTTOM:
        SetTop(maxTop, true);
        break;
    default:
        break;
    }
}

bool CSkinListBox::OnKeyDown(plat::WPARAM key) {
    const int rows = RowsPerPage();
    const int count = GetItemCount();
    const int last = count - 1;
    int selection = selected_;
    int top = top_;
    switch (key) {
    case plat::VK_PRIOR:
        selection -= rows;
        top = top_ - rows;
        break;
    case plat::VK_NEXT:
        selection += rows;
        top = std::min(count - rows, top_ + rows);
        break;
    case plat::VK_END:
        selection = last;
        top = count - rows;
        break;
    case plat::VK_HOME:
        selection = 0;
        top = 0;
        break;
    case plat::VK_UP:
        selection -= 1;
        top = top_ - 1;
        break;
    case plat::VK_DOWN:
        selection += 1;
        top = std::min(count - rows, top_ + 1);
        break;
    default:
        return false;
    }
    if (count > 0) {
        const int clamped = std::clamp(selection, 0, last);
        if (clamped != selected_) {
            selected_ = clamped;
            InvalidateWindow();
        }
    }
    SetTop(std::max(0, top), true);
    return true;
}

void CSkinListBox::OnShowWindow(bool shown) {
    if (scroll_)
        scroll_->ShowWindow(shown && BarNeeded());
}

void CSkinListBox::PaintWindow(plat::Canvas& canvas) {
    std::shared_ptr<const plat::Font> font = FontOf(font_);
    if (!font)
        return;
    const plat::Size client = ClientSize();
    canvas.SelectFont(font);
    canvas.SetBkMode(plat::TRANSPARENT);
    unsigned format = plat::DT_SINGLELINE | plat::DT_VCENTER | plat::DT_NOPREFIX;
    if (align_ == "center")
        format |= plat::DT_CENTER;
    else if (align_ == "right")
        format |= plat::DT_RIGHT;
    for (int index = top_, y = 0; index < GetItemCount() && y < client.cy;
         ++index, y += rowHeight_) {
        const plat::Rect row{0, y, client.cx, y + rowHeight_};
        const bool selected = index == selected_ && !imgItemH_.IsEmpty();
        if (selected)
            plat::AlphaBlend(canvas, row.left, row.top, row.Width(), row.Height(), imgItemH_, 0, 0,
                             imgItemH_.Width(), imgItemH_.Height(),
                             plat::BlendFunction{128, false});
        canvas.SetTextColor(selected ? fontColorH_ : fontColor_);
        plat::Rect text{kTextMargin, y, client.cx - kTextMargin, y + rowHeight_};
        plat::DrawText(canvas, items_[static_cast<std::size_t>(index)], &text, format);
    }
}

plat::LRESULT CSkinListBox::WindowProc(std::uint32_t message, plat::WPARAM wParam,
                                       plat::LPARAM lParam) {
    switch (message) {
    case plat::WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        if (Host())
            Host()->FocusWindow(this);
        const int index = top_ + plat::PointParamY(lParam) / rowHeight_;
        if (index < GetItemCount() && index != selected_) {
            selected_ = index;
            InvalidateWindow();
        }
        return 0;
    }
    case plat::WM_KEYDOWN:
        return OnKeyDown(wParam) ? 1 : 0;
    case plat::WM_MOUSEWHEEL: {
        const int delta = plat::WheelDelta(wParam);
        if (delta < 0) {
            if (top_ < MaxTop())
                SetTop(std::min(top_ + 3, MaxTop()), true);
        } else if (delta > 0) {
            SetTop(std::max(0, top_ - 3), true);
        }
        return 1;
    }
    case WM_VSCROLL:
        OnScrollCommand(static_cast<int>(wParam & 0xFFFF),
                        static_cast<int>(static_cast<std::int16_t>(wParam >> 16)));
        return 0;
    default:
        return DefWindowProc(message, wParam, lParam);
    }
}

} // namespace skin
