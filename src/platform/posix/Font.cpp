// Fonts over FreeType: sizing by the Windows height rules from the face's
// Windows ascent and descent, rendered glyphs cached per font, and the
// one-line text calls drawing coverage in the canvas's text colour.

#include "platform/Font.h"

#include "platform/Error.h"
#include "platform/Unicode.h"
#include "platform/posix/FontLibrary.h"

#include FT_OUTLINE_H
#include FT_TRUETYPE_TABLES_H

#include <algorithm>
#include <cmath>
#include <unordered_map>
#include <vector>

namespace plat {

using posix::FontLibrary;

namespace {

constexpr int kDefaultCellHeight = 16;
// The slant of a synthesised italic (about 12 degrees), in 16.16.
constexpr FT_Fixed kObliqueShear = 0x0366A;

inline std::uint32_t Div255(std::uint32_t x) {
    return (x + 127) / 255;
}

struct Glyph {
    int advance = 0;
    int left = 0; // from the pen to the coverage's left column
    int top = 0;  // from the baseline up to the coverage's top row
    int width = 0;
    int rows = 0;
    std::vector<std::uint8_t> coverage; // width x rows, 0..255
};

// Copies a rendered FreeType bitmap into 8-bit coverage, whatever its mode.
void TakeCoverage(const FT_Bitmap& bitmap, Glyph* glyph) {
    glyph->width = static_cast<int>(bitmap.width);
    glyph->rows = static_cast<int>(bitmap.rows);
    glyph->coverage.assign(static_cast<std::size_t>(glyph->width) * glyph->rows, 0);
    for (int y = 0; y < glyph->rows; ++y) {
        const unsigned char* row = bitmap.buffer + static_cast<std::ptrdiff_t>(y) * bitmap.pitch;
        std::uint8_t* out = glyph->coverage.data() + static_cast<std::size_t>(y) * glyph->width;
        for (int x = 0; x < glyph->width; ++x) {
            switch (bitmap.pixel_mode) {
            case FT_PIXEL_MODE_MONO:
                out[x] = (row[x >> 3] & (0x80 >> (x & 7))) ? 255 : 0;
                break;
            case FT_PIXEL_MODE_GRAY: {
                const int levels = bitmap.num_grays > 1 ? bitmap.num_grays - 1 : 255;
                out[x] = static_cast<std::uint8_t>(row[x] * 255 / levels);
                break;
            }
            case FT_PIXEL_MODE_BGRA:
                out[x] = row[x * 4 + 3];
                break;
            default:
                out[x] = 0;
                break;
            }
        }
    }
}

} // namespace

class Font::Impl {
public:
    Impl(LogFont description, posix::ResolvedFace resolved, FT_Face face)
        : description_(std::move(description)), resolved_(std::move(resolved)), face_(face) {
        Size();
    }
    ~Impl() {
        if (FontLibrary* library = FontLibrary::Instance()) {
            std::lock_guard<std::mutex> lock(library->Lock());
            FT_Done_Face(face_);
        }
    }

    const LogFont& Description() const { return description_; }
    const posix::ResolvedFace& Resolved() const { return resolved_; }
    const TextMetrics& Metrics() const { return metrics_; }

    // The glyph of a character, rendered once and kept.
    const Glyph& GlyphOf(char32_t c) {
        auto found = glyphs_.find(c);
        if (found != glyphs_.end())
            return found->second;
        Glyph& glyph = glyphs_[c];
        Render(c, &glyph);
        return glyph;
    }

    int Advance(char32_t c) { return GlyphOf(c).advance; }
    int LineWidth(const std::wstring& text) {
        int width = 0;
        for (wchar_t c : text)
            width += Advance(static_cast<char32_t>(c));
        return width;
    }

    int UnderlinePosition() const { return underlinePosition_; }
    int UnderlineThickness() const { return underlineThickness_; }

    std::mutex& Lock() { return mutex_; }

private:
    // Sets the face's size from the Windows height rules and fills the
    // metrics.
    void Size() {
        const double unitsPerEm = face_->units_per_EM ? face_->units_per_EM : 2048;
        double ascentUnits = face_->ascender, descentUnits = -face_->descender;
        if (auto* os2 = static_cast<TT_OS2*>(FT_Get_Sfnt_Table(face_, FT_SFNT_OS2));
            os2 && os2->usWinAscent + os2->usWinDescent > 0) {
            ascentUnits = os2->usWinAscent;
            descentUnits = os2->usWinDescent;
        }
        if (ascentUnits + descentUnits <= 0) {
            ascentUnits = unitsPerEm * 0.8;
            descentUnits = unitsPerEm * 0.2;
        }
        const int height = description_.height == 0 ? kDefaultCellHeight : description_.height;
        double em = 0;
        if (height < 0) {
            em = -static_cast<double>(height);
            metrics_.ascent = static_cast<int>(std::lround(ascentUnits * em / unitsPerEm));
            metrics_.descent = static_cast<int>(std::lround(descentUnits * em / unitsPerEm));
        } else {
            const double scale = height / (ascentUnits + descentUnits);
            em = unitsPerEm * scale;
            metrics_.ascent = static_cast<int>(std::lround(ascentUnits * scale));
            metrics_.descent = height - metrics_.ascent;
        }
        em = std::max(em, 1.0);
        if (FT_IS_SCALABLE(face_)) {
            FT_Set_Char_Size(face_, 0, static_cast<FT_F26Dot6>(std::lround(em * 64)), 72, 72);
        } else if (face_->num_fixed_sizes > 0) {
            int best = 0;
            for (int i = 1; i < face_->num_fixed_sizes; ++i)
                if (std::abs(face_->available_sizes[i].height - em) <
                    std::abs(face_->available_sizes[best].height - em))
                    best = i;
            FT_Select_Size(face_, best);
        }
        metrics_.height = metrics_.ascent + metrics_.descent;
        metrics_.internalLeading = std::max(0, metrics_.height - static_cast<int>(std::lround(em)));
        metrics_.weight = description_.weight <= 0 ? 400 : description_.weight;
        metrics_.italic = description_.italic;
        const double unit = em / unitsPerEm;
        underlinePosition_ = static_cast<int>(std::lround(-face_->underline_position * unit));
        underlineThickness_ =
            std::max(1, static_cast<int>(std::lround(face_->underline_thickness * unit)));
        if (underlinePosition_ <= 0)
            underlinePosition_ = std::max(1, metrics_.descent / 2);
        metrics_.averageCharWidth = Advance(U'x');
    }

    void Render(char32_t c, Glyph* glyph) {
        const FT_UInt index = FT_Get_Char_Index(face_, c);
        if (FT_Load_Glyph(face_, index, FT_LOAD_TARGET_LIGHT | FT_LOAD_COLOR) != 0)
            return;
        FT_GlyphSlot slot = face_->glyph;
        const bool outline = slot->format == FT_GLYPH_FORMAT_OUTLINE;
        if (outline && resolved_.slanted) {
            FT_Matrix shear{0x10000, kObliqueShear, 0, 0x10000};
            FT_Outline_Transform(&slot->outline, &shear);
        }
        if (outline && resolved_.emboldened)
            FT_Outline_EmboldenXY(&slot->outline, 64, 0);
        glyph->advance = FT_IS_SCALABLE(face_)
                             ? static_cast<int>(std::lround(slot->linearHoriAdvance / 65536.0))
                             : static_cast<int>((slot->advance.x + 32) >> 6);
        if (resolved_.emboldened)
            glyph->advance += 1;
        if (slot->format != FT_GLYPH_FORMAT_BITMAP &&
            FT_Render_Glyph(slot, FT_RENDER_MODE_NORMAL) != 0)
            return;
        glyph->left = slot->bitmap_left;
        glyph->top = slot->bitmap_top;
        TakeCoverage(slot->bitmap, glyph);
    }

    LogFont description_;
    posix::ResolvedFace resolved_;
    FT_Face face_;
    TextMetrics metrics_;
    int underlinePosition_ = 1;
    int underlineThickness_ = 1;
    std::unordered_map<char32_t, Glyph> glyphs_;
    std::mutex mutex_;
};

Font::Font(std::unique_ptr<Impl> impl) : impl_(std::move(impl)) {}
Font::~Font() = default;

std::shared_ptr<const Font> Font::Create(const LogFont& description) {
    FontLibrary* library = FontLibrary::Instance();
    if (!library) {
        SetLastError(kErrFileNotFound);
        return nullptr;
    }
    posix::ResolvedFace resolved;
    FT_Face face = nullptr;
    {
        std::lock_guard<std::mutex> lock(library->Lock());
        if (!library->Resolve(description, &resolved) ||
            FT_New_Face(library->Library(), resolved.path.c_str(), resolved.index, &face) != 0) {
            SetLastError(kErrFileNotFound);
            return nullptr;
        }
    }
    auto impl = std::make_unique<Impl>(description, std::move(resolved), face);
    return std::make_shared<const Font>(std::move(impl));
}

const LogFont& Font::Description() const {
    return impl_->Description();
}

std::string Font::FamilyName() const {
    return impl_->Resolved().family;
}

std::string Font::FilePath() const {
    return impl_->Resolved().path;
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
    const Rect bounds = clip.Intersect(canvas.Clip().Bounds());
    for (const Rect& r : canvas.Clip().Rects()) {
        Rect part = r.Intersect(bounds);
        if (!part.IsEmpty())
            parts.push_back(part);
    }
    if (parts.empty())
        return;
    const COLORREF color = canvas.TextColor();
    const std::uint32_t red = GetRValue(color), green = GetGValue(color), blue = GetBValue(color);
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
    auto paint = [&](std::uint32_t* to, std::uint32_t cover) {
        if (cover == 0)
            return;
        const std::uint32_t d = *to, inverse = 255 - cover;
        *to = Div255(blue * cover + PixelB(d) * inverse) |
              Div255(green * cover + PixelG(d) * inverse) << 8 |
              Div255(red * cover + PixelR(d) * inverse) << 16 |
              (cover + Div255(PixelA(d) * inverse)) << 24;
    };
    const int baseline = top + metrics.ascent;
    int pen = x;
    for (wchar_t c : text) {
        const Glyph& glyph = font.GlyphOf(static_cast<char32_t>(c));
        const Rect glyphBox =
            Rect::FromSize(pen + glyph.left, baseline - glyph.top, glyph.width, glyph.rows);
        for (const Rect& part : parts) {
            Rect area = part.Intersect(glyphBox);
            for (int row = area.top; row < area.bottom; ++row) {
                const std::uint8_t* cover =
                    glyph.coverage.data() +
                    static_cast<std::size_t>(row - glyphBox.top) * glyph.width;
                std::uint32_t* to = bitmap.Row(row);
                for (int col = area.left; col < area.right; ++col)
                    paint(to + col, cover[col - glyphBox.left]);
            }
        }
        pen += glyph.advance;
    }
    auto line = [&](int lineTop, int thickness) {
        Rect bar = Rect::FromSize(x, lineTop, width, thickness);
        for (const Rect& part : parts) {
            Rect area = part.Intersect(bar);
            for (int row = area.top; row < area.bottom; ++row)
                for (int col = area.left; col < area.right; ++col)
                    paint(bitmap.Row(row) + col, 255);
        }
    };
    if (font.Description().underline)
        line(baseline + font.UnderlinePosition() - font.UnderlineThickness() / 2,
             font.UnderlineThickness());
    if (font.Description().strikeOut)
        line(baseline - metrics.ascent / 3, font.UnderlineThickness());
}

std::wstring Ellipsize(Font::Impl& font, const std::wstring& text, int width) {
    if (font.LineWidth(text) <= width)
        return text;
    const std::wstring dots = L"...";
    const int dotsWidth = font.LineWidth(dots);
    std::wstring kept;
    int used = 0;
    for (wchar_t c : text) {
        const int advance = font.Advance(static_cast<char32_t>(c));
        if (used + advance + dotsWidth > width)
            break;
        kept.push_back(c);
        used += advance;
    }
    return kept + dots;
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
    FontLibrary* library = FontLibrary::Instance();
    if (!library) {
        SetLastError(kErrFileNotFound);
        return 0;
    }
    const std::string file = WideToUtf8(path);
    std::lock_guard<std::mutex> lock(library->Lock());
    FT_Face probe = nullptr;
    FT_Error error = FT_New_Face(library->Library(), file.c_str(), 0, &probe);
    if (error != 0) {
        SetLastError(error == FT_Err_Cannot_Open_Resource ? kErrFileNotFound : kErrInvalidData);
        return 0;
    }
    FT_Done_Face(probe);
    int added = library->AddPrivate(file);
    if (added == 0)
        SetLastError(kErrInvalidData);
    return added;
}

bool RemovePrivateFont(const std::wstring& path) {
    FontLibrary* library = FontLibrary::Instance();
    if (!library) {
        SetLastError(kErrFileNotFound);
        return false;
    }
    std::lock_guard<std::mutex> lock(library->Lock());
    if (!library->RemovePrivate(WideToUtf8(path))) {
        SetLastError(kErrFileNotFound);
        return false;
    }
    return true;
}

} // namespace plat
