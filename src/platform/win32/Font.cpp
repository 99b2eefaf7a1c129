// Fonts through GDI: a font object per description, measured in a memory
// context of its own, and the one-line text calls drawn by letting GDI
// render white-on-black coverage into a DIB section that is then composed in
// the canvas's text colour. GDI text leaves alpha at 0, so the coverage is
// the only thing taken from it and the alpha of the picture is computed here.

#include "platform/Font.h"

#include "platform/Error.h"
#include "platform/Unicode.h"
#include "platform/win32/GdiPicture.h"
#include "platform/win32/Handle.h"
#include "platform/win32/PrivateFonts.h"
#include "platform/win32/WinApi.h"

#include <algorithm>
#include <mutex>
#include <vector>

namespace plat {

namespace {

constexpr int kDefaultCellHeight = 16;
// Longer lines are measured and drawn only up to this many characters.
constexpr std::size_t kMaxLine = 32767;

inline std::uint32_t Div255(std::uint32_t x) {
    return (x + 127) / 255;
}

int LineLength(const std::wstring& text) {
    return static_cast<int>(std::min(text.size(), kMaxLine));
}

} // namespace

class Font::Impl {
public:
    explicit Impl(LogFont description) : description_(std::move(description)) {}
    ~Impl() {
        if (dc_) {
            if (previous_)
                ::SelectObject(dc_, previous_);
            ::DeleteDC(dc_);
        }
        if (font_)
            ::DeleteObject(font_);
    }

    bool Open() {
        LOGFONTW logFont{};
        logFont.lfHeight = description_.height == 0 ? kDefaultCellHeight : description_.height;
        logFont.lfWeight = description_.weight <= 0 ? FW_NORMAL : description_.weight;
        logFont.lfItalic = description_.italic ? TRUE : FALSE;
        logFont.lfUnderline = description_.underline ? TRUE : FALSE;
        logFont.lfStrikeOut = description_.strikeOut ? TRUE : FALSE;
        logFont.lfCharSet = DEFAULT_CHARSET;
        logFont.lfOutPrecision = OUT_TT_PRECIS;
        logFont.lfClipPrecision = CLIP_DEFAULT_PRECIS;
        // Grey anti-aliasing: one coverage value per pixel, no colour fringes.
        logFont.lfQuality = ANTIALIASED_QUALITY;
        logFont.lfPitchAndFamily = DEFAULT_PITCH | FF_DONTCARE;
        const std::size_t length = std::min<std::size_t>(description_.faceName.size(), 31);
        std::copy_n(description_.faceName.c_str(), length, logFont.lfFaceName);
        font_ = ::CreateFontIndirectW(&logFont);
        dc_ = ::CreateCompatibleDC(nullptr);
        if (!font_ || !dc_)
            return false;
        previous_ = ::SelectObject(dc_, font_);
        TEXTMETRICW tm{};
        if (!::GetTextMetricsW(dc_, &tm))
            return false;
        metrics_.height = tm.tmHeight;
        metrics_.ascent = tm.tmAscent;
        metrics_.descent = tm.tmDescent;
        metrics_.internalLeading = tm.tmInternalLeading;
        metrics_.averageCharWidth = tm.tmAveCharWidth;
        metrics_.weight = static_cast<int>(tm.tmWeight);
        metrics_.italic = tm.tmItalic != 0;
        wchar_t face[LF_FACESIZE] = L"";
        const int faceLength = ::GetTextFaceW(dc_, LF_FACESIZE, face);
        family_ = WideToUtf8(std::wstring(face, faceLength > 0 ? faceLength - 1 : 0));
        if (!family_.empty() && family_.back() == '\0')
            family_.pop_back();
        file_ = win::PrivateFonts::Instance().FileOf(dc_);
        return true;
    }

    const LogFont& Description() const { return description_; }
    const std::string& Family() const { return family_; }
    const std::string& File() const { return file_; }
    const TextMetrics& Metrics() const { return metrics_; }
    std::mutex& Lock() { return mutex_; }
    HFONT Handle() const { return font_; }

    int LineWidth(const std::wstring& text) {
        if (text.empty())
            return 0;
        SIZE size{};
        ::GetTextExtentPoint32W(dc_, text.c_str(), LineLength(text), &size);
        return size.cx;
    }

    // The width of each prefix of the text (one entry per character).
    std::vector<int> PrefixWidths(const std::wstring& text) {
        const int length = LineLength(text);
        std::vector<int> widths(static_cast<std::size_t>(length), 0);
        if (length == 0)
            return widths;
        SIZE size{};
        ::GetTextExtentExPointW(dc_, text.c_str(), length, 0, nullptr, widths.data(), &size);
        return widths;
    }

private:
    LogFont description_;
    HFONT font_ = nullptr;
    HDC dc_ = nullptr;
    HGDIOBJ previous_ = nullptr;
    TextMetrics metrics_;
    std::string family_;
    std::string file_;
    std::mutex mutex_;
};

Font::Font(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Font::~Font() = default;

std::shared_ptr<const Font> Font::Create(const LogFont& description) {
    auto impl = std::make_unique<Impl>(description);
    if (!impl->Open()) {
        SetLastError(kErrFileNotFound);
        return nullptr;
    }
    return std::make_shared<const Font>(std::move(impl));
}

const LogFont& Font::Description() const {
    return impl_->Description();
}

std::string Font::FamilyName() const {
    return impl_->Family();
}

std::string Font::FilePath() const {
    return impl_->File();
}

TextMetrics Font::Metrics() const {
    return impl_->Metrics();
}

Size Font::TextExtent(const std::wstring& text) const {
    std::lock_guard<std::mutex> lock(impl_->Lock());
    return Size{impl_->LineWidth(text), impl_->Metrics().height};
}

std::shared_ptr<const Font> DefaultFont() {
    static std::shared_ptr<const Font> font =
        Font::Create(LogFont{-11, 400, false, false, false, L"Tahoma"});
    return font;
}

namespace {

const Font* FontOf(const Canvas& canvas) {
    if (canvas.SelectedFont())
        return canvas.SelectedFont().get();
    return DefaultFont().get();
}

// Draws one line with its top-left corner at (x, top) in bitmap coordinates,
// only inside `clip` (bitmap coordinates) and the canvas's clip region.
void DrawLine(Canvas& canvas, Font::Impl& font, const std::wstring& text, int x, int top,
              const Rect& clip) {
    Bitmap& bitmap = *canvas.Target();
    const TextMetrics& metrics = font.Metrics();
    const int width = font.LineWidth(text);
    const Rect box = Rect::FromSize(x, top, width, metrics.height);
    std::vector<Rect> parts;
    Rect reach; // the bounds of everything drawable
    const Rect bounds = clip.Intersect(canvas.Clip().Bounds());
    for (const Rect& r : canvas.Clip().Rects()) {
        Rect part = r.Intersect(bounds);
        if (!part.IsEmpty()) {
            parts.push_back(part);
            reach =
                reach.IsEmpty()
                    ? part
                    : Rect{std::min(reach.left, part.left), std::min(reach.top, part.top),
                           std::max(reach.right, part.right), std::max(reach.bottom, part.bottom)};
        }
    }
    if (parts.empty())
        return;
    if (canvas.BkMode() == OPAQUE) {
        const COLORREF back = canvas.BkColor();
        const std::uint32_t pixel =
            MakePixel(GetBValue(back), GetGValue(back), GetRValue(back), 255);
        for (const Rect& part : parts) {
            Rect fill = part.Intersect(box);
            for (int row = fill.top; row < fill.bottom; ++row)
                std::fill_n(bitmap.Row(row) + fill.left, fill.Width(), pixel);
        }
    }
    if (text.empty())
        return;
    // Glyphs may reach past the advance box (overhangs, italics): render a
    // margin around it, but only where drawing can land.
    const int margin = metrics.height;
    const Rect area =
        Rect{x - margin, top, x + width + margin, top + metrics.height}.Intersect(reach);
    if (area.IsEmpty())
        return;
    win::DibSection coverage;
    if (!coverage.Create(area.Width(), area.Height()))
        return;
    HDC dc = coverage.Dc();
    HGDIOBJ previous = ::SelectObject(dc, font.Handle());
    ::SetBkMode(dc, 1 /* TRANSPARENT */);
    ::SetTextColor(dc, 0x00FFFFFF);
    ::SetTextAlign(dc, 0 /* TA_LEFT | TA_TOP */);
    ::ExtTextOutW(dc, x - area.left, top - area.top, 0, nullptr, text.c_str(), LineLength(text),
                  nullptr);
    ::GdiFlush();
    ::SelectObject(dc, previous);

    const COLORREF color = canvas.TextColor();
    const std::uint32_t red = GetRValue(color), green = GetGValue(color), blue = GetBValue(color);
    for (const Rect& part : parts) {
        const Rect inked = part.Intersect(area);
        for (int row = inked.top; row < inked.bottom; ++row) {
            const std::uint32_t* from = coverage.Row(row - area.top);
            std::uint32_t* to = bitmap.Row(row);
            for (int col = inked.left; col < inked.right; ++col) {
                const std::uint32_t p = from[col - area.left];
                const std::uint32_t cover = std::max({PixelR(p), PixelG(p), PixelB(p)});
                if (cover == 0)
                    continue;
                const std::uint32_t d = to[col], inverse = 255 - cover;
                to[col] = Div255(blue * cover + PixelB(d) * inverse) |
                          Div255(green * cover + PixelG(d) * inverse) << 8 |
                          Div255(red * cover + PixelR(d) * inverse) << 16 |
                          (cover + Div255(PixelA(d) * inverse)) << 24;
            }
        }
    }
}

std::wstring Ellipsize(Font::Impl& font, const std::wstring& text, int width) {
    if (font.LineWidth(text) <= width)
        return text;
    const std::wstring dots = L"...";
    const int dotsWidth = font.LineWidth(dots);
    const std::vector<int> prefix = font.PrefixWidths(text);
    std::size_t kept = 0;
    while (kept < prefix.size() && prefix[kept] + dotsWidth <= width)
        ++kept;
    return text.substr(0, kept) + dots;
}

} // namespace

std::wstring EllipsizeText(const Font& font, const std::wstring& text, int width) {
    std::lock_guard<std::mutex> lock(font.Internal().Lock());
    return Ellipsize(font.Internal(), text, width);
}

Size GetTextExtent(const Canvas& canvas, const std::wstring& text) {
    const Font* font = FontOf(canvas);
    return font ? font->TextExtent(text) : Size{};
}

bool GetTextMetrics(const Canvas& canvas, TextMetrics* metrics) {
    const Font* font = FontOf(canvas);
    if (!font || !metrics)
        return false;
    *metrics = font->Metrics();
    return true;
}

int DrawText(Canvas& canvas, const std::wstring& text, Rect* rect, unsigned format) {
    const Font* font = FontOf(canvas);
    if (!font || !rect)
        return 0;
    Font::Impl& impl = font->Internal();
    std::lock_guard<std::mutex> lock(impl.Lock());
    const std::wstring shown =
        (format & DT_END_ELLIPSIS) ? Ellipsize(impl, text, rect->Width()) : text;
    const int width = impl.LineWidth(shown);
    const int height = impl.Metrics().height;
    if (format & DT_CALCRECT) {
        rect->right = rect->left + width;
        rect->bottom = rect->top + height;
        return height;
    }
    int x = rect->left;
    if (format & DT_CENTER)
        x = rect->left + (rect->Width() - width) / 2;
    else if (format & DT_RIGHT)
        x = rect->right - width;
    int y = rect->top;
    if (format & DT_VCENTER)
        y = rect->top + (rect->Height() - height) / 2;
    else if (format & DT_BOTTOM)
        y = rect->bottom - height;
    const Point origin = canvas.Origin();
    Rect clip = (format & DT_NOCLIP) ? canvas.Target()->Bounds() : rect->Offset(origin.x, origin.y);
    DrawLine(canvas, impl, shown, x + origin.x, y + origin.y, clip);
    return height;
}

bool TextOut(Canvas& canvas, int x, int y, const std::wstring& text) {
    const Font* font = FontOf(canvas);
    if (!font)
        return false;
    Font::Impl& impl = font->Internal();
    std::lock_guard<std::mutex> lock(impl.Lock());
    const int width = impl.LineWidth(text);
    const unsigned align = canvas.TextAlignment();
    if ((align & TA_CENTER) == TA_CENTER)
        x -= width / 2;
    else if (align & TA_RIGHT)
        x -= width;
    if ((align & TA_BASELINE) == TA_BASELINE)
        y -= impl.Metrics().ascent;
    else if (align & TA_BOTTOM)
        y -= impl.Metrics().height;
    const Point origin = canvas.Origin();
    DrawLine(canvas, impl, text, x + origin.x, y + origin.y, canvas.Target()->Bounds());
    return true;
}

int AddPrivateFont(const std::wstring& path) {
    return win::PrivateFonts::Instance().Add(path);
}

bool RemovePrivateFont(const std::wstring& path) {
    return win::PrivateFonts::Instance().Remove(path);
}

} // namespace plat
