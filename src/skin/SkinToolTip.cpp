#include "skin/SkinToolTip.h"

#include <algorithm>

namespace skin {

namespace {

const plat::COLORREF kBack = plat::RGB(38, 42, 53);
const plat::COLORREF kFrame = plat::RGB(96, 106, 128);
const plat::COLORREF kInk = plat::RGB(232, 235, 242);

} // namespace

// Splits at line breaks, then wraps each line at spaces to the width (a
// word wider than the width stays whole on its own line).
std::vector<std::wstring> WrapTextLines(const plat::Font& font, const std::wstring& text,
                                        int width) {
    std::vector<std::wstring> lines;
    std::size_t begin = 0;
    while (true) {
        std::size_t end = text.find(L'\n', begin);
        const std::wstring paragraph =
            text.substr(begin, end == std::wstring::npos ? std::wstring::npos : end - begin);
        std::wstring line;
        std::size_t at = 0;
        while (at <= paragraph.size()) {
            std::size_t space = paragraph.find(L' ', at);
            if (space == std::wstring::npos)
                space = paragraph.size();
            const std::wstring word = paragraph.substr(at, space - at);
            const std::wstring joined = line.empty() ? word : line + L' ' + word;
            if (!line.empty() && font.TextExtent(joined).cx > width) {
                lines.push_back(line);
                line = word;
            } else {
                line = joined;
            }
            at = space + 1;
        }
        lines.push_back(line);
        if (end == std::wstring::npos)
            break;
        begin = end + 1;
    }
    return lines;
}

CSkinToolTip::CSkinToolTip(CSkinWindow* tool, std::wstring text, int maxWidth)
    : tool_(tool), text_(std::move(text)), maxWidth_(std::max(maxWidth, 1)) {
    plat::LogFont description;
    description.faceName = L"Arial";
    description.height = -12;
    font_ = plat::Font::Create(description);
    if (font_)
        lines_ = WrapTextLines(*font_, text_, maxWidth_ - 2 * kPaddingX);
    popup_.Create([this](plat::Canvas& canvas) { Paint(canvas); },
                  [this](std::uint32_t message, plat::WPARAM wParam, plat::LPARAM) {
                      OnMessage(message, wParam);
                  });
}

CSkinToolTip::~CSkinToolTip() {
    if (popup_.Handle())
        plat::KillTimer(popup_.Handle(), kDelayTimer);
}

plat::Size CSkinToolTip::Measure() const {
    int width = 0;
    for (const std::wstring& line : lines_)
        width = std::max(width, font_->TextExtent(line).cx);
    const int height = font_->Metrics().height * static_cast<int>(lines_.size());
    return plat::Size{width + 2 * kPaddingX, height + 2 * kPaddingY};
}

void CSkinToolTip::OnPointerOver(CSkinWindow* window) {
    if (window != tool_) {
        Hide();
        return;
    }
    if (IsShown() || waiting_)
        return;
    waiting_ = plat::SetTimer(popup_.Handle(), kDelayTimer, kDelayMs) != 0;
}

void CSkinToolTip::Hide() {
    if (waiting_) {
        plat::KillTimer(popup_.Handle(), kDelayTimer);
        waiting_ = false;
    }
    popup_.Hide();
}

void CSkinToolTip::ShowNow() {
    if (waiting_) {
        plat::KillTimer(popup_.Handle(), kDelayTimer);
        waiting_ = false;
    }
    ISkinWindowHost* host = tool_ ? tool_->Host() : nullptr;
    if (!host || !font_ || !tool_->IsWindowVisible())
        return;
    const plat::Size size = Measure();
    const plat::Rect tool = tool_->WindowRect();
    const plat::Point below =
        host->ClientToScreen(plat::Point{tool.left + tool.Width() / 2, tool.bottom + 4});
    plat::Rect bounds = plat::Rect::FromSize(below.x - size.cx / 2, below.y, size.cx, size.cy);
    if (plat::IPresenter* presenter = host->Presenter()) {
        const plat::Size screen = presenter->ScreenSize();
        const int dx = std::min(0, screen.cx - bounds.right) - std::min(0, bounds.left);
        bounds = bounds.Offset(dx, 0);
        popup_.Show(presenter, bounds);
    }
}

void CSkinToolTip::OnMessage(std::uint32_t message, plat::WPARAM wParam) {
    if (message == plat::WM_TIMER && wParam == kDelayTimer)
        ShowNow();
}

void CSkinToolTip::Paint(plat::Canvas& canvas) {
    const plat::Rect bounds = popup_.Bounds();
    const plat::Rect all{0, 0, bounds.Width(), bounds.Height()};
    plat::FillRect(canvas, all, kFrame);
    plat::FillRect(canvas, plat::Rect{1, 1, all.right - 1, all.bottom - 1}, kBack);
    canvas.SelectFont(font_);
    canvas.SetTextColor(kInk);
    canvas.SetBkMode(plat::TRANSPARENT);
    const int lineHeight = font_->Metrics().height;
    int y = kPaddingY;
    for (const std::wstring& line : lines_) {
        plat::Rect rect{kPaddingX, y, all.right - kPaddingX, y + lineHeight};
        plat::DrawText(canvas, line, &rect,
                       plat::DT_CENTER | plat::DT_SINGLELINE | plat::DT_NOPREFIX);
        y += lineHeight;
    }
}

} // namespace skin
