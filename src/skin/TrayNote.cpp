#include "skin/TrayNote.h"

#include "skin/SkinToolTip.h"

#include <algorithm>

namespace skin {

std::shared_ptr<const plat::Font> TrayPopupFont(bool bold) {
    plat::LogFont description;
    description.faceName = L"Tahoma";
    description.height = -12;
    description.weight = bold ? 700 : 400;
    return plat::Font::Create(description);
}

CTrayNote::CTrayNote(int maxWidth)
    : maxWidth_(std::max(maxWidth, 2 * kPadding + 1)), font_(TrayPopupFont(false)),
      titleFont_(TrayPopupFont(true)) {
    popup_.Create([this](plat::Canvas& canvas) { Paint(canvas); },
                  [this](std::uint32_t message, plat::WPARAM, plat::LPARAM) {
                      if (message == plat::WM_LBUTTONDOWN && onClick_)
                          onClick_();
                  });
}

plat::Rect CTrayNote::Place(const plat::Rect& anchor, plat::Size size, plat::Size screen) {
    const int centre = anchor.left + anchor.Width() / 2;
    int x = centre - size.cx / 2;
    x = std::max(0, std::min(x, screen.cx - size.cx));
    const bool upperHalf = anchor.top + anchor.Height() / 2 < screen.cy / 2;
    int y = upperHalf ? anchor.bottom + kGap : anchor.top - kGap - size.cy;
    y = std::max(0, std::min(y, screen.cy - size.cy));
    return plat::Rect::FromSize(x, y, size.cx, size.cy);
}

plat::Size CTrayNote::Measure() const {
    const int lineHeight = font_->Metrics().height;
    int width = 0;
    for (const std::wstring& line : lines_)
        width = std::max(width, font_->TextExtent(line).cx);
    int height = lineHeight * static_cast<int>(lines_.size());
    if (!title_.empty() || !picture_.IsEmpty()) {
        const int titleWidth = (picture_.IsEmpty() ? 0 : kPictureSide + kPadding / 2) +
                               (title_.empty() ? 0 : titleFont_->TextExtent(title_).cx);
        width = std::max(width, titleWidth);
        height += std::max(kPictureSide, titleFont_->Metrics().height) + kPadding / 2;
    }
    width = std::min(width, maxWidth_ - 2 * kPadding);
    return plat::Size{width + 2 * kPadding, height + 2 * kPadding};
}

bool CTrayNote::Show(plat::IPresenter* presenter, const plat::Rect& anchor,
                     const std::wstring& title, const std::wstring& text,
                     const plat::Bitmap* picture) {
    if (!presenter || !font_ || !titleFont_)
        return false;
    title_ = title;
    picture_ = picture ? *picture : plat::Bitmap();
    lines_ = WrapTextLines(*font_, text, maxWidth_ - 2 * kPadding);
    const plat::Rect bounds = Place(anchor, Measure(), presenter->ScreenSize());
    return popup_.Show(presenter, bounds);
}

void CTrayNote::Paint(plat::Canvas& canvas) {
    const plat::Rect bounds = popup_.Bounds();
    const plat::Rect all{0, 0, bounds.Width(), bounds.Height()};
    plat::FillRect(canvas, all, kTrayPopupFrame);
    plat::FillRect(canvas, plat::Rect{1, 1, all.right - 1, all.bottom - 1}, kTrayPopupBack);
    canvas.SetTextColor(kTrayPopupInk);
    canvas.SetBkMode(plat::TRANSPARENT);
    const unsigned format = plat::DT_LEFT | plat::DT_SINGLELINE | plat::DT_NOPREFIX;
    int y = kPadding;
    if (!title_.empty() || !picture_.IsEmpty()) {
        const int titleHeight = std::max(kPictureSide, titleFont_->Metrics().height);
        int x = kPadding;
        if (!picture_.IsEmpty()) {
            plat::AlphaBlend(canvas, x, y + (titleHeight - kPictureSide) / 2, kPictureSide,
                             kPictureSide, picture_, 0, 0, picture_.Width(), picture_.Height(),
                             plat::BlendFunction{});
            x += kPictureSide + kPadding / 2;
        }
        canvas.SelectFont(titleFont_);
        plat::Rect rect{x, y, all.right - kPadding, y + titleHeight};
        plat::DrawText(canvas, title_, &rect, format | plat::DT_VCENTER);
        y += titleHeight + kPadding / 2;
    }
    canvas.SelectFont(font_);
    const int lineHeight = font_->Metrics().height;
    for (const std::wstring& line : lines_) {
        plat::Rect rect{kPadding, y, all.right - kPadding, y + lineHeight};
        plat::DrawText(canvas, line, &rect, format);
        y += lineHeight;
    }
}

} // namespace skin
