#include "skin/SkinComboBox.h"

#include "platform/Unicode.h"
#include "skin/SkinMessages.h"
#include "skin/Texture.h"
#include "skin/ThemeAttributes.h"

#include <tinyxml2.h>

#include <algorithm>

namespace skin {

namespace {

enum FontSlot : std::size_t { kN = 0, kH = 1, kP = 2, kD = 3 };

} // namespace

CSkinComboBox::~CSkinComboBox() {
    popup_.Hide();
}

bool CSkinComboBox::Init(const tinyxml2::XMLElement* element,
                         const tinyxml2::XMLElement* profiles) {
    const CElementKeys keys(element, profiles);
    common_.ReadCommonAttributes(element);
    keys.Point("textOffset", &textOffset_);
    keys.Point("iconOffsetItem", &iconOffsetItem_);
    keys.Point("iconOffsetMain", &iconOffsetMain_);
    keys.Colour("borderColor", &borderColor_);
    static constexpr const char* kFontNames[] = {"fontN", "fontH", "fontP", "fontD"};
    for (std::size_t slot = 0; slot < 4; ++slot) {
        if (fonts_[slot].Load(ChildElement(element, kFontNames[slot])))
            continue;
        if (!keys.Profile())
            return false;
        fonts_[slot].Load(ChildElement(keys.Profile(), kFontNames[slot]));
    }
    auto slice = [&](const char* attribute, std::vector<plat::Bitmap>* pieces) {
        plat::Bitmap texture;
        const tinyxml2::XMLElement* holder = keys.Holder(attribute);
        if (holder && theme_->LoadThemeImage(holder, attribute, &texture))
            SliceTexture(texture, pieces);
        return holder != nullptr;
    };
    slice("textureIconItem", &iconItem_);
    slice("textureIconMain", &iconMain_);
    if (slice("texture", &pieces_) && pieces_.size() != 6) {
        theme_->Log(L"Skin: texture of \"" + plat::Utf8ToWide(common_.name) + L"\" has " +
                    std::to_wstring(pieces_.size()) + L" pieces, 6 expected: texture ignored");
        pieces_.clear();
    }
    if (!pieces_.empty())
        common_.rect.bottom = common_.rect.top + pieces_[0].Height();
    return popup_.Create([this](plat::Canvas& canvas) { PaintList(canvas); },
                         [this](std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
                             OnListMessage(message, wParam, lParam);
                         });
}

int CSkinComboBox::ItemHeight() const {
    return pieces_.size() == 6 ? std::max(1, pieces_[4].Height())
                               : std::max(1, common_.rect.Height());
}

plat::Rect CSkinComboBox::TextRect() const {
    const int width = pieces_.empty() ? common_.rect.Width() : pieces_[0].Width();
    const int height = pieces_.empty() ? common_.rect.Height() : pieces_[0].Height();
    return plat::Rect{textOffset_.x, textOffset_.y, width, height};
}

int CSkinComboBox::AddItem(const std::wstring& text, int icon, int font) {
    items_.push_back(Item{text, icon, font});
    popup_.Invalidate();
    return static_cast<int>(items_.size()) - 1;
}

void CSkinComboBox::ResetContent() {
    ShowDropDown(false);
    items_.clear();
    selected_ = highlighted_ = -1;
    firstVisible_ = 0;
    InvalidateWindow();
}

void CSkinComboBox::SetCurSel(int index) {
    selected_ = index >= 0 && index < GetCount() ? index : -1;
    const std::wstring text =
        selected_ >= 0 ? items_[static_cast<std::size_t>(selected_)].text : std::wstring();
    DefWindowProc(WM_SETTEXT, 0, reinterpret_cast<plat::LPARAM>(&text));
    InvalidateWindow();
}

void CSkinComboBox::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (!enabled)
        ShowDropDown(false);
    InvalidateWindow();
}

int CSkinComboBox::CurrentLook() const {
    if (!enabled_)
        return 3;
    if (pressedLook_)
        return 2;
    return hover_ ? 1 : 0;
}

void CSkinComboBox::PaintWindow(plat::Canvas& canvas) {
    if (pieces_.size() != 6)
        return;
    const plat::Bitmap& look = pieces_[static_cast<std::size_t>(CurrentLook())];
    const plat::Rect box{0, 0, pieces_[0].Width(), pieces_[0].Height()};
    DrawImage(canvas, look, box);
    const std::wstring& current = WindowText();
    auto item = std::find_if(items_.begin(), items_.end(),
                             [&](const Item& i) { return i.text == current; });
    if (item == items_.end())
        return;
    if (item->icon >= 0 && static_cast<std::size_t>(item->icon) < iconMain_.size()) {
        const plat::Bitmap& icon = iconMain_[static_cast<std::size_t>(item->icon)];
        DrawImage(canvas, icon,
                  plat::Rect::FromSize(iconOffsetMain_.x, iconOffsetMain_.y, icon.Width(),
                                       icon.Height()));
    }
    const CFontSet& set = fonts_[enabled_ ? kP : kN];
    std::shared_ptr<const plat::Font> font = FontOf(set);
    canvas.SelectFont(font ? font : plat::DefaultFont());
    canvas.SetTextColor(set.color);
    canvas.SetBkMode(plat::TRANSPARENT);
    plat::Rect text{textOffset_.x, textOffset_.y, box.right, box.bottom};
    plat::DrawText(canvas, current, &text,
                   plat::DT_LEFT | plat::DT_VCENTER | plat::DT_SINGLELINE | plat::DT_NOPREFIX);
}

void CSkinComboBox::ShowDropDown(bool show) {
    if (show == popup_.IsShown())
        return;
    pressedLook_ = false;
    if (!show) {
        popup_.Hide();
        NotifyParent(CBN_CLOSEUP);
        InvalidateWindow();
        return;
    }
    if (!Host() || items_.empty())
        return;
    NotifyParent(CBN_DROPDOWN);
    const int rows = std::min(GetCount(), kMaxVisibleItems);
    const plat::Rect rect = WindowRect();
    const plat::Point origin = Host()->ClientToScreen(plat::Point{rect.left, rect.bottom});
    const int width = pieces_.empty() ? rect.Width() : pieces_[0].Width();
    highlighted_ = selected_;
    firstVisible_ = 0;
    EnsureHighlightVisible();
    if (popup_.Show(Host()->Presenter(), plat::Rect::FromSize(origin.x, origin.y, width,
                                                              rows * ItemHeight() + 2 * kBorder)))
        popup_.SetCapture();
    InvalidateWindow();
}

void CSkinComboBox::EnsureHighlightVisible() {
    const int rows = std::min(GetCount(), kMaxVisibleItems);
    if (highlighted_ < 0)
        return;
    if (highlighted_ < firstVisible_)
        firstVisible_ = highlighted_;
    if (highlighted_ >= firstVisible_ + rows)
        firstVisible_ = highlighted_ - rows + 1;
}

int CSkinComboBox::ItemAtListPoint(plat::Point point) const {
    const plat::Rect bounds = popup_.Bounds();
    if (point.x < kBorder || point.x >= bounds.Width() - kBorder || point.y < kBorder ||
        point.y >= bounds.Height() - kBorder)
        return -1;
    const int index = firstVisible_ + (point.y - kBorder) / ItemHeight();
    return index < GetCount() ? index : -1;
}

void CSkinComboBox::PaintList(plat::Canvas& canvas) {
    const plat::Rect bounds = popup_.Bounds();
    const int width = bounds.Width(), height = bounds.Height();
    plat::FillRect(canvas, plat::Rect{0, 0, width, kBorder}, borderColor_);
    plat::FillRect(canvas, plat::Rect{0, height - kBorder, width, height}, borderColor_);
    plat::FillRect(canvas, plat::Rect{0, 0, kBorder, height}, borderColor_);
    plat::FillRect(canvas, plat::Rect{width - kBorder, 0, width, height}, borderColor_);
    const int rows = std::min(GetCount() - firstVisible_, kMaxVisibleItems);
    canvas.IntersectClip(plat::Rect{kBorder, kBorder, width - kBorder, height - kBorder});
    for (int row = 0; row < rows; ++row) {
        const int index = firstVisible_ + row;
        const Item& item = items_[static_cast<std::size_t>(index)];
        const bool lit = index == highlighted_;
        const plat::Rect cell = plat::Rect::FromSize(kBorder, kBorder + row * ItemHeight(),
                                                     width - 2 * kBorder, ItemHeight());
        if (pieces_.size() == 6)
            DrawImage(canvas, pieces_[lit ? 5 : 4], cell);
        if (item.icon >= 0 && static_cast<std::size_t>(item.icon) < iconItem_.size()) {
            const plat::Bitmap& icon = iconItem_[static_cast<std::size_t>(item.icon)];
            DrawImage(canvas, icon,
                      plat::Rect::FromSize(cell.left + iconOffsetItem_.x,
                                           cell.top + iconOffsetItem_.y, icon.Width(),
                                           icon.Height()));
        }
        const CFontSet& set = fonts_[lit ? kH : kD];
        std::shared_ptr<const plat::Font> font =
            set.Get(item.font < 0 ? theme_->FontIndex() : item.font);
        canvas.SelectFont(font ? font : plat::DefaultFont());
        canvas.SetTextColor(set.color);
        canvas.SetBkMode(plat::TRANSPARENT);
        plat::Rect text{cell.left + textOffset_.x, cell.top + textOffset_.y, cell.right,
                        cell.bottom};
        plat::DrawText(canvas, item.text, &text,
                       plat::DT_LEFT | plat::DT_VCENTER | plat::DT_SINGLELINE | plat::DT_NOPREFIX);
    }
}

void CSkinComboBox::SelectAndNotify(int index) {
    const bool changed = index != selected_;
    SetCurSel(index);
    if (changed)
        NotifyParent(CBN_SELCHANGE);
}

void CSkinComboBox::OnListMessage(std::uint32_t message, plat::WPARAM wParam, plat::LPARAM lParam) {
    const plat::Point point{plat::PointParamX(lParam), plat::PointParamY(lParam)};
    switch (message) {
    case plat::WM_MOUSEMOVE: {
        const int index = ItemAtListPoint(point);
        if (index >= 0 && index != highlighted_) {
            highlighted_ = index;
            popup_.Invalidate();
        }
        break;
    }
    case plat::WM_LBUTTONDOWN:
    case plat::WM_RBUTTONDOWN:
        // A press outside the list closes it without a choice.
        if (ItemAtListPoint(point) < 0 &&
            !plat::Rect{0, 0, popup_.Bounds().Width(), popup_.Bounds().Height()}.Contains(point.x,
                                                                                          point.y))
            ShowDropDown(false);
        break;
    case plat::WM_LBUTTONUP: {
        const int index = ItemAtListPoint(point);
        if (index >= 0) {
            ShowDropDown(false);
            SelectAndNotify(index);
        }
        break;
    }
    case plat::WM_MOUSEWHEEL: {
        const int rows = std::min(GetCount(), kMaxVisibleItems);
        const int delta = plat::WheelDelta(wParam) > 0 ? -1 : 1;
        firstVisible_ = std::clamp(firstVisible_ + delta, 0, std::max(0, GetCount() - rows));
        popup_.Invalidate();
        break;
    }
    case plat::WM_CAPTURECHANGED:
        if (popup_.IsShown() && !popup_.HasCapture())
            ShowDropDown(false);
        break;
    default:
        break;
    }
}

void CSkinComboBox::OnShowWindow(bool shown) {
    if (!shown)
        ShowDropDown(false);
}

plat::LRESULT CSkinComboBox::WindowProc(std::uint32_t message, plat::WPARAM wParam,
                                        plat::LPARAM lParam) {
    switch (message) {
    case plat::WM_LBUTTONDOWN:
        if (!enabled_)
            return 0;
        if (Host())
            Host()->FocusWindow(this);
        pressedLook_ = true;
        InvalidateWindow();
        ShowDropDown(!popup_.IsShown());
        return 0;
    case plat::WM_MOUSEMOVE:
        if (!hover_ && Host() && Host()->TrackMouseLeave(this)) {
            tracking_ = true;
            hover_ = true;
            InvalidateWindow();
        }
        return 0;
    case plat::WM_MOUSELEAVE:
        tracking_ = false;
        hover_ = false;
        InvalidateWindow();
        return 0;
    case plat::WM_KILLFOCUS:
        if (pressedLook_ || popup_.IsShown()) {
            pressedLook_ = false;
            ShowDropDown(false);
            InvalidateWindow();
        }
        return 0;
    case plat::WM_KEYDOWN: {
        if (!enabled_ || items_.empty())
            return 0;
        const bool open = popup_.IsShown();
        int target = open ? highlighted_ : selected_;
        switch (wParam) {
        case plat::VK_UP:
            target = std::max(0, target - 1);
            break;
        case plat::VK_DOWN:
            target = std::min(GetCount() - 1, target + 1);
            break;
        case plat::VK_HOME:
            target = 0;
            break;
        case plat::VK_END:
            target = GetCount() - 1;
            break;
        case plat::VK_F1 + 3: // F4 opens and closes the list
            ShowDropDown(!open);
            return 1;
        case plat::VK_RETURN:
        case plat::VK_ESCAPE:
            if (!open)
                return 0;
            if (wParam == plat::VK_RETURN) {
                const int chosen = highlighted_;
                ShowDropDown(false);
                if (chosen >= 0)
                    SelectAndNotify(chosen);
            } else {
                ShowDropDown(false);
            }
            return 1;
        default:
            return 0;
        }
        if (open) {
            highlighted_ = target;
            EnsureHighlightVisible();
            popup_.Invalidate();
        } else if (target != selected_) {
            SelectAndNotify(target);
        }
        return 1;
    }
    case WM_SETTEXT:
        return 0; // a drop-down list shows its selected item
    default:
        return DefWindowProc(message, wParam, lParam);
    }
}

} // namespace skin
