// Fonts and one-line text under a pinned font configuration (only the
// Liberation fonts): Windows face names mapped to metric-compatible faces,
// the Windows height rules, weights and slants, extents with Arial's own
// widths, aligned and clipped drawing probed by its ink, ellipsis, and
// private fonts that only this process sees.

#include "platform/Font.h"

#include "platform/Error.h"
#include "support/HermeticFonts.h"
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <filesystem>

namespace {

using plat::Bitmap;
using plat::Canvas;
using plat::Font;
using plat::LogFont;

class FontTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (!testsupport::UseHermeticFonts())
            GTEST_SKIP() << "Liberation fonts are not installed";
    }
};

std::shared_ptr<const Font> Make(const wchar_t* face, int height, int weight = 400,
                                 bool italic = false) {
    LogFont description;
    description.faceName = face;
    description.height = height;
    description.weight = weight;
    description.italic = italic;
    return Font::Create(description);
}

std::string FileName(const std::shared_ptr<const Font>& font) {
    return std::filesystem::path(font->FilePath()).filename().string();
}

// Columns holding any text ink (pixels that are no longer the background).
struct Ink {
    int left = -1;
    int right = -1; // exclusive
    int top = -1;
    int bottom = -1;
};
Ink FindInk(const Bitmap& b, std::uint32_t background) {
    Ink ink;
    for (int y = 0; y < b.Height(); ++y)
        for (int x = 0; x < b.Width(); ++x)
            if (b.Pixel(x, y) != background) {
                ink.left = ink.left < 0 ? x : std::min(ink.left, x);
                ink.right = std::max(ink.right, x + 1);
                ink.top = ink.top < 0 ? y : std::min(ink.top, y);
                ink.bottom = std::max(ink.bottom, y + 1);
            }
    return ink;
}

Bitmap White(int w, int h) {
    Bitmap b;
    b.Create(w, h);
    Canvas canvas(&b);
    plat::FillRect(canvas, b.Bounds(), plat::RGB(255, 255, 255));
    return b;
}

constexpr std::uint32_t kWhite = plat::MakePixel(255, 255, 255, 255);

TEST_F(FontTest, WindowsFaceNamesMapToMetricCompatibleFaces) {
    EXPECT_EQ(Make(L"Arial", -12)->FamilyName(), "Liberation Sans");
    EXPECT_EQ(Make(L"arial", -12)->FamilyName(), "Liberation Sans"); // case ignored
    EXPECT_EQ(Make(L"Times New Roman", -12)->FamilyName(), "Liberation Serif");
    EXPECT_EQ(Make(L"Courier New", -12)->FamilyName(), "Liberation Mono");
    // Tahoma and Verdana are not installed here: the next family of their
    // list that is.
    EXPECT_EQ(Make(L"Tahoma", -12)->FamilyName(), "Liberation Sans");
    EXPECT_EQ(Make(L"Verdana", -12)->FamilyName(), "Liberation Sans");
    // A name nobody knows still gives a font.
    auto unknown = Make(L"No Such Face", -12);
    ASSERT_TRUE(unknown);
    EXPECT_FALSE(unknown->FilePath().empty());
    EXPECT_EQ(plat::DefaultFont()->FamilyName(), "Liberation Sans");
}

TEST_F(FontTest, WeightAndItalicPickTheFaces) {
    EXPECT_EQ(FileName(Make(L"Arial", -12, 400)), "LiberationSans-Regular.ttf");
    EXPECT_EQ(FileName(Make(L"Arial", -12, 700)), "LiberationSans-Bold.ttf");
    EXPECT_EQ(FileName(Make(L"Arial", -12, 0)), "LiberationSans-Regular.ttf");
    EXPECT_EQ(FileName(Make(L"Arial", -12, 400, true)), "LiberationSans-Italic.ttf");
    EXPECT_EQ(FileName(Make(L"Arial", -12, 700, true)), "LiberationSans-BoldItalic.ttf");
    // Bold draws heavier ink than regular.
    auto inkCount = [](const std::shared_ptr<const Font>& font) {
        Bitmap b = White(200, 40);
        Canvas canvas(&b);
        canvas.SelectFont(font);
        canvas.SetBkMode(plat::TRANSPARENT);
        plat::Rect r{0, 0, 200, 40};
        plat::DrawText(canvas, L"Weight", &r, plat::DT_SINGLELINE);
        long sum = 0;
        for (int y = 0; y < 40; ++y)
            for (int x = 0; x < 200; ++x)
                sum += 255 - plat::PixelG(b.Pixel(x, y));
        return sum;
    };
    EXPECT_GT(inkCount(Make(L"Arial", -20, 700)), inkCount(Make(L"Arial", -20, 400)) * 11 / 10);
}

TEST_F(FontTest, HeightsFollowTheWindowsRules) {
    // Negative: the em is 20 pixels; ascent and descent from the Windows
    // metrics of the face (1854 and 434 of 2048 units, as Arial's).
    auto em = Make(L"Arial", -20)->Metrics();
    EXPECT_EQ(em.ascent, 18);
    EXPECT_EQ(em.descent, 4);
    EXPECT_EQ(em.height, 22);
    EXPECT_EQ(em.internalLeading, 2);
    // Positive: the cell is 20 pixels.
    auto cell = Make(L"Arial", 20)->Metrics();
    EXPECT_EQ(cell.height, 20);
    EXPECT_EQ(cell.ascent, 16);
    EXPECT_EQ(cell.descent, 4);
    EXPECT_EQ(cell.internalLeading, 2);
    // Zero: the default cell of 16.
    EXPECT_EQ(Make(L"Arial", 0)->Metrics().height, 16);
    // The extent's height is the cell's.
    EXPECT_EQ(Make(L"Arial", 20)->TextExtent(L"x").cy, 20);
}

TEST_F(FontTest, ExtentsUseArialWidthsWithoutKerning) {
    auto font = Make(L"Arial", -20);
    // Arial's advances (2048 units): H 1479, e 1139, l 455, o 1139; at 20
    // pixels each rounds to 14, 11, 4, 4, 11.
    EXPECT_EQ(font->TextExtent(L"Hello").cx, 44);
    EXPECT_EQ(font->TextExtent(L"").cx, 0);
    // No kerning: a pair measures as its parts.
    EXPECT_EQ(font->TextExtent(L"AV").cx, font->TextExtent(L"A").cx + font->TextExtent(L"V").cx);
    // Cyrillic is in the face.
    EXPECT_GT(font->TextExtent(L"\u0416").cx, 0);
    Bitmap b = White(10, 10);
    Canvas canvas(&b);
    canvas.SelectFont(font);
    EXPECT_EQ(plat::GetTextExtent(canvas, L"Hello").cx, 44);
    plat::TextMetrics metrics;
    ASSERT_TRUE(plat::GetTextMetrics(canvas, &metrics));
    EXPECT_EQ(metrics.height, 22);
}

TEST_F(FontTest, DrawTextAlignsAndClipsOneLine) {
    auto font = Make(L"Arial", -16);
    const plat::Rect box{20, 10, 220, 50};
    auto draw = [&](const std::wstring& text, unsigned format, Ink* ink) {
        Bitmap b = White(240, 60);
        Canvas canvas(&b);
        canvas.SelectFont(font);
        canvas.SetBkMode(plat::TRANSPARENT);
        canvas.SetTextColor(plat::RGB(0, 0, 0));
        plat::Rect r = box;
        EXPECT_EQ(plat::DrawText(canvas, text, &r, format), font->Metrics().height);
        *ink = FindInk(b, kWhite);
        return b;
    };
    const int width = font->TextExtent(L"Mid").cx;
    Ink left, centre, right;
    draw(L"Mid", plat::DT_SINGLELINE | plat::DT_LEFT | plat::DT_VCENTER, &left);
    draw(L"Mid", plat::DT_SINGLELINE | plat::DT_CENTER | plat::DT_VCENTER, &centre);
    draw(L"Mid", plat::DT_SINGLELINE | plat::DT_RIGHT | plat::DT_BOTTOM, &right);
    EXPECT_NEAR(left.left, box.left, 2);
    EXPECT_NEAR(centre.left, box.left + (box.Width() - width) / 2, 2);
    EXPECT_NEAR(right.right, box.right, 2);
    // Vertical: centred ink sits mid-box; bottom-aligned ink is lower.
    EXPECT_NEAR((left.top + left.bottom) / 2, (box.top + box.bottom) / 2, 4);
    EXPECT_GT(right.bottom, left.bottom);
    EXPECT_LE(right.bottom, box.bottom);

    // A line wider than the box is clipped to it; DT_NOCLIP lets it out.
    const std::wstring longText = L"A line much wider than the box it is drawn in";
    Ink clipped, unclipped;
    draw(longText, plat::DT_SINGLELINE, &clipped);
    draw(longText, plat::DT_SINGLELINE | plat::DT_NOCLIP, &unclipped);
    EXPECT_LE(clipped.right, box.right);
    EXPECT_GE(clipped.right, box.right - 3);
    EXPECT_GT(unclipped.right, box.right);

    // The ellipsis keeps the line inside and ends it in dots.
    const std::wstring shown = plat::EllipsizeText(*font, longText, box.Width());
    ASSERT_GE(shown.size(), 3u);
    EXPECT_EQ(shown.substr(shown.size() - 3), L"...");
    EXPECT_LE(font->TextExtent(shown).cx, box.Width());
    EXPECT_GT(font->TextExtent(shown + L"x").cx, box.Width() - font->TextExtent(L"...").cx);
    EXPECT_EQ(plat::EllipsizeText(*font, L"Short", box.Width()), L"Short");

    // DT_CALCRECT measures without drawing.
    Bitmap b = White(50, 50);
    Canvas canvas(&b);
    canvas.SelectFont(font);
    plat::Rect r{5, 5, 6, 6};
    plat::DrawText(canvas, L"Mid", &r, plat::DT_CALCRECT | plat::DT_SINGLELINE);
    EXPECT_EQ(r, (plat::Rect{5, 5, 5 + width, 5 + font->Metrics().height}));
    EXPECT_EQ(FindInk(b, kWhite).left, -1);
}

TEST_F(FontTest, TextColourBackgroundAndCanvasClip) {
    auto font = Make(L"Arial", -24, 700);
    Bitmap b = White(120, 40);
    Canvas canvas(&b);
    canvas.SelectFont(font);
    canvas.SetTextColor(plat::RGB(200, 0, 0));
    canvas.SetBkColor(plat::RGB(0, 0, 255));
    canvas.SetBkMode(plat::OPAQUE);
    plat::Region clip(plat::Rect{0, 0, 60, 40});
    canvas.SetClip(&clip);
    ASSERT_TRUE(plat::TextOut(canvas, 2, 2, L"IIII"));
    const int textWidth = font->TextExtent(L"IIII").cx;
    // The line's box is filled with the background colour, ink is the text
    // colour at full coverage, and nothing passes the clip.
    bool sawText = false;
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 120; ++x) {
            const std::uint32_t p = b.Pixel(x, y);
            if (x >= 60) {
                EXPECT_EQ(p, kWhite) << x << "," << y;
                continue;
            }
            sawText |= p == plat::MakePixel(0, 0, 200, 255);
        }
    EXPECT_TRUE(sawText);
    EXPECT_EQ(b.Pixel(2 + std::min(textWidth, 57) - 1, 2 + font->Metrics().height - 1),
              plat::MakePixel(255, 0, 0, 255)); // background colour inside the box
    EXPECT_EQ(b.Pixel(1, 1), kWhite);           // outside the box

    // Right and baseline alignment of TextOut.
    Bitmap second = White(100, 40);
    Canvas aligned(&second);
    aligned.SelectFont(font);
    aligned.SetBkMode(plat::TRANSPARENT);
    aligned.SetTextAlign(plat::TA_RIGHT | plat::TA_BASELINE);
    plat::TextOut(aligned, 90, 30, L"I");
    Ink ink = FindInk(second, kWhite);
    EXPECT_LE(ink.right, 90);
    EXPECT_GE(ink.right, 86);
    EXPECT_LE(ink.bottom, 31);
    EXPECT_GE(ink.bottom, 29);
}

TEST_F(FontTest, PrivateFontsServeOnlyWhileAdded) {
    const std::string serif = std::string(testsupport::kDejaVuFolder) + "/DejaVuSerif.ttf";
    if (!std::filesystem::exists(serif))
        GTEST_SKIP() << "DejaVu fonts are not installed";
    testsupport::TempDir dir;
    const std::wstring copy = dir.File(L"theme-face.ttf");
    std::filesystem::copy_file(serif, dir.NarrowPath() + "theme-face.ttf");

    // The pinned configuration does not know the face.
    EXPECT_NE(Make(L"DejaVu Serif", -12)->FamilyName(), "DejaVu Serif");
    EXPECT_EQ(plat::AddPrivateFont(copy), 1);
    auto font = Make(L"dejavu serif", -12);
    EXPECT_EQ(font->FamilyName(), "DejaVu Serif");
    EXPECT_EQ(font->FilePath(), dir.NarrowPath() + "theme-face.ttf");
    // Bold asked of a regular-only private face is synthesised from it.
    auto bold = Make(L"DejaVu Serif", -20, 700);
    EXPECT_EQ(bold->FilePath(), font->FilePath());
    EXPECT_GT(bold->TextExtent(L"abc").cx, Make(L"DejaVu Serif", -20)->TextExtent(L"abc").cx);

    EXPECT_TRUE(plat::RemovePrivateFont(copy));
    EXPECT_NE(Make(L"DejaVu Serif", -12)->FamilyName(), "DejaVu Serif");
    // A font made while it was added keeps working.
    EXPECT_GT(font->TextExtent(L"still").cx, 0);
    EXPECT_FALSE(plat::RemovePrivateFont(copy));
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);

    testsupport::WriteTestFile(dir.File(L"junk.ttf"), "not a font at all");
    EXPECT_EQ(plat::AddPrivateFont(dir.File(L"junk.ttf")), 0);
    EXPECT_EQ(plat::GetLastError(), plat::kErrInvalidData);
    EXPECT_EQ(plat::AddPrivateFont(dir.File(L"missing.ttf")), 0);
    EXPECT_EQ(plat::GetLastError(), plat::kErrFileNotFound);
}

} // namespace
